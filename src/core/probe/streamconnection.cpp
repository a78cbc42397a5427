#include "core/probe/streamconnection.h"

#include "http/http1reader.h"
#include "http/http2client.h"

#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace tarnbell::core {
namespace {

// One pass over received bytes takes at most this many, so a flood cannot hold the thread.
constexpr qint64 kReadSlice = 16 * 1024;
// What Qt may hold for the connection beyond what a pass takes.
constexpr qint64 kSocketBuffer = 64 * 1024;
const QByteArray kDnsMessageType = QByteArrayLiteral("application/dns-message");

bool isUntrusted(QSslError::SslError error) {
    switch (error) {
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateRejected:
        return true;
    default:
        return false;
    }
}

// Every reason the certificate was refused, in plain words, the first ones saying whether
// it is a matter of trust or of the name.
QString certificateRefusal(const QList<QSslError>& errors, const QString& name) {
    QStringList untrusted;
    QStringList mismatch;
    QStringList other;
    for (const QSslError& error : errors) {
        if (isUntrusted(error.error())) {
            untrusted << error.errorString();
        } else if (error.error() == QSslError::HostNameMismatch) {
            const QStringList names =
                error.certificate().subjectAlternativeNames().values(QSsl::DnsEntry);
            mismatch << QStringLiteral("the certificate is for %1, not %2")
                            .arg(names.isEmpty() ? error.certificate()
                                                       .subjectInfo(QSslCertificate::CommonName)
                                                       .join(QStringLiteral(", "))
                                                 : names.join(QStringLiteral(", ")),
                                 name);
        } else {
            other << error.errorString();
        }
    }
    QStringList parts;
    if (!untrusted.isEmpty())
        parts << QStringLiteral("certificate not trusted: ") + untrusted.join(QStringLiteral("; "));
    if (!mismatch.isEmpty())
        parts << QStringLiteral("name mismatch: ") + mismatch.join(QStringLiteral("; "));
    if (!other.isEmpty())
        parts << QStringLiteral("certificate refused: ") + other.join(QStringLiteral("; "));
    return parts.join(QStringLiteral("; "));
}

// An HTTP response as a DNS answer, or the reason it is none.
StreamConnection::Found::Answer httpAnswer(int status, const std::string& contentType,
                                           http::Bytes& body) {
    if (status != 200)
        return {{}, QStringLiteral("HTTP status %1").arg(status)};
    if (QByteArray::fromStdString(contentType) != kDnsMessageType)
        return {{}, QStringLiteral("the answer is not application/dns-message")};
    return {std::move(body), {}};
}

} // namespace

// Marks a read or write under way; the outermost one to end hands a read the socket reported
// meanwhile to the event loop, so that reading never runs inside a write or another read.
class StreamConnection::Busy {
public:
    explicit Busy(StreamConnection* connection) : m_connection(connection) {
        ++m_connection->m_busyDepth;
    }
    ~Busy() {
        if (!m_connection || --m_connection->m_busyDepth > 0 ||
            !std::exchange(m_connection->m_readLater, false))
            return;
        QMetaObject::invokeMethod(m_connection, &StreamConnection::onReadable,
                                  Qt::QueuedConnection);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    QPointer<StreamConnection> m_connection;
};

StreamConnection::StreamConnection(const ServerEndpoint& endpoint,
                                   const QList<QSslCertificate>& extraCas, QObject* parent)
    : QObject(parent), m_endpoint(endpoint), m_socket(new QSslSocket(this)) {
    if (endpoint.transport != Transport::Tcp) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(extraCas);
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        // Session tickets are reported (newSessionTicketReceived), so each is acknowledged.
        tls.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        if (endpoint.transport == Transport::Https)
            tls.setAllowedNextProtocols({QByteArrayLiteral("h2"), QByteArrayLiteral("http/1.1")});
        m_socket->setSslConfiguration(tls);
    }
    m_socket->setReadBufferSize(kSocketBuffer);
    connect(m_socket, &QSslSocket::connected, this, &StreamConnection::onConnected);
    connect(m_socket, &QSslSocket::encrypted, this, &StreamConnection::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &StreamConnection::onReadable);
    connect(m_socket, &QSslSocket::sslErrors, this, &StreamConnection::onSslErrors);
    connect(m_socket, &QSslSocket::newSessionTicketReceived, this, &StreamConnection::quickAck);
    connect(m_socket, &QSslSocket::errorOccurred, this, &StreamConnection::onSocketError);
    connect(m_socket, &QSslSocket::disconnected, this, &StreamConnection::onDisconnected);
}

StreamConnection::~StreamConnection() {
    // Nothing may reach the owner from a socket that goes with this object.
    m_socket->disconnect(this);
}

void StreamConnection::setReplyCapacity(std::size_t bytes) {
    m_capacity = std::min(bytes, dns::kMaxStreamMessage);
    m_reader = dns::StreamReader(m_capacity);
}

std::size_t StreamConnection::budget() const {
    // One whole message with its length, or over HTTPS with its head and framing besides
    // (HTTP/2 frame headers, chunk lines, an interim response).
    const std::size_t framing = m_endpoint.transport == Transport::Https ? 2 * http::kMaxHead : 2;
    return m_capacity + framing;
}

void StreamConnection::open(const QHostAddress& address) {
    m_state = State::Opening;
    m_openedAt = readClocks();
    m_takenSinceQuery = 0;
    if (m_endpoint.transport == Transport::Tcp) {
        m_socket->connectToHost(address, m_endpoint.port);
        return;
    }
    // The address is where to connect; the entry's name is what the certificate must show
    // (and the server name sent, unless it is an address).
    m_socket->setPeerVerifyName(m_endpoint.authName);
    m_socket->connectToHostEncrypted(address.toString(), m_endpoint.port, m_endpoint.authName);
}

void StreamConnection::close() {
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    QMetaObject::invokeMethod(m_socket, &QAbstractSocket::abort, Qt::QueuedConnection);
}

quint16 StreamConnection::nextQueryId() {
    if (m_endpoint.transport == Transport::Https)
        return 0;
    return m_nextId++;
}

void StreamConnection::onConnected() {
    // Small messages must leave at once, not wait for the server's delayed ACK (Nagle).
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_endpoint.transport == Transport::Tcp)
        becomeReady();
}

void StreamConnection::onEncrypted() {
    if (m_endpoint.transport != Transport::Https) {
        becomeReady();
        return;
    }
    if (m_socket->sslConfiguration().nextNegotiatedProtocol() != QByteArrayLiteral("h2")) {
        becomeReady(); // HTTP/1.1
        return;
    }
    m_http2 = std::make_unique<http::Http2Client>(m_capacity);
    std::string out;
    QString errorText;
    if (!m_http2->start(out)) {
        fail(QStringLiteral("HTTP/2 session could not start"));
        return;
    }
    // Ready once the server's SETTINGS arrive: the HTTP/2 set-up is part of the connection's.
    write(QByteArray::fromStdString(out), errorText);
}

// What arrived is acknowledged now, not after the delayed-ACK timer (40 ms): a server that
// holds its answer back until earlier segments are acknowledged (Nagle's algorithm; TLS 1.3
// session tickets sent just before the first answer) would otherwise seem 40 ms slower.
void StreamConnection::quickAck() {
    const int one = 1;
    ::setsockopt(static_cast<int>(m_socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &one,
                 sizeof one);
}

void StreamConnection::becomeReady() {
    if (m_state != State::Opening)
        return;
    m_readyAt = readClocks();
    m_state = State::Ready;
    emit ready();
}

bool StreamConnection::write(const QByteArray& bytes, QString& errorText) {
    if (bytes.isEmpty())
        return true;
    const Busy busy(this);
    // One write, flushed at once: the message leaves in as few segments as it fits.
    if (m_socket->write(bytes) != bytes.size()) {
        errorText = m_socket->errorString();
        return false;
    }
    m_socket->flush();
    return true;
}

bool StreamConnection::hasBytesWaiting() const {
    if (m_socket == nullptr || m_socket->socketDescriptor() < 0)
        return false;
    pollfd watched{static_cast<int>(m_socket->socketDescriptor()), POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0;
}

bool StreamConnection::send(const dns::Bytes& query, ClockReading& sent, QString& errorText) {
    if (m_state != State::Ready) {
        errorText = QStringLiteral("the connection is not open");
        return false;
    }
    QByteArray bytes;
    if (m_endpoint.transport != Transport::Https) {
        const dns::Bytes framed = dns::FrameForStream(query);
        bytes = QByteArray(reinterpret_cast<const char*>(framed.data()),
                           static_cast<qsizetype>(framed.size()));
    } else if (m_http2) {
        std::string out;
        if (m_http2->post(m_endpoint.authName.toStdString(), m_endpoint.path.toStdString(), query,
                          out) < 0) {
            errorText = QStringLiteral("the HTTP/2 connection takes no more requests");
            return false;
        }
        bytes = QByteArray::fromStdString(out);
    } else {
        bytes = QStringLiteral("POST %1 HTTP/1.1\r\nHost: %2\r\nContent-Type: "
                               "application/dns-message\r\nAccept: "
                               "application/dns-message\r\nContent-Length: %3\r\n\r\n")
                    .arg(m_endpoint.path, m_endpoint.authName)
                    .arg(query.size())
                    .toLatin1();
        bytes.append(reinterpret_cast<const char*>(query.data()),
                     static_cast<qsizetype>(query.size()));
    }
    // The answer to this query may take one answer's worth of bytes, whatever came before.
    m_takenSinceQuery = 0;
    sent = readClocks();
    return write(bytes, errorText);
}

void StreamConnection::onReadable() {
    if (m_busyDepth > 0) {
        m_readLater = true;
        return;
    }
    readPass();
}

void StreamConnection::readPass() {
    const Busy busy(this);
    const ClockReading arrival = readClocks();
    const QByteArray bytes = m_socket->read(kReadSlice);
    quickAck();
    if (m_state != State::Ready && m_state != State::Opening)
        return;
    // Whatever is left waits for the next pass, after the timers and other sockets.
    if (m_socket->bytesAvailable() > 0)
        m_readLater = true;
    m_takenSinceQuery += static_cast<std::size_t>(bytes.size());
    if (m_takenSinceQuery > budget()) {
        fail(QString::fromLatin1(http::kOverLimitText));
        return;
    }
    Found found;
    if (m_endpoint.transport != Transport::Https)
        readStream(bytes, found);
    else if (m_http2)
        readHttp2(bytes, found);
    else
        readHttp1(bytes, found);
    // Handed out only now: a receiver may send the next query on this connection, or drop it.
    const QPointer<StreamConnection> alive(this);
    for (const Found::Answer& answer : std::as_const(found.answers)) {
        if (answer.requestFailure.isEmpty())
            emit replied(answer.reply, arrival);
        else
            emit requestFailed(answer.requestFailure);
        if (!alive || m_state == State::Closed)
            return;
    }
    if (!found.failure.isEmpty())
        fail(found.failure);
    else if (found.serverCloses)
        fail(QStringLiteral("the server closed the connection"));
}

void StreamConnection::readStream(const QByteArray& bytes, Found& found) {
    m_reader.append(dns::ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())));
    dns::Bytes message;
    for (;;) {
        switch (m_reader.next(message)) {
        case dns::StreamReader::Status::NeedMore:
            return;
        case dns::StreamReader::Status::Broken:
            found.failure =
                QStringLiteral("the server announced an empty message or one over %1 bytes")
                    .arg(m_capacity);
            return;
        case dns::StreamReader::Status::Message:
            found.answers.append({std::move(message), {}});
            break;
        }
    }
}

void StreamConnection::readHttp2(const QByteArray& bytes, Found& found) {
    std::string out;
    std::string error;
    std::vector<http::Http2Client::Completed> completed;
    const bool ok =
        m_http2->receive(http::ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size())),
                         out, completed, error);
    for (http::Http2Client::Completed& done : completed) {
        const http::Http2Client::Response& response = done.response;
        found.answers.append(
            response.errorText.empty()
                ? httpAnswer(response.status, response.contentType, done.response.body)
                : Found::Answer{{}, QString::fromStdString(response.errorText)});
    }
    if (!ok) {
        found.failure = QString::fromStdString(error);
        return;
    }
    // Acknowledgements and window updates leave now, after the library has returned; a read
    // that the write brings on waits for the next pass.
    QString errorText;
    if (!write(QByteArray::fromStdString(out), errorText)) {
        found.failure = errorText;
        return;
    }
    if (m_state == State::Opening && m_http2->settingsReceived())
        becomeReady();
    else if (m_state == State::Ready && !m_http2->usable())
        found.failure = QStringLiteral("the server ended the HTTP/2 connection");
}

void StreamConnection::readHttp1(const QByteArray& bytes, Found& found) {
    if (!m_http1)
        m_http1 = std::make_unique<http::Http1Reader>(m_capacity);
    m_http1->append(http::ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())));
    http::Http1Response response;
    for (;;) {
        switch (m_http1->next(response)) {
        case http::Http1Reader::Status::NeedMore:
            return;
        case http::Http1Reader::Status::Broken:
            found.failure = QString::fromStdString(m_http1->error());
            return;
        case http::Http1Reader::Status::Response:
            break;
        }
        found.answers.append(httpAnswer(response.status, response.contentType, response.body));
        if (response.closes) {
            found.serverCloses = true;
            return;
        }
    }
}

void StreamConnection::onSslErrors(const QList<QSslError>& errors) {
    // Never ignored: the socket ends the handshake, and the lookup ends with the reason.
    fail(certificateRefusal(errors, m_endpoint.authName));
}

void StreamConnection::onSocketError() {
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        fail(QStringLiteral("the server closed the connection"));
    else
        fail(m_socket->errorString());
}

void StreamConnection::onDisconnected() {
    fail(QStringLiteral("the server closed the connection"));
}

void StreamConnection::fail(const QString& errorText) {
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    // Closed from the event loop: this may run inside one of the socket's own signals.
    QMetaObject::invokeMethod(m_socket, &QAbstractSocket::abort, Qt::QueuedConnection);
    emit failed(errorText);
}

} // namespace tarnbell::core
