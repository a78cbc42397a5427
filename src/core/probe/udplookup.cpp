#include "core/probe/udplookup.h"

#include "core/probe/probe.h"
#include "core/probe/querynames.h"
#include "core/probe/serverendpoint.h"
#include "dns/moddns.h"

#include <QSocketNotifier>

namespace tarnbell::core {
namespace {

constexpr std::size_t kLargestDatagram = 65536;
// The questions a socket remembers before it gives way to a new one anyway.
constexpr qsizetype kMaxQuestionsPerSocket = 4096;

} // namespace

UdpLookup::UdpLookup(QObject* parent) : LookupTransport(parent), m_buffer(kLargestDatagram) {}

UdpLookup::~UdpLookup() {
    closeSocket();
}

void UdpLookup::start(const LookupRequest& request) {
    m_current = request;
    ++m_serial;

    const ServerEndpoint endpoint =
        m_current.endpoint ? *m_current.endpoint : parseServerText(m_current.server);
    if (!endpoint.isValid()) {
        finishLater(failedResult(ProbeOutcome::HostNotFound, endpoint.errorText));
        return;
    }
    m_targetPort = endpoint.port;
    // The limit covers the name's resolution too; the clock of the measurement does not.
    reachServer(endpoint);
}

bool UdpLookup::ensureSocket(QString& errorText) {
    // A question asked before on this socket may still be answered late, or twice: it leaves
    // from a new port, so that such an answer can only reach a closed one. A socket that saw
    // a lookup end without its answer is spent for the same reason.
    QByteArray question(reinterpret_cast<const char*>(m_query.data()) + 2,
                        static_cast<qsizetype>(m_query.size()) - 2);
    question += m_target.toString().toLatin1() + ':' + QByteArray::number(m_targetPort);
    const bool fresh = !m_socket.isOpen() || m_socketSpent || m_asked.contains(question) ||
                       m_asked.size() >= kMaxQuestionsPerSocket;
    if (fresh) {
        closeSocket();
        if (!m_socket.open(errorText))
            return false;
        m_socketSpent = false;
        m_asked.clear();
        m_localPort = m_socket.localPort();
        m_notifier = new QSocketNotifier(m_socket.descriptor(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &UdpLookup::onReadable);
    }
    if (!m_socket.isConnectedTo(m_target, m_targetPort) &&
        !m_socket.connectTo(m_target, m_targetPort, errorText)) {
        m_socketSpent = true;
        return false;
    }
    m_asked.insert(question);
    return true;
}

void UdpLookup::closeSocket() {
    // The notifier goes before its descriptor.
    delete m_notifier;
    m_notifier = nullptr;
    m_socket.close();
}

void UdpLookup::send() {
    LookupQuery built = buildLookupQuery(m_current);
    if (!built.errorText.isEmpty()) {
        finishLater(failedResult(ProbeOutcome::QueryNotBuilt, built.errorText));
        return;
    }
    m_query = std::move(built.bytes);
    QString errorText;
    if (!ensureSocket(errorText)) {
        finishLater(failedResult(ProbeOutcome::SocketError, errorText));
        return;
    }
    m_state = State::Waiting;
    m_sent = readClocks();
    switch (m_socket.send(m_query, errorText)) {
    case DatagramSocket::SendStatus::Sent:
        break;
    case DatagramSocket::SendStatus::Refused:
        m_socketSpent = true;
        finishLater(unreachable());
        return;
    case DatagramSocket::SendStatus::Failed:
        m_socketSpent = true;
        finishLater(failedResult(ProbeOutcome::SocketError, errorText, elapsedSeconds()));
        return;
    }
    m_busyWait.start(m_sent.monotonicNs, [this] {
        onReadable();
        return m_state != State::Waiting;
    });
}

void UdpLookup::onReadable() {
    // One datagram per wake-up: anything more still pending wakes the loop again.
    DatagramSocket::Datagram datagram;
    QString errorText;
    const auto status = m_socket.receive(m_buffer, datagram, errorText);
    const ClockReading read = readClocks();
    if (status == DatagramSocket::ReceiveStatus::NothingPending)
        return;
    if (status == DatagramSocket::ReceiveStatus::Refused) {
        m_socketSpent = true;
        if (m_state == State::Waiting)
            finish(unreachable());
        return;
    }
    if (status == DatagramSocket::ReceiveStatus::Failed) {
        if (m_state == State::Waiting) {
            m_socketSpent = true;
            finish(failedResult(ProbeOutcome::SocketError, errorText, elapsedSeconds()));
        }
        return;
    }
    // Only a datagram from the queried address and port that answers this very query ends
    // the wait; anything else is dropped.
    if (m_state != State::Waiting || datagram.fromPort != m_targetPort ||
        !datagram.from.isEqual(m_target, QHostAddress::ConvertV4MappedToIPv4))
        return;
    const dns::ByteView reply(m_buffer.data(), datagram.size);
    if (!dns::IsAnswerTo(reply, m_query))
        return;

    const MeasuredSpan span = measuredSpan(
        m_sent, read, m_useKernelStamps ? datagram.kernelWallNs : std::optional<qint64>());
    ProbeResult result =
        answeredResult(reply, static_cast<double>(span.nanoseconds) / 1e9, m_current);
    result.timeSource = span.source;
    finish(result);
}

void UdpLookup::timeLimitReached() {
    if (m_state != State::Waiting)
        return;
    // A lookup that saw no answer counts as ten seconds, whatever limit was set.
    m_socketSpent = true;
    ProbeResult result;
    result.outcome = ProbeOutcome::TimedOut;
    finish(result);
}

// The kernel heard "port unreachable" from the server's machine: nothing will answer there,
// so the lookup fails now rather than at the end of its limit, counted as a failed one.
ProbeResult UdpLookup::unreachable() const {
    return failedResult(ProbeOutcome::Unreachable,
                        QStringLiteral("Error: port unreachable: nothing answers on port %1 of %2")
                            .arg(m_targetPort)
                            .arg(m_target.toString()));
}

double UdpLookup::elapsedSeconds() const {
    return static_cast<double>(readClocks().monotonicNs - m_sent.monotonicNs) / 1e9;
}

} // namespace tarnbell::core
