#pragma once
// One open connection to a DNS server over a stream transport, on the measurement thread:
// TCP (RFC 7766), TLS (RFC 7858) or HTTPS (RFC 8484, HTTP/2 where the server offers it by
// ALPN, HTTP/1.1 otherwise). It sets itself up, tells when it is ready, writes each query in
// one write and hands every whole reply back with the time it was read. Driven by the
// socket's signals only; it never waits.
//
// Every byte from the server is untrusted. Reading never re-enters itself through a write
// (a write may make the socket report more bytes at once): a read or write under way defers
// the next read to the event loop. Each pass reads a bounded slice, and the connection takes
// at most one answer's worth of bytes per query sent, so no flood can hold the thread past a
// lookup's limit or grow the memory.

#include "core/probe/arrivalclock.h"
#include "core/probe/serverendpoint.h"
#include "dns/moddns.h"
#include "dns/streamframe.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QStringList>
#include <memory>

class QSslSocket;
class QSslError;

namespace tarnbell::http {
class Http1Reader;
class Http2Client;
} // namespace tarnbell::http

namespace tarnbell::core {

class StreamConnection final : public QObject {
    Q_OBJECT
public:
    // `extraCas` are trusted beside the system's authorities.
    StreamConnection(const ServerEndpoint& endpoint, const QList<QSslCertificate>& extraCas,
                     QObject* parent = nullptr);
    ~StreamConnection() override;

    // Starts the set-up: ready() or failed() follows.
    void open(const QHostAddress& address);
    bool isReady() const { return m_state == State::Ready; }
    // Neither failed nor closed: still setting up, or ready.
    bool isAlive() const { return m_state == State::Opening || m_state == State::Ready; }
    // The set-up time, from open() to ready(), in nanoseconds.
    qint64 setupNanoseconds() const { return m_readyAt.monotonicNs - m_openedAt.monotonicNs; }
    const ClockReading& openedAt() const { return m_openedAt; }

    // Writes `query` in one write; `sent` gets the clocks read just before. False with
    // `errorText` when it cannot be sent.
    bool send(const dns::Bytes& query, ClockReading& sent, QString& errorText);
    // A new ID for the next query on this connection: RFC 7766 6.2.1.1 matches replies by
    // ID per connection. DNS over HTTPS uses 0 (RFC 8484 4.1) and matches by stream.
    quint16 nextQueryId();
    // True when bytes wait on the socket for the event loop to read (asks the kernel).
    bool hasBytesWaiting() const;
    void close();

    // Tests: the largest reply taken (kMaxStreamMessage unless made smaller).
    void setReplyCapacity(std::size_t bytes);

Q_SIGNALS:
    void ready();
    // A whole reply message, read at `arrival`.
    void replied(const tarnbell::dns::Bytes& reply, const tarnbell::core::ClockReading& arrival);
    // One request failed (an HTTP status, a reset stream); the connection stays.
    void requestFailed(const QString& errorText);
    // The connection is gone or unusable (closed, reset, TLS refused, framing broken).
    void failed(const QString& errorText);

public:
    // What one pass over the received bytes found, handed out once the pass is over.
    struct Found {
        struct Answer {
            dns::Bytes reply;
            QString requestFailure; // set when the request failed instead (an HTTP status)
        };
        QList<Answer> answers; // in the order they came
        QString failure;       // the connection is unusable
        bool serverCloses = false;
    };

private:
    enum class State { Idle, Opening, Ready, Closed };

    class Busy;

    void onConnected();
    void onEncrypted();
    void onReadable();
    void readPass();
    void onSslErrors(const QList<QSslError>& errors);
    void onSocketError();
    void onDisconnected();
    void becomeReady();
    std::size_t budget() const;
    void quickAck();
    void fail(const QString& errorText);
    bool write(const QByteArray& bytes, QString& errorText);
    void readStream(const QByteArray& bytes, Found& found);
    void readHttp1(const QByteArray& bytes, Found& found);
    void readHttp2(const QByteArray& bytes, Found& found);

    ServerEndpoint m_endpoint;
    QSslSocket* m_socket = nullptr;
    State m_state = State::Idle;
    ClockReading m_openedAt;
    ClockReading m_readyAt;
    quint16 m_nextId = 0x11DF;
    std::size_t m_capacity = dns::kMaxStreamMessage;
    dns::StreamReader m_reader;
    // HTTPS: HTTP/2 when the server chose "h2", else HTTP/1.1 with one request at a time.
    std::unique_ptr<http::Http2Client> m_http2;
    std::unique_ptr<http::Http1Reader> m_http1;
    // Bytes taken since the last query was sent (or since the connection opened).
    std::size_t m_takenSinceQuery = 0;
    int m_busyDepth = 0;      // reads and writes under way, nested
    bool m_readLater = false; // the socket reported bytes while busy
};

} // namespace tarnbell::core
