#include "core/metrics/metricsserver.h"

#include "http/acceptheader.h"
#include "http/requesthead.h"

#include <QTcpSocket>
#include <QTimer>
#include <array>
#include <string_view>

namespace tarnbell::core {

namespace {

// What a scraper can be sent, the default first: a client that asks for neither gets it.
constexpr std::array<http::MediaOffer, 2> kOffers = {{
    {"text/plain", "0.0.4"},
    {"application/openmetrics-text", "1.0.0"},
}};

QByteArray response(const char* status, const QByteArray& contentType, const QByteArray& body,
                    bool withBody, const char* extraHeader = "") {
    return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeader +
           "Connection: close\r\n\r\n" + (withBody ? body : QByteArray());
}

// The answer to a request head, whole or refused.
QByteArray answer(http::RequestHeadReader::Status status, const http::RequestHead& head,
                  const MetricsServer::Source& source) {
    const QByteArray plain = "text/plain; charset=utf-8";
    if (status == http::RequestHeadReader::Status::TooLarge)
        return response("431 Request Header Fields Too Large", plain, "Request head too large.\n",
                        true);
    if (status != http::RequestHeadReader::Status::Complete)
        return response("400 Bad Request", plain, "Bad request.\n", true);
    const std::string_view target = head.target;
    if (target.substr(0, target.find('?')) != "/metrics")
        return response("404 Not Found", plain, "Metrics are served at /metrics only.\n", true);
    // HEAD is GET without the body (RFC 9110 9.3.2).
    const bool isHead = head.method == "HEAD";
    if (head.method != "GET" && !isHead)
        return response("405 Method Not Allowed", plain, "Only GET is served.\n", true,
                        "Allow: GET, HEAD\r\n");
    const auto format = http::negotiate(head.accept, kOffers) == 1 ? MetricsFormat::OpenMetrics
                                                                   : MetricsFormat::Prometheus;
    return response("200 OK", metricsContentType(format), source(format), !isHead,
                    "Vary: Accept\r\n");
}

// One client: its request head read within the limits, one response, then the end.
void serve(QTcpSocket* socket, const MetricsServer::Source& source) {
    // Qt reads no more from the kernel than this ahead of us.
    socket->setReadBufferSize(4096);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->start(MetricsServer::kIdleLimit);
    auto reader = std::make_shared<http::RequestHeadReader>();
    QObject::connect(deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, deadline, reader, source] {
        std::array<char, 4096> slice;
        qint64 read = 0;
        while ((read = socket->read(slice.data(), slice.size())) > 0) {
            // Once answered, what else comes is read only to be dropped: unread bytes would
            // make the close a reset that could cut the response short.
            if (reader->status() != http::RequestHeadReader::Status::NeedMore)
                continue;
            const auto status =
                reader->append(http::ByteView(reinterpret_cast<const std::uint8_t*>(slice.data()),
                                              static_cast<std::size_t>(read)));
            if (status == http::RequestHeadReader::Status::NeedMore)
                continue;
            socket->write(answer(status, reader->head(), source));
            socket->disconnectFromHost();
            deadline->start(MetricsServer::kWriteLimit);
        }
    });
}

} // namespace

MetricsServer::MetricsServer(Source source, QObject* parent)
    : QObject(parent), m_source(std::move(source)) {
    m_server.setMaxPendingConnections(kMaxConnections);
    connect(&m_server, &QTcpServer::newConnection, this, &MetricsServer::acceptConnections);
}

MetricsServer::~MetricsServer() = default;

QString MetricsServer::listen(const QHostAddress& address, quint16 port) {
    if (m_server.listen(address, port))
        return {};
    return QStringLiteral("cannot listen on %1 port %2: %3.")
        .arg(address.toString())
        .arg(port)
        .arg(m_server.errorString());
}

void MetricsServer::acceptConnections() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // Beyond the limit a connection is closed at once: the next scrape comes soon.
        if (m_open >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        // Counted in m_server's context: as it goes, its connections are cut before the
        // sockets it owns are deleted, so none counts into a server already gone.
        connect(socket, &QObject::destroyed, &m_server, [this] { --m_open; });
        serve(socket, m_source);
    }
}

} // namespace tarnbell::core
