#include "core/probe/streamlookup.h"

#include "core/probe/probe.h"
#include "core/probe/querynames.h"
#include "core/probe/streamconnection.h"

#include <utility>

namespace tarnbell::core {
namespace {

double secondsBetween(qint64 fromNs, qint64 toNs) {
    return static_cast<double>(toNs - fromNs) / 1e9;
}

} // namespace

StreamLookup::StreamLookup(QObject* parent) : LookupTransport(parent) {}

StreamLookup::~StreamLookup() {
    for (StreamConnection* connection : std::as_const(m_connections))
        connection->disconnect(this);
}

void StreamLookup::beginRun() {
    LookupTransport::beginRun();
    const QList<StreamConnection*> open = m_connections.values();
    for (StreamConnection* connection : open) {
        if (m_state == State::Idle || connection != m_connection)
            dropConnection(connection);
    }
}

void StreamLookup::start(const LookupRequest& request) {
    m_current = request;
    ++m_serial;
    m_connection = nullptr;
    m_opened = false;
    m_retried = false;
    m_strayAnswer = false;

    m_endpoint = m_current.endpoint ? *m_current.endpoint : parseServerText(m_current.server);
    m_key = m_current.server.trimmed();
    if (!m_endpoint.isValid()) {
        finishLater(failedResult(ProbeOutcome::HostNotFound, m_endpoint.errorText));
        return;
    }
    LookupQuery built = buildLookupQuery(m_current);
    if (!built.errorText.isEmpty()) {
        finishLater(failedResult(ProbeOutcome::QueryNotBuilt, built.errorText));
        return;
    }
    m_query = std::move(built.bytes);
    reachServer(m_endpoint);
}

// Takes the server's open connection, or opens one; the query goes once it is ready.
void StreamLookup::openConnection() {
    StreamConnection* connection = m_connections.value(m_key);
    if (connection && (m_fresh || !connection->isReady())) {
        dropConnection(connection);
        connection = nullptr;
    }
    if (connection) {
        m_connection = connection;
        sendQuery();
        return;
    }
    connection = new StreamConnection(m_endpoint, m_extraCas, this);
    connection->setReplyCapacity(m_capacity);
    m_connections.insert(m_key, connection);
    m_connection = connection;
    m_opened = true;
    m_state = State::Connecting;
    connect(connection, &StreamConnection::ready, this, [this, connection] {
        if (connection == m_connection && m_state == State::Connecting)
            sendQuery();
    });
    connect(connection, &StreamConnection::replied, this,
            [this, connection](const dns::Bytes& reply, const ClockReading& arrival) {
                onReply(connection, reply, arrival);
            });
    connect(connection, &StreamConnection::requestFailed, this,
            [this, connection](const QString& errorText) {
                if (connection == m_connection && m_state == State::Waiting)
                    finish(failedResult(ProbeOutcome::SocketError, errorText));
            });
    connect(connection, &StreamConnection::failed, this,
            [this, connection](const QString& errorText) {
                onConnectionFailed(connection, errorText);
            });
    connection->open(m_target);
}

void StreamLookup::sendQuery() {
    // RFC 7766 6.2.1.1: on a stream the ID tells which query a reply answers.
    const quint16 id = m_connection->nextQueryId();
    m_query[0] = static_cast<std::uint8_t>(id >> 8);
    m_query[1] = static_cast<std::uint8_t>(id & 0xFF);
    m_state = State::Waiting;
    QString errorText;
    StreamConnection* const connection = m_connection;
    const quint64 serial = m_serial;
    if (!connection->send(m_query, m_sent, errorText)) {
        onConnectionFailed(connection, errorText);
        return;
    }
    // The write may have ended this lookup already (the server closed the connection).
    if (serial != m_serial || m_state != State::Waiting || m_connection != connection)
        return;
    // A reply seen on the socket ends the watch; the event loop's next turn reads it.
    m_busyWait.start(m_sent.monotonicNs, [connection] { return connection->hasBytesWaiting(); });
}

void StreamLookup::onReply(StreamConnection* connection, const dns::Bytes& reply,
                           const ClockReading& arrival) {
    // An answer nobody waits for: whatever that connection sends next cannot be trusted to
    // answer the query written next, so it goes, and the next lookup opens another.
    if (connection != m_connection || m_state != State::Waiting) {
        const bool settingUp = connection == m_connection && m_state == State::Connecting;
        dropConnection(connection);
        // The lookup's own connection, before its query left: nothing more will come on it.
        if (settingUp)
            finish(failedResult(ProbeOutcome::SocketError,
                                QStringLiteral("the server sent an answer before it was asked")));
        return;
    }
    // Not this query's answer: the wait goes on (the real one may follow), and the connection
    // goes once this lookup is over.
    if (!dns::IsAnswerTo(reply, m_query)) {
        m_strayAnswer = true;
        return;
    }
    const qint64 from = m_fresh ? connection->openedAt().monotonicNs : m_sent.monotonicNs;
    ProbeResult result =
        answeredResult(reply, secondsBetween(from, arrival.monotonicNs), m_current);
    // A stream gives no kernel stamp per message: the read of the whole reply is the arrival.
    result.timeSource = TimeSource::Monotonic;
    result.newConnection = m_opened;
    if (m_opened)
        result.connectSeconds = static_cast<double>(connection->setupNanoseconds()) / 1e9;
    // A check's connection is its own: the run's lookups open theirs, their set-up timed.
    if (m_fresh || m_current.check)
        dropConnection(connection);
    finish(result);
}

void StreamLookup::onConnectionFailed(StreamConnection* connection, const QString& errorText) {
    const bool current = connection == m_connection;
    dropConnection(connection);
    if (!current || (m_state != State::Connecting && m_state != State::Waiting))
        return;
    // A server may close a kept connection at any time (RFC 7766 6.2.3); the query it took
    // with it goes again once on a new connection, as a stub resolver would send it.
    if (m_state == State::Waiting && !m_opened && !m_retried) {
        m_retried = true;
        openConnection();
        return;
    }
    m_connection = nullptr;
    finish(failedResult(ProbeOutcome::SocketError, errorText));
}

void StreamLookup::dropConnection(StreamConnection* connection) {
    if (connection == nullptr)
        return;
    if (m_connections.value(m_key) == connection)
        m_connections.remove(m_key);
    else
        m_connections.remove(m_connections.key(connection));
    connection->disconnect(this);
    connection->close();
    connection->deleteLater();
    if (connection == m_connection)
        m_connection = nullptr;
}

void StreamLookup::timeLimitReached() {
    if (m_state != State::Connecting && m_state != State::Waiting)
        return;
    // A late answer must not be read as the next query's: the connection goes.
    dropConnection(m_connection);
    finish(ProbeResult{});
}

void StreamLookup::settle() {
    if (std::exchange(m_strayAnswer, false))
        dropConnection(m_connection);
}

} // namespace tarnbell::core
