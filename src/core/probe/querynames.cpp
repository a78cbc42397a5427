#include "core/probe/querynames.h"

#include "dns/answerparts.h"
#include "dns/records.h"

#include <QUrl>
#include <algorithm>

namespace tarnbell::core {

QString nsidText(const dns::Bytes& nsid) {
    // RFC 5001 2.3: the identifier is opaque; printable ASCII as it is, anything else in hex.
    const bool printable = std::all_of(
        nsid.begin(), nsid.end(), [](std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; });
    const QByteArray bytes(reinterpret_cast<const char*>(nsid.data()),
                           static_cast<qsizetype>(nsid.size()));
    return printable ? QString::fromLatin1(bytes) : QString::fromLatin1(bytes.toHex());
}

QByteArray queryNameBytes(const QString& domain) {
    const bool latin1 =
        std::all_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? domain.toLatin1() : QUrl::toAce(domain);
}

LookupQuery buildLookupQuery(const LookupRequest& request) {
    const QString& name = request.check ? request.check->name : request.domain;
    const quint16 recordType = request.check ? request.check->type : request.recordType;
    const QByteArray bytes = queryNameBytes(name);
    if (bytes.isEmpty() && !name.isEmpty())
        return {{}, QStringLiteral("Error: the domain cannot be written as a DNS name")};
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // The listed name goes as it always has; the other kinds read more of the answer.
    const bool edns = request.check ? request.check->edns : queryKindCarriesEdns(request.kind);
    const bool dnssecOk = request.check ? request.check->dnssecOk : edns;
    dns::Query built = edns ? dns::BuildQuery(text, recordType, dns::EdnsOptions{dnssecOk, true})
                            : dns::BuildQuery(text, recordType);
    if (built.error != dns::QueryError::None)
        return {{}, QString::fromLatin1(dns::QueryErrorText(built.error))};
    return {std::move(built.datagram), {}};
}

ProbeResult answeredResult(dns::ByteView reply, double seconds, const LookupRequest& request) {
    const QueryKind kind = request.kind;
    ProbeResult result;
    result.outcome = ProbeOutcome::Answered;
    result.seconds = std::min(seconds, kUnansweredSeconds);
    const std::optional<dns::ReplyHeader> header = dns::ReadReplyHeader(reply);
    result.rcode = header ? header->rcode : -1;
    result.truncated = header && header->truncated;
    if (kind == QueryKind::Uncached || kind == QueryKind::TopLevel) {
        if (const auto soa = dns::ReadNegativeAnswerSoa(reply)) {
            result.negativeTtl = soa->ttl;
            result.soaMinimum = soa->minimum;
            result.negativeZone = QString::fromLatin1(soa->zone);
        }
    }
    // Which instance of an anycast service answered, where the server names it.
    if (queryKindCarriesEdns(kind) && !request.check) {
        if (const auto edns = dns::ReadEdns(reply); edns && edns->hasNsid)
            result.nsid = nsidText(edns->nsid);
    }
    if (request.check)
        result.reply.assign(reply.begin(), reply.end());
    return result;
}

} // namespace tarnbell::core
