#include "core/probe/streamconnection.h"

#include "core/probe/http2client.h"

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

// An HTTP/1.1 head longer than this is no DNS server's answer.
constexpr qsizetype kMaxHttpHead = 16 * 1024;
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

// The value of `name` in an HTTP/1.1 head (one header per line, names in any case).
QByteArray headerValue(const QList<QByteArray>& lines, const QByteArray& name) {
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

} // namespace

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

void StreamConnection::open(const QHostAddress& address) {
    m_state = State::Opening;
    m_openedAt = readClocks();
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
    m_http2 = std::make_unique<Http2Client>(m_capacity);
    m_http2->onResponse = [this](std::int32_t, const Http2Client::Response& response) {
        const QPointer<StreamConnection> alive(this);
        if (!response.errorText.empty())
            emit requestFailed(QString::fromStdString(response.errorText));
        else if (response.status != 200)
            emit requestFailed(QStringLiteral("HTTP status %1").arg(response.status));
        else if (QByteArray::fromStdString(response.contentType) != kDnsMessageType)
            emit requestFailed(QStringLiteral("the answer is not application/dns-message"));
        else
            emit replied(response.body, m_arrival);
        Q_UNUSED(alive);
    };
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
    sent = readClocks();
    return write(bytes, errorText);
}

void StreamConnection::onReadable() {
    const ClockReading arrival = readClocks();
    const QByteArray bytes = m_socket->readAll();
    quickAck();
    if (m_state != State::Ready && m_state != State::Opening)
        return;
    if (m_endpoint.transport != Transport::Https)
        readStream(bytes, arrival);
    else if (m_http2)
        readHttp2(bytes, arrival);
    else
        readHttp1(bytes, arrival);
}

void StreamConnection::readStream(const QByteArray& bytes, const ClockReading& arrival) {
    m_reader.append(dns::ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())));
    const QPointer<StreamConnection> alive(this);
    dns::Bytes message;
    for (;;) {
        switch (m_reader.next(message)) {
        case dns::StreamReader::Status::NeedMore:
            return;
        case dns::StreamReader::Status::Broken:
            fail(QStringLiteral("the server announced an empty message or one over %1 bytes")
                     .arg(m_capacity));
            return;
        case dns::StreamReader::Status::Message:
            emit replied(message, arrival);
            if (!alive || m_state == State::Closed)
                return;
            break;
        }
    }
}

void StreamConnection::readHttp2(const QByteArray& bytes, const ClockReading& arrival) {
    m_arrival = arrival;
    std::string out;
    std::string error;
    const QPointer<StreamConnection> alive(this);
    const bool ok =
        m_http2->receive(dns::ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size())),
                         out, error);
    if (!alive || m_state == State::Closed)
        return;
    if (!ok) {
        fail(QString::fromStdString(error));
        return;
    }
    QString errorText;
    if (!write(QByteArray::fromStdString(out), errorText)) {
        fail(errorText);
        return;
    }
    if (m_state == State::Opening && m_http2->settingsReceived())
        becomeReady();
    else if (m_state == State::Ready && !m_http2->usable())
        fail(QStringLiteral("the server ended the HTTP/2 connection"));
}

void StreamConnection::readHttp1(const QByteArray& bytes, const ClockReading& arrival) {
    m_http1Buffer.append(bytes);
    const qsizetype headEnd = m_http1Buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (m_http1Buffer.size() > kMaxHttpHead)
            fail(QStringLiteral("the HTTP head is longer than %1 bytes").arg(kMaxHttpHead));
        return;
    }
    const QList<QByteArray> lines = m_http1Buffer.first(headEnd).split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    bool numeric = false;
    const int status = statusLine.value(1).toInt(&numeric);
    if (!statusLine.value(0).startsWith("HTTP/1.") || !numeric) {
        fail(QStringLiteral("not an HTTP/1.1 answer"));
        return;
    }
    if (!headerValue(lines, "transfer-encoding").isEmpty()) {
        fail(QStringLiteral("HTTP/1.1 answers in chunks are not read; the server must give "
                            "their length"));
        return;
    }
    bool hasLength = false;
    const qsizetype length = headerValue(lines, "content-length").toLongLong(&hasLength);
    if (!hasLength || length < 0 || static_cast<std::size_t>(length) > m_capacity) {
        fail(QStringLiteral("the HTTP answer has no length or one over %1 bytes").arg(m_capacity));
        return;
    }
    if (m_http1Buffer.size() - headEnd - 4 < length)
        return;
    const QByteArray body = m_http1Buffer.sliced(headEnd + 4, length);
    const bool closing =
        headerValue(lines, "connection").compare("close", Qt::CaseInsensitive) == 0;
    const QByteArray type = headerValue(lines, "content-type");
    m_http1Buffer.remove(0, headEnd + 4 + length);
    const QPointer<StreamConnection> alive(this);
    if (status != 200)
        emit requestFailed(QStringLiteral("HTTP status %1").arg(status));
    else if (type != kDnsMessageType)
        emit requestFailed(QStringLiteral("the answer is not application/dns-message"));
    else
        emit replied(dns::Bytes(body.cbegin(), body.cend()), arrival);
    if (alive && closing)
        fail(QStringLiteral("the server closed the connection"));
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
