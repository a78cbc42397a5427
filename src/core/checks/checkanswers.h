#pragma once
// The questions the checks of one server ask, and what their answers mean. Pure functions of
// the answers: the asking is the engine's and the probe's.

#include "core/checks/serverchecks.h"
#include "core/probe/lookuprequest.h"
#include "dns/moddns.h"

#include <QList>
#include <optional>

class QRandomGenerator;

namespace tarnbell::core {

// What each check asked got back: the reply's bytes, or nothing (no answer within the limit,
// or the lookup failed, with its words).
struct CheckAnswer {
    std::optional<dns::Bytes> reply;
    QString failure;
};

// The questions in the order they are asked; `answers` of evaluateChecks follow it.
enum class CheckQuestion {
    NxUnderTopLevel, // a random label under a top-level domain
    NxUnderName,     // a random label under a listed name
    SignedName,
    BogusName,
    RebindName,
    OverTcp,
    WithEdns,
    Designation, // SVCB of _dns.resolver.arpa
    Count
};

// The questions for a server, asked about `listedName` (the run's first domain) where a check
// needs a real name.
QList<CheckAsk> checkQuestions(const QString& listedName, const CheckNames& names,
                               QRandomGenerator& random);

// What the answers say of the server `entry`. `streamServer`: asked over TCP, TLS or HTTPS
// already, so TCP is not a question. Discovered endpoints come out unverified.
ServerChecks evaluateChecks(const QString& entry, bool streamServer,
                            const QList<CheckAnswer>& answers);

} // namespace tarnbell::core
