#pragma once
// How a domain as the user typed it becomes the bytes of a query name, a lookup's query, and
// what its answer tells.

#include "core/probe/lookupprobe.h"
#include "core/probe/lookuprequest.h"
#include "core/probe/querykind.h"
#include "dns/moddns.h"

#include <QByteArray>
#include <QString>

namespace tarnbell::core {

// One byte per character for Latin-1 text (what a reply echoes back reads the same way); the
// IDNA (ACE) form of any other text, the name a resolver knows. An empty result for a
// non-empty domain means it has no IDNA form.
QByteArray queryNameBytes(const QString& domain);

// An NSID (RFC 5001) for people: printable text as it is, other bytes in hexadecimal.
QString nsidText(const dns::Bytes& nsid);

// The query of one lookup of `name` as its kind asks it, or the plain words for why none can
// be built (errorText, empty when built).
struct LookupQuery {
    dns::Bytes bytes;
    QString errorText;
};
LookupQuery buildLookupQuery(const LookupRequest& request);

// The result of a lookup answered by `reply` after `seconds`: its RCODE and TC bit; for the
// kinds that carry EDNS, the NSID, and for those that check where an answer came from, the
// SOA of a negative answer; for a check's question, the reply itself.
ProbeResult answeredResult(dns::ByteView reply, double seconds, const LookupRequest& request);

} // namespace tarnbell::core
