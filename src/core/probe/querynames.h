#pragma once
// How a domain as the user typed it becomes the bytes of a query name, a lookup's query, and
// what its answer tells.

#include "core/probe/lookupprobe.h"
#include "core/probe/querykind.h"
#include "dns/moddns.h"

#include <QByteArray>
#include <QString>

namespace tarnbell::core {

// One byte per character for Latin-1 text (what a reply echoes back reads the same way); the
// IDNA (ACE) form of any other text, the name a resolver knows. An empty result for a
// non-empty domain means it has no IDNA form.
QByteArray queryNameBytes(const QString& domain);

// The query of one lookup of `name` as its kind asks it, or the plain words for why none can
// be built (errorText, empty when built).
struct LookupQuery {
    dns::Bytes bytes;
    QString errorText;
};
LookupQuery buildLookupQuery(const QString& name, quint16 recordType, QueryKind kind);

// The result of a lookup answered by `reply` after `seconds`: its RCODE and TC bit, and for
// the kinds that check where an answer came from, the SOA of a negative answer.
ProbeResult answeredResult(dns::ByteView reply, double seconds, QueryKind kind);

} // namespace tarnbell::core
