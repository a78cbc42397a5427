#include "core/checks/checkanswers.h"

#include "core/probe/querykind.h"
#include "core/probe/querynames.h"
#include "core/probe/serverendpoint.h"
#include "dns/answerparts.h"
#include "dns/records.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QStringList>

namespace tarnbell::core {
namespace {

constexpr quint16 kTypeA = 1;

const dns::Bytes* replyOf(const QList<CheckAnswer>& answers, CheckQuestion question) {
    const auto index = static_cast<qsizetype>(question);
    if (index >= answers.size() || !answers.at(index).reply)
        return nullptr;
    return &*answers.at(index).reply;
}

int rcodeOf(const dns::Bytes& reply) {
    const std::optional<dns::ReplyHeader> header = dns::ReadReplyHeader(reply);
    return header ? header->rcode : -1;
}

QList<QHostAddress> addressesOf(const dns::Bytes& reply) {
    QList<QHostAddress> addresses;
    for (const std::uint16_t type : {dns::kTypeA, dns::kTypeAAAA}) {
        for (const dns::Bytes& bytes : dns::ReadAddresses(reply, type)) {
            QHostAddress address;
            if (bytes.size() == 4)
                address.setAddress(quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 |
                                   quint32(bytes[2]) << 8 | bytes[3]);
            else
                address.setAddress(bytes.data());
            addresses.append(address);
        }
    }
    return addresses;
}

QString joined(const QList<QHostAddress>& addresses) {
    QStringList texts;
    for (const QHostAddress& address : addresses)
        texts << address.toString();
    return texts.join(QStringLiteral(", "));
}

// Loopback, private, link-local and shared address space (RFC 1918, 6598, 4193, 3927): the
// addresses a public name pointing inwards would use.
bool isInward(const QHostAddress& address) {
    static const QList<std::pair<QHostAddress, int>> kRanges = {
        QHostAddress::parseSubnet(QStringLiteral("127.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("172.16.0.0/12")),
        QHostAddress::parseSubnet(QStringLiteral("192.168.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("169.254.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("100.64.0.0/10")),
        QHostAddress::parseSubnet(QStringLiteral("0.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("::1/128")),
        QHostAddress::parseSubnet(QStringLiteral("fc00::/7")),
        QHostAddress::parseSubnet(QStringLiteral("fe80::/10"))};
    return std::any_of(kRanges.cbegin(), kRanges.cend(),
                       [&address](const auto& range) { return address.isInSubnet(range); });
}

CheckOutcome unknown(const QString& why) {
    return {CheckVerdict::Unknown, QStringLiteral("unknown"), why};
}

QString codeWords(int rcode) {
    static const char* const kNames[] = {"NOERROR",  "FORMERR", "SERVFAIL",
                                         "NXDOMAIN", "NOTIMP",  "REFUSED"};
    return rcode >= 0 && rcode < 6 ? QString::fromLatin1(kNames[rcode])
                                   : QStringLiteral("RCODE %1").arg(rcode);
}

CheckOutcome nxdomain(const QList<CheckAnswer>& answers) {
    QStringList seen;
    bool anyHonest = false;
    for (const CheckQuestion question :
         {CheckQuestion::NxUnderTopLevel, CheckQuestion::NxUnderName}) {
        const dns::Bytes* reply = replyOf(answers, question);
        if (!reply)
            continue;
        const int rcode = rcodeOf(*reply);
        const QList<QHostAddress> addresses = addressesOf(*reply);
        if (rcode == dns::kRcodeNoError && !addresses.isEmpty())
            return {CheckVerdict::Fail, QStringLiteral("redirects"),
                    QStringLiteral("a name that does not exist answered with %1")
                        .arg(joined(addresses))};
        anyHonest = anyHonest || rcode == dns::kRcodeNxDomain || rcode == dns::kRcodeNoError;
        seen << codeWords(rcode);
    }
    if (!anyHonest)
        return unknown(seen.isEmpty()
                           ? QStringLiteral("no answer")
                           : QStringLiteral("answered ") + seen.join(QStringLiteral(", ")));
    return {CheckVerdict::Pass, QStringLiteral("honest"),
            QStringLiteral("names that do not exist: ") + seen.join(QStringLiteral(", "))};
}

CheckOutcome dnssec(const QList<CheckAnswer>& answers) {
    const dns::Bytes* good = replyOf(answers, CheckQuestion::SignedName);
    const dns::Bytes* bogus = replyOf(answers, CheckQuestion::BogusName);
    if (!good || !bogus)
        return unknown(QStringLiteral("no answer for a test name"));
    const int goodCode = rcodeOf(*good);
    const int bogusCode = rcodeOf(*bogus);
    const bool authenticated = dns::AuthenticatedData(*good);
    const QString evidence =
        QStringLiteral("signed name: %1%2; broken name: %3")
            .arg(codeWords(goodCode), authenticated ? QStringLiteral(" with AD") : QString(),
                 codeWords(bogusCode));
    // A test name gone from the public DNS proves nothing either way.
    if (goodCode != dns::kRcodeNoError)
        return unknown(evidence);
    if (authenticated && bogusCode == dns::kRcodeServFail)
        return {CheckVerdict::Pass, QStringLiteral("validates"), evidence};
    if (!authenticated && bogusCode == dns::kRcodeNoError)
        return {CheckVerdict::Fail, QStringLiteral("does not validate"), evidence};
    if (!authenticated || bogusCode == dns::kRcodeNoError)
        return {CheckVerdict::Fail, QStringLiteral("validates in part"), evidence};
    return unknown(evidence);
}

CheckOutcome rebinding(const QList<CheckAnswer>& answers) {
    const dns::Bytes* reply = replyOf(answers, CheckQuestion::RebindName);
    if (!reply)
        return unknown(QStringLiteral("no answer"));
    const int rcode = rcodeOf(*reply);
    const QList<QHostAddress> addresses = addressesOf(*reply);
    QList<QHostAddress> inward;
    for (const QHostAddress& address : addresses) {
        if (isInward(address))
            inward << address;
    }
    if (!inward.isEmpty())
        return {CheckVerdict::Fail, QStringLiteral("lets private answers through"),
                QStringLiteral("a public name answered with %1").arg(joined(inward))};
    // Public addresses instead mean the name was made up or has moved, not that the server
    // filters: a redirecting resolver answers every name with its own address.
    if (!addresses.isEmpty())
        return unknown(QStringLiteral("a public name for a private address answered with %1")
                           .arg(joined(addresses)));
    // Kept out of a NOERROR answer, the address was filtered (unbound's private-address
    // answers so); the name gone (NXDOMAIN), a refusal or a failure prove nothing either way.
    if (rcode == dns::kRcodeNoError)
        return {CheckVerdict::Pass, QStringLiteral("filters private answers"),
                QStringLiteral("a public name for a private address answered ") + codeWords(rcode) +
                    QStringLiteral(" without it")};
    return unknown(QStringLiteral("answered ") + codeWords(rcode));
}

CheckOutcome tcp(const QList<CheckAnswer>& answers, bool streamServer) {
    if (streamServer)
        return {CheckVerdict::Pass, QStringLiteral("answers over TCP"),
                QStringLiteral("its entry asks over a stream")};
    const auto index = static_cast<qsizetype>(CheckQuestion::OverTcp);
    const CheckAnswer answer = answers.value(index);
    if (answer.reply)
        return {CheckVerdict::Pass, QStringLiteral("answers over TCP"),
                QStringLiteral("answered ") + codeWords(rcodeOf(*answer.reply))};
    return {CheckVerdict::Fail, QStringLiteral("no answer over TCP"),
            answer.failure.isEmpty() ? QStringLiteral("no answer") : answer.failure};
}

CheckOutcome edns(const QList<CheckAnswer>& answers, QString& nsid) {
    const dns::Bytes* reply = replyOf(answers, CheckQuestion::WithEdns);
    if (!reply)
        return unknown(QStringLiteral("no answer"));
    const std::optional<dns::EdnsRecord> record = dns::ReadEdns(*reply);
    if (!record)
        return {CheckVerdict::Fail, QStringLiteral("no EDNS"),
                QStringLiteral("answered ") + codeWords(rcodeOf(*reply)) +
                    QStringLiteral(" without an OPT record")};
    if (record->hasNsid)
        nsid = nsidText(record->nsid);
    return {CheckVerdict::Pass, QStringLiteral("answers EDNS"),
            QStringLiteral("EDNS version %1, UDP payload %2 bytes")
                .arg(record->version)
                .arg(record->payloadSize)};
}

// RFC 9461 2: dohpath is a URI template relative to the endpoint, "{?dns}" for the query.
QString dohPath(const std::string& templ) {
    const QString text = QString::fromStdString(templ);
    const qsizetype brace = text.indexOf(QLatin1Char('{'));
    return brace < 0 ? text : text.left(brace);
}

QList<DiscoveredEndpoint> endpointsOf(const dns::Bytes& reply, const QString& entry) {
    const ServerEndpoint server = parseServerEntry(entry);
    const QString ownAddress =
        server.address.isNull() ? server.hostName : server.address.toString();
    QList<DiscoveredEndpoint> endpoints;
    std::vector<dns::SvcbRecord> records = dns::ReadSvcb(reply);
    // RFC 9460 2.4.1: lower priorities are preferred; the order of the records means nothing.
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.priority < b.priority; });
    for (const dns::SvcbRecord& record : records) {
        // RFC 9460 2.4.2: priority 0 is an alias; a designation names a target host.
        if (record.malformed || record.priority == 0 || record.target == ".")
            continue;
        QString address = ownAddress;
        if (!record.ipv4Hints.empty())
            address = QHostAddress(quint32(record.ipv4Hints[0][0]) << 24 |
                                   quint32(record.ipv4Hints[0][1]) << 16 |
                                   quint32(record.ipv4Hints[0][2]) << 8 | record.ipv4Hints[0][3])
                          .toString();
        else if (!record.ipv6Hints.empty())
            address = QHostAddress(record.ipv6Hints[0].data()).toString();
        QString target = QString::fromStdString(record.target);
        if (target.endsWith(QLatin1Char('.')))
            target.chop(1);
        for (const std::string& alpn : record.alpn) {
            DiscoveredEndpoint endpoint{QString(), address, 0, target, QString(), false, QString()};
            if (alpn == "dot") {
                endpoint.scheme = QStringLiteral("tls");
                endpoint.port = record.port.value_or(kDnsOverTlsPort);
            } else if ((alpn == "h2" || alpn == "http/1.1") && !record.dohPath.empty()) {
                endpoint.scheme = QStringLiteral("https");
                endpoint.port = record.port.value_or(kHttpsPort);
                endpoint.path = dohPath(record.dohPath);
            } else if (alpn == "doq") {
                endpoint.scheme = QStringLiteral("quic");
                endpoint.port = record.port.value_or(kDnsOverTlsPort);
            } else {
                continue;
            }
            const bool listed = std::any_of(endpoints.cbegin(), endpoints.cend(),
                                            [&endpoint](const DiscoveredEndpoint& other) {
                                                return other.entry() == endpoint.entry();
                                            });
            if (!listed)
                endpoints.append(endpoint);
        }
    }
    return endpoints;
}

} // namespace

QString DiscoveredEndpoint::entry() const {
    const QString host = address.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + address + QLatin1Char(']')
                             : address;
    return QStringLiteral("%1://%2:%3#%4%5").arg(scheme, host).arg(port).arg(authName, path);
}

QString checkVerdictName(CheckVerdict verdict) {
    switch (verdict) {
    case CheckVerdict::Pass:
        return QStringLiteral("pass");
    case CheckVerdict::Fail:
        return QStringLiteral("fail");
    case CheckVerdict::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QList<CheckAsk> checkQuestions(const QString& listedName, const CheckNames& names,
                               QRandomGenerator& random) {
    QList<CheckAsk> questions(static_cast<qsizetype>(CheckQuestion::Count));
    const auto set = [&questions](CheckQuestion question, CheckAsk ask) {
        questions[static_cast<qsizetype>(question)] = std::move(ask);
    };
    set(CheckQuestion::NxUnderTopLevel,
        {askedName(QueryKind::TopLevel, listedName, random), kTypeA, false, false, false});
    set(CheckQuestion::NxUnderName,
        {askedName(QueryKind::Uncached, listedName, random), kTypeA, false, false, false});
    set(CheckQuestion::SignedName, {names.signedName, kTypeA, true, true, false});
    set(CheckQuestion::BogusName, {names.bogusName, kTypeA, true, true, false});
    set(CheckQuestion::RebindName, {names.rebindName, kTypeA, false, false, false});
    set(CheckQuestion::OverTcp, {listedName, kTypeA, false, false, true});
    set(CheckQuestion::WithEdns, {listedName, kTypeA, true, false, false});
    // RFC 9462 4: a client asks its resolver about this name to learn its encrypted endpoints.
    set(CheckQuestion::Designation,
        {QStringLiteral("_dns.resolver.arpa"), dns::kTypeSVCB, false, false, false});
    return questions;
}

ServerChecks evaluateChecks(const QString& entry, bool streamServer,
                            const QList<CheckAnswer>& answers) {
    ServerChecks checks;
    checks.serverEntry = entry;
    checks.nxdomain = nxdomain(answers);
    checks.dnssec = dnssec(answers);
    checks.rebinding = rebinding(answers);
    checks.tcp = tcp(answers, streamServer);
    checks.edns = edns(answers, checks.nsid);
    const dns::Bytes* designation = replyOf(answers, CheckQuestion::Designation);
    if (!designation) {
        checks.discovery = unknown(QStringLiteral("no answer"));
        return checks;
    }
    checks.endpoints = endpointsOf(*designation, entry);
    checks.discovery =
        checks.endpoints.isEmpty()
            ? CheckOutcome{CheckVerdict::Unknown, QStringLiteral("none announced"),
                           QStringLiteral("_dns.resolver.arpa answered ") +
                               codeWords(rcodeOf(*designation))}
            : CheckOutcome{CheckVerdict::Unknown, QStringLiteral("announced"), QString()};
    return checks;
}

} // namespace tarnbell::core
