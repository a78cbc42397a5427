#include "core/probe/querynames.h"

#include "dns/records.h"

#include <QUrl>
#include <algorithm>

namespace tarnbell::core {

QByteArray queryNameBytes(const QString& domain) {
    const bool latin1 =
        std::all_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? domain.toLatin1() : QUrl::toAce(domain);
}

LookupQuery buildLookupQuery(const QString& name, quint16 recordType, QueryKind kind) {
    const QByteArray bytes = queryNameBytes(name);
    if (bytes.isEmpty() && !name.isEmpty())
        return {{}, QStringLiteral("Error: the domain cannot be written as a DNS name")};
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // The listed name goes as it always has; the other kinds read more of the answer.
    dns::Query built = queryKindCarriesEdns(kind)
                           ? dns::BuildQuery(text, recordType, dns::EdnsOptions{true, true})
                           : dns::BuildQuery(text, recordType);
    if (built.error != dns::QueryError::None)
        return {{}, QString::fromLatin1(dns::QueryErrorText(built.error))};
    return {std::move(built.datagram), {}};
}

ProbeResult answeredResult(dns::ByteView reply, double seconds, QueryKind kind) {
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
    return result;
}

} // namespace tarnbell::core
