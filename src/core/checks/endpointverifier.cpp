#include "core/checks/endpointverifier.h"

#include <QSslConfiguration>
#include <QSslSocket>

namespace tarnbell::core {

EndpointVerifier::EndpointVerifier(QList<QSslCertificate> extraCas, std::chrono::milliseconds limit,
                                   QObject* parent)
    : QObject(parent), m_extraCas(std::move(extraCas)), m_limit(limit) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { settle(false, QStringLiteral("no TLS connection within the time limit")); });
}

EndpointVerifier::~EndpointVerifier() {
    if (m_socket)
        m_socket->disconnect(this);
}

void EndpointVerifier::verify(const ServerChecks& checks, const QHostAddress& resolver) {
    m_checks = checks;
    m_resolver = resolver;
    m_index = -1;
    QMetaObject::invokeMethod(this, &EndpointVerifier::next, Qt::QueuedConnection);
}

void EndpointVerifier::next() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (++m_index >= m_checks.endpoints.size()) {
        bool all = !m_checks.endpoints.isEmpty();
        for (const DiscoveredEndpoint& endpoint : std::as_const(m_checks.endpoints))
            all = all && endpoint.verified;
        if (!m_checks.endpoints.isEmpty())
            m_checks.discovery = {all ? CheckVerdict::Pass : CheckVerdict::Fail,
                                  all ? QStringLiteral("verified") : QStringLiteral("unverified"),
                                  QString()};
        emit finished(m_checks);
        return;
    }
    const DiscoveredEndpoint& endpoint = m_checks.endpoints.at(m_index);
    if (endpoint.scheme == QLatin1String("quic")) {
        settle(false, QStringLiteral("not verified: DNS over QUIC is not asked here"));
        return;
    }
    m_socket = new QSslSocket(this);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(m_extraCas);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(tls);
    m_socket->setPeerVerifyName(endpoint.authName);
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        // RFC 9462 4.2: the certificate must also name the resolver's own IP address.
        const QList<QString> addresses =
            m_socket->peerCertificate().subjectAlternativeNames().values(QSsl::IpAddressEntry);
        const bool covered =
            std::any_of(addresses.cbegin(), addresses.cend(), [this](const QString& text) {
                return QHostAddress(text).isEqual(m_resolver, QHostAddress::TolerantConversion);
            });
        settle(
            covered,
            covered
                ? QStringLiteral("the certificate covers %1").arg(m_resolver.toString())
                : QStringLiteral("the certificate does not cover %1").arg(m_resolver.toString()));
    });
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        settle(false, QStringLiteral("certificate refused: ") + errors.value(0).errorString());
    });
    connect(m_socket, &QSslSocket::errorOccurred, this, [this] {
        settle(false, QStringLiteral("no TLS connection: ") + m_socket->errorString());
    });
    m_timer.start(m_limit);
    m_socket->connectToHostEncrypted(endpoint.address, endpoint.port, endpoint.authName);
}

void EndpointVerifier::settle(bool verified, const QString& words) {
    if (m_index < 0 || m_index >= m_checks.endpoints.size())
        return;
    m_timer.stop();
    DiscoveredEndpoint& endpoint = m_checks.endpoints[m_index];
    if (!endpoint.verification.isEmpty())
        return; // settled already (an error after the verdict)
    endpoint.verified = verified;
    endpoint.verification = words;
    // The socket may be in one of its own signals: the next endpoint starts from the loop.
    QMetaObject::invokeMethod(this, &EndpointVerifier::next, Qt::QueuedConnection);
}

} // namespace tarnbell::core
