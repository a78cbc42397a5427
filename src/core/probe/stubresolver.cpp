#include "core/probe/stubresolver.h"

#include "core/probe/hostsfile.h"
#include "core/probe/querynames.h"
#include "core/probe/systemhostlookup.h"
#include "dns/records.h"

#include <QRandomGenerator>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>

namespace tarnbell::core {
namespace {

constexpr std::size_t kLargestDatagram = 65536;
constexpr std::uint16_t kTypes[2] = {dns::kTypeA, dns::kTypeAAAA};

QHostAddress addressOf(const dns::Bytes& rdata) {
    if (rdata.size() != 4)
        return QHostAddress(rdata.data());
    quint32 ipv4 = 0;
    for (const std::uint8_t byte : rdata)
        ipv4 = (ipv4 << 8) | byte;
    return QHostAddress(ipv4);
}

} // namespace

StubResolver::StubResolver(const QString& name, const ResolverConfig& config, HostLookupDone done,
                           QObject* parent)
    : QObject(parent), m_candidates(searchCandidates(name, config)), m_config(config),
      m_done(std::move(done)), m_buffer(kLargestDatagram) {
    m_attemptTimer.setSingleShot(true);
    connect(&m_attemptTimer, &QTimer::timeout, this, &StubResolver::onAttemptTimedOut);
    QMetaObject::invokeMethod(this, &StubResolver::start, Qt::QueuedConnection);
}

StubResolver::~StubResolver() {
    // The notifier goes before its descriptor.
    delete m_notifier;
}

void StubResolver::start() {
    QString errorText;
    if (!m_socket.open(errorText)) {
        report({}, QStringLiteral("no socket could be opened for the name servers"));
        return;
    }
    m_notifier = new QSocketNotifier(m_socket.descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StubResolver::onReadable);
    nextCandidate();
}

void StubResolver::nextCandidate() {
    if (++m_candidate >= m_candidates.size()) {
        report({}, m_sawNoData ? QStringLiteral("the name has no address")
                               : QStringLiteral("the name does not exist"));
        return;
    }
    m_sent.clear();
    m_attempt = 0;
    std::fill(std::begin(m_answers), std::end(m_answers), TypeAnswer{});
    sendAttempt();
}

// A and AAAA, each not answered yet, to the next name server in turn, each with an ID of its
// own: these queries, unlike the timed ones, must not be easy to answer by guessing.
void StubResolver::sendAttempt() {
    const auto servers = static_cast<int>(m_config.nameservers.size());
    if (m_attempt >= std::max(m_config.attempts, 1) * servers) {
        report({}, m_sawFailure ? QStringLiteral("the name servers failed to answer")
                                : QStringLiteral("no answer from the name servers"));
        return;
    }
    const Nameserver& server = m_config.nameservers.at(m_attempt % servers);
    const QByteArray name = queryNameBytes(m_candidates.at(m_candidate));
    bool sent = false;
    for (int i = 0; i < 2; ++i) {
        dns::Query query = dns::BuildQuery(
            std::string_view(name.constData(), static_cast<std::size_t>(name.size())), kTypes[i]);
        if (name.isEmpty() || query.error != dns::QueryError::None) {
            nextCandidate(); // a search domain that makes the name too long to ask
            return;
        }
        if (m_answers[i].done)
            continue;
        const quint32 id = QRandomGenerator::global()->bounded(0x10000u);
        query.datagram[0] = static_cast<std::uint8_t>(id >> 8);
        query.datagram[1] = static_cast<std::uint8_t>(id & 0xFF);
        QString errorText;
        if (m_socket.sendTo(query.datagram, server.address, server.port, errorText)) {
            sent = true;
            m_sent.push_back({std::move(query.datagram), kTypes[i], m_attempt, server});
        }
    }
    ++m_attempt;
    if (!sent) { // this server cannot be reached from here: the next one at once
        sendAttempt();
        return;
    }
    m_attemptTimer.start(std::chrono::seconds(std::max(m_config.timeoutSeconds, 1)));
}

void StubResolver::onReadable() {
    // Everything pending, unless an answer ends the lookup on the way.
    while (m_socket.isOpen()) {
        DatagramSocket::Datagram datagram;
        QString errorText;
        if (m_socket.receive(m_buffer, datagram, errorText) !=
            DatagramSocket::ReceiveStatus::Received)
            return;
        take(dns::ByteView(m_buffer.data(), datagram.size), datagram.from, datagram.fromPort);
    }
}

// Only an answer to one of this candidate's queries, from the server it was sent to, counts;
// a late one to an earlier attempt does as well as the latest.
void StubResolver::take(const dns::ByteView& reply, const QHostAddress& from, quint16 fromPort) {
    const auto query = std::find_if(m_sent.cbegin(), m_sent.cend(), [&](const SentQuery& sent) {
        return fromPort == sent.server.port &&
               from.isEqual(sent.server.address, QHostAddress::ConvertV4MappedToIPv4) &&
               dns::IsAnswerTo(reply, sent.bytes);
    });
    if (query == m_sent.cend())
        return;
    TypeAnswer& answer = m_answers[query->type == dns::kTypeA ? 0 : 1];
    const std::optional<dns::ReplyHeader> header = dns::ReadReplyHeader(reply);
    if (answer.done || !header)
        return;
    if (header->rcode != dns::kRcodeNoError && header->rcode != dns::kRcodeNxDomain) {
        // A server that refuses or fails: the next one is asked at once, as glibc does.
        m_sawFailure = true;
        if (query->attempt == m_attempt - 1)
            sendAttempt();
        return;
    }
    answer.done = true;
    for (const dns::Bytes& rdata : dns::ReadAddresses(reply, query->type))
        answer.addresses << addressOf(rdata);
    answer.noData = header->rcode == dns::kRcodeNoError && answer.addresses.isEmpty();
    decide();
}

// IPv4 first: an IPv4 address ends the lookup at once; an IPv6 one waits for the IPv4 answer.
void StubResolver::decide() {
    const TypeAnswer& a = m_answers[0];
    const TypeAnswer& aaaa = m_answers[1];
    if (!a.addresses.isEmpty() || (a.done && !aaaa.addresses.isEmpty())) {
        report(a.addresses + aaaa.addresses, QString());
    } else if (a.done && aaaa.done) {
        m_sawNoData = m_sawNoData || a.noData || aaaa.noData;
        nextCandidate();
    }
}

void StubResolver::onAttemptTimedOut() {
    if (!m_answers[1].addresses.isEmpty())
        report(m_answers[1].addresses, QString());
    else
        sendAttempt();
}

void StubResolver::report(const QList<QHostAddress>& addresses, const QString& error) {
    if (!m_done)
        return;
    m_attemptTimer.stop();
    // The notifier may be the one reporting: it is switched off before its descriptor
    // closes, and goes with the resolver.
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_socket.close();
    // Nothing of this object is touched after the call: `done` may end its owner.
    const HostLookupDone done = std::move(m_done);
    deleteLater();
    done(addresses, error);
}

HostLookup stubHostLookup() {
    return [](const QString& name, QObject* context, HostLookupDone done) {
        const QList<QHostAddress> listed = hostsFileAddresses(name.toUtf8());
        if (!listed.isEmpty()) {
            QMetaObject::invokeMethod(
                context, [done = std::move(done), listed] { done(listed, QString()); },
                Qt::QueuedConnection);
            return;
        }
        const std::optional<ResolverConfig> config = readResolverConfigFile(resolverConfigPath());
        if (!config || config->nameservers.isEmpty()) {
            systemHostLookup()(name, context, std::move(done));
            return;
        }
        new StubResolver(name, *config, std::move(done), context);
    };
}

} // namespace tarnbell::core
