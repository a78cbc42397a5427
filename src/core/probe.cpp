#include "core/probe.h"

#include "core/querynames.h"
#include "core/serverendpoint.h"
#include "dns/moddns.h"

#include <QHostInfo>
#include <QPointer>
#include <QUdpSocket>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <optional>
#include <string_view>

namespace tarnbell::core {
namespace {

constexpr double kTimeoutSeconds = 10.0;
constexpr int kDefaultTicks = 10;
constexpr std::chrono::milliseconds kDefaultTickInterval{1000};

// A failed lookup counts as ten seconds, like silence, unless it failed while its clock ran.
ProbeResult failedResult(ProbeOutcome outcome, const QString& errorText,
                         std::optional<double> seconds = std::nullopt) {
    ProbeResult result;
    result.outcome = outcome;
    if (seconds) {
        result.seconds = std::min(*seconds, kTimeoutSeconds);
        result.secondsText = formatSeconds(*seconds);
    }
    result.errorText = errorText;
    return result;
}

} // namespace

QString formatSeconds(double seconds) {
    if (seconds > kTimeoutSeconds || !std::isfinite(seconds))
        return QStringLiteral("10");
    if (seconds == 0.0)
        seconds = 0.0; // no "-0"
    // The scientific form rounded to 15 significant digits tells how many decimals the plain
    // form needs; the plain form keeps the text free of exponents for its readers.
    char text[400];
    const auto scientific =
        std::to_chars(std::begin(text), std::end(text), seconds, std::chars_format::scientific, 14);
    const std::string_view written(text, static_cast<std::size_t>(scientific.ptr - text));
    const std::size_t e = written.find('e');
    int exponent = 0;
    std::string_view exponentText = written.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    const int decimals = std::max(0, 14 - exponent);
    const auto fixed = std::to_chars(std::begin(text), std::end(text), seconds,
                                     std::chars_format::fixed, decimals);
    std::string_view plain(text, static_cast<std::size_t>(fixed.ptr - text));
    if (plain.find('.') != std::string_view::npos) {
        while (plain.back() == '0')
            plain.remove_suffix(1);
        if (plain.back() == '.')
            plain.remove_suffix(1);
    }
    QString result = QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size()));
    if (seconds >= 0.0)
        result.prepend(u' ');
    return result;
}

struct Probe::Impl {
    struct Request {
        QString server;
        QString domain;
        quint16 recordType = 0;
    };
    enum class State {
        Idle,
        Resolving, // waiting for the server's host name to resolve
        Waiting,   // query sent, waiting for its answer, a socket error or the last tick
        Finishing, // the result is decided and will be reported from the event loop
    };

    explicit Impl(Probe* owner) : q(owner) {}

    void startNext();
    void onResolved(const QHostInfo& info);
    void send();
    bool ensureBound(QString& errorText);
    void dropPending();
    void onReadyRead();
    void onTick();
    void onSocketError(QAbstractSocket::SocketError error);
    double elapsedSeconds() const { return static_cast<double>(clock.nsecsElapsed()) / 1e9; }
    void finish(const ProbeResult& result);
    void finishLater(const ProbeResult& result);

    Probe* q;
    QUdpSocket socket;
    QTimer tick;
    int tickLimit = kDefaultTicks;
    int ticksSeen = 0;

    std::deque<Request> pending;
    State state = State::Idle;
    Request current;
    QHostAddress target;
    quint16 targetPort = kDnsPort;
    int hostLookupId = -1;

    QElapsedTimer clock;
    dns::Bytes query;
    QByteArray datagram; // receive buffer, kept between reads
};

void Probe::Impl::startNext() {
    if (state != State::Idle || pending.empty())
        return;
    current = std::move(pending.front());
    pending.pop_front();

    const ServerEndpoint endpoint = parseServerText(current.server);
    if (!endpoint.isValid()) {
        finishLater(failedResult(ProbeOutcome::HostNotFound, endpoint.errorText));
        return;
    }
    targetPort = endpoint.port;
    if (!endpoint.isHostName()) {
        target = endpoint.address;
        send();
        return;
    }
    // The name is resolved before the clock starts: the time shows the server, not the
    // resolver that knows its name.
    state = State::Resolving;
    hostLookupId = QHostInfo::lookupHost(endpoint.hostName, q, [this](const QHostInfo& info) {
        hostLookupId = -1;
        onResolved(info);
    });
}

void Probe::Impl::onResolved(const QHostInfo& info) {
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        const QString why = info.error() != QHostInfo::NoError
                                ? info.errorString()
                                : QStringLiteral("the name has no address");
        finish(failedResult(ProbeOutcome::HostNotFound,
                            QStringLiteral("Error: the server name \"%1\" could not be "
                                           "resolved: %2")
                                .arg(info.hostName(), why)));
        return;
    }
    // IPv4 first: most resolvers listed by name are reached over IPv4, and a host with both
    // kinds of address answers on either.
    const auto ipv4 = std::find_if(addresses.cbegin(), addresses.cend(), [](const auto& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    target = ipv4 != addresses.cend() ? *ipv4 : addresses.front();
    send();
}

bool Probe::Impl::ensureBound(QString& errorText) {
    if (socket.state() == QAbstractSocket::BoundState)
        return true;
    // Dual-stack first so IPv4 and IPv6 servers share the one socket; IPv4 alone where the
    // machine has no IPv6.
    if (socket.bind(QHostAddress::Any, 0) || socket.bind(QHostAddress::AnyIPv4, 0))
        return true;
    errorText =
        QStringLiteral("Error: no UDP socket could be opened: %1").arg(socket.errorString());
    return false;
}

void Probe::Impl::dropPending() {
    // Whatever already waits in the socket was sent before this query left, so it cannot
    // be its answer; a late reply with the same question would otherwise be taken for it.
    while (socket.hasPendingDatagrams()) {
        char scrap;
        if (socket.readDatagram(&scrap, 0) < 0)
            break;
    }
}

void Probe::Impl::send() {
    QString errorText;
    if (!ensureBound(errorText)) {
        finishLater(failedResult(ProbeOutcome::SocketError, errorText));
        return;
    }
    dropPending();

    clock.start();
    const QByteArray name = queryNameBytes(current.domain);
    if (name.isEmpty() && !current.domain.isEmpty()) {
        finishLater(failedResult(ProbeOutcome::QueryNotBuilt,
                                 QStringLiteral("Error: the domain cannot be written as a DNS "
                                                "name")));
        return;
    }
    const dns::Query built =
        dns::BuildQuery(std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
                        current.recordType);
    if (built.error != dns::QueryError::None) {
        finishLater(failedResult(ProbeOutcome::QueryNotBuilt,
                                 QString::fromLatin1(dns::QueryErrorText(built.error))));
        return;
    }
    query = built.datagram;
    const qint64 sent = socket.writeDatagram(reinterpret_cast<const char*>(query.data()),
                                             static_cast<qint64>(query.size()), target, targetPort);
    if (sent < 0) {
        finishLater(failedResult(
            ProbeOutcome::SocketError,
            QStringLiteral("Error: the query could not be sent: %1").arg(socket.errorString()),
            elapsedSeconds()));
        return;
    }
    ticksSeen = 0;
    tick.start();
    state = State::Waiting;
}

void Probe::Impl::onReadyRead() {
    // Read every datagram that is there: only one from the queried address and port that
    // answers this very query ends the wait; anything else is dropped.
    bool answered = false;
    ProbeResult result;
    while (socket.hasPendingDatagrams()) {
        datagram.resize(std::max<qint64>(socket.pendingDatagramSize(), 0));
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 size = socket.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
        if (size < 0)
            break;
        if (state != State::Waiting || answered || fromPort != targetPort ||
            !from.isEqual(target, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        const dns::ByteView reply(reinterpret_cast<const std::uint8_t*>(datagram.constData()),
                                  static_cast<std::size_t>(size));
        if (!dns::IsAnswerTo(reply, query))
            continue;
        // Reading the reply is part of the measured span.
        const std::string text = dns::InterpretReply(reply, current.recordType);
        const double seconds = elapsedSeconds();
        answered = true;
        result.outcome = ProbeOutcome::Answered;
        result.seconds = std::min(seconds, kTimeoutSeconds);
        result.secondsText = formatSeconds(seconds);
        result.replyText = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        const std::optional<dns::ReplyHeader> header = dns::ReadReplyHeader(reply);
        result.rcode = header ? header->rcode : -1;
        result.truncated = header && header->truncated;
    }
    if (answered)
        finish(result);
}

void Probe::Impl::onTick() {
    if (state != State::Waiting) {
        tick.stop();
        return;
    }
    if (++ticksSeen < tickLimit)
        return;
    // A lookup that saw no answer counts as ten seconds, whatever wait a test injected.
    ProbeResult result;
    result.outcome = ProbeOutcome::TimedOut;
    finish(result);
}

void Probe::Impl::onSocketError(QAbstractSocket::SocketError error) {
    // A temporary error (a full send buffer, an interrupted read) leaves the socket usable.
    if (state != State::Waiting || error == QAbstractSocket::TemporaryError)
        return;
    finish(failedResult(ProbeOutcome::SocketError,
                        QStringLiteral("Error: the socket failed: %1").arg(socket.errorString()),
                        elapsedSeconds()));
}

void Probe::Impl::finish(const ProbeResult& result) {
    tick.stop();
    state = State::Idle;
    const QPointer<Probe> alive(q);
    emit q->finished(result);
    if (!alive)
        return;
    // Lookups asked for while this one ran start in their turn, from the event loop. A
    // receiver of finished() may already have started the next one.
    if (state == State::Idle && !pending.empty())
        QMetaObject::invokeMethod(
            q, [this] { startNext(); }, Qt::QueuedConnection);
}

void Probe::Impl::finishLater(const ProbeResult& result) {
    tick.stop();
    state = State::Finishing;
    QMetaObject::invokeMethod(
        q, [this, result] { finish(result); }, Qt::QueuedConnection);
}

Probe::Probe(QObject* parent) : LookupProbe(parent), m(std::make_unique<Impl>(this)) {
    qRegisterMetaType<ProbeResult>();
    m->tick.setTimerType(Qt::PreciseTimer);
    m->tick.setInterval(kDefaultTickInterval);
    connect(&m->tick, &QTimer::timeout, this, [this] { m->onTick(); });
    connect(&m->socket, &QUdpSocket::readyRead, this, [this] { m->onReadyRead(); });
    connect(&m->socket, &QUdpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { m->onSocketError(error); });
}

Probe::~Probe() {
    if (m->hostLookupId >= 0)
        QHostInfo::abortHostLookup(m->hostLookupId);
    // Closing the socket must not call back into the half-destroyed probe.
    m->socket.disconnect(this);
    m->tick.disconnect(this);
}

void Probe::setTimeout(int ticks, std::chrono::milliseconds interval) {
    m->tickLimit = std::max(ticks, 1);
    m->tick.setInterval(interval);
}

void Probe::MX_Query_Speed(const QString& DNS_Addr, const QString& Domain_Addr,
                           quint16 recordType) {
    // A call while a lookup is under way is queued, not mixed into it: each call gets its
    // own finished(), in the order of the calls.
    m->pending.push_back({DNS_Addr, Domain_Addr, recordType});
    m->startNext();
}

bool Probe::isBusy() const {
    return m->state != Impl::State::Idle || !m->pending.empty();
}

quint16 Probe::localPort() const {
    return m->socket.localPort();
}

} // namespace tarnbell::core
