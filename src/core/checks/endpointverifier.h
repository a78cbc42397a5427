#pragma once
// Whether a resolver's designation of an encrypted endpoint is verified (RFC 9462 4.2): a TLS
// connection to the endpoint must show a certificate that is valid for the endpoint's name
// and also covers the address of the resolver that named it, so nobody between the client
// and that resolver can have forged the designation. One endpoint after another, each within
// a time limit, driven by the socket's signals.

#include "core/checks/serverchecks.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QTimer>
#include <chrono>

class QSslSocket;

namespace tarnbell::core {

class EndpointVerifier final : public QObject {
    Q_OBJECT
public:
    EndpointVerifier(QList<QSslCertificate> extraCas, std::chrono::milliseconds limit,
                     QObject* parent = nullptr);
    ~EndpointVerifier() override;

    // Verifies the endpoints of `checks` against the resolver at `resolver`; finished()
    // follows, from the event loop, with every endpoint's verdict set.
    void verify(const ServerChecks& checks, const QHostAddress& resolver);

Q_SIGNALS:
    void finished(const tarnbell::core::ServerChecks& checks);

private:
    void next();
    void settle(bool verified, const QString& words);

    QList<QSslCertificate> m_extraCas;
    std::chrono::milliseconds m_limit;
    ServerChecks m_checks;
    QHostAddress m_resolver;
    qsizetype m_index = -1;
    QSslSocket* m_socket = nullptr;
    QTimer m_timer;
};

} // namespace tarnbell::core
