// Lookups over UDP, TCP, TLS and HTTPS against a real resolver (unbound), over UDP against an
// authoritative server (NSD), and against small in-process servers for what a real one will
// not do on demand (close a kept connection, stall a handshake, send half a message, speak
// HTTP/1.1 only).

#include "core/probe/probe.h"
#include "dns/streamframe.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/realdnsserver.h"
#include "fixtures/realresolver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::testing::RealResolver;

namespace {

// A DNS server over TCP on 127.0.0.1 that misbehaves as told; a query is answered by
// echoing it with the QR bit set.
class FakeStreamServer {
public:
    enum class Mode {
        CloseAfterAnswer, // answers, then closes the connection
        CloseUnanswered,  // closes each connection on its second query, unanswered
        Silent,           // accepts, reads, never writes (a handshake that never ends)
        HalfMessage,      // announces a message and sends a part of it
        EmptyMessage,     // announces a message of length 0
        OtherId,          // answers with another query's ID
    };

    explicit FakeStreamServer(Mode mode) : m_mode(mode) {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                auto reader = std::make_shared<tarnbell::dns::StreamReader>();
                auto queries = std::make_shared<int>(0);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] {
                    const QByteArray bytes = socket->readAll();
                    reader->append({reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    static_cast<std::size_t>(bytes.size())});
                    tarnbell::dns::Bytes query;
                    while (reader->next(query) == tarnbell::dns::StreamReader::Status::Message)
                        respond(socket, query, ++*queries);
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    QString entry(const QString& scheme) const {
        const QString name = scheme == QStringLiteral("tcp://")
                                 ? QString()
                                 : QStringLiteral("#") + QLatin1String(RealResolver::kServerName);
        return scheme + QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()) + name;
    }

    int connections = 0;

private:
    void respond(QTcpSocket* socket, tarnbell::dns::Bytes query, int number) {
        query[2] |= 0x80;
        if (m_mode == Mode::OtherId)
            query[1] ^= 0x01;
        const tarnbell::dns::Bytes framed = tarnbell::dns::FrameForStream(query);
        const QByteArray whole(reinterpret_cast<const char*>(framed.data()),
                               static_cast<qsizetype>(framed.size()));
        if (m_mode == Mode::HalfMessage)
            socket->write(whole.first(whole.size() / 2));
        else if (m_mode == Mode::EmptyMessage)
            socket->write(QByteArray(2, '\0'));
        else if (m_mode == Mode::CloseUnanswered && number == 2)
            socket->disconnectFromHost();
        else if (m_mode != Mode::Silent)
            socket->write(whole);
        if (m_mode == Mode::CloseAfterAnswer)
            socket->disconnectFromHost();
    }

    Mode m_mode;
    QTcpServer m_server;
};

QList<ProbeResult> lookUp(Probe& probe, const QString& server, int count,
                          const QString& domain = QStringLiteral("example.test"),
                          quint16 type = 1) {
    QSignalSpy spy(&probe, &Probe::finished);
    for (int i = 0; i < count; ++i)
        probe.MX_Query_Speed(server, domain, type);
    while (spy.size() < count && spy.wait(20000)) {
    }
    QList<ProbeResult> results;
    for (const QList<QVariant>& arguments : spy)
        results << arguments.at(0).value<ProbeResult>();
    return results;
}

int newConnections(const QList<ProbeResult>& results) {
    return static_cast<int>(std::count_if(results.cbegin(), results.cend(),
                                          [](const ProbeResult& r) { return r.newConnection; }));
}

} // namespace

Q_DECLARE_METATYPE(FakeStreamServer::Mode)

class TestTransports final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        TARNBELL_START_SERVER(m_resolver);
        TARNBELL_START_SERVER(m_nsd);
        m_ca = QSslCertificate::fromPath(m_resolver.caFile());
        QVERIFY(!m_ca.isEmpty());
    }

    // NXDOMAIN and REFUSED are replies like any other here; the run decides what they count.
    // TCP and TLS answers are read in reusesConnections.
    void repliesAndTheirCodes_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("rcode");
        QTest::newRow("UDP, NXDOMAIN") << m_resolver.udpEntry() << "nothing.example.test" << 1 << 3;
        QTest::newRow("NSD, MX") << m_nsd.serverText() << "example.test" << 15 << 0;
        QTest::newRow("HTTPS") << m_resolver.httpsEntry() << "example.test" << 15 << 0;
        QTest::newRow("HTTPS, REFUSED") << m_resolver.httpsEntry() << "example.org" << 1 << 5;
    }
    void repliesAndTheirCodes() {
        QFETCH(QString, server);
        QFETCH(QString, domain);
        QFETCH(int, type);
        QFETCH(int, rcode);
        Probe probe;
        probe.setExtraCertificates(m_ca);
        const QList<ProbeResult> results = lookUp(probe, server, 1, domain, quint16(type));
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].outcome == ProbeOutcome::Answered, qPrintable(results[0].errorText));
        QCOMPARE(results[0].rcode, rcode);
        QVERIFY(results[0].seconds > 0.0 && results[0].seconds < 10.0);
    }

    // One connection carries every lookup of a server, its set-up timed apart; with fresh
    // connections every lookup opens its own and its time includes the set-up.
    void reusesConnections_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("fresh");
        for (const bool fresh : {false, true}) {
            const char* how = fresh ? "fresh" : "kept";
            QTest::addRow("TCP %s", how) << m_resolver.tcpEntry() << fresh;
            QTest::addRow("TLS %s", how) << m_resolver.tlsEntry() << fresh;
            QTest::addRow("HTTPS %s", how) << m_resolver.httpsEntry() << fresh;
        }
    }
    void reusesConnections() {
        QFETCH(QString, server);
        QFETCH(bool, fresh);
        Probe probe;
        probe.setExtraCertificates(m_ca);
        probe.setFreshConnections(fresh);
        const QList<ProbeResult> results = lookUp(probe, server, 5);
        QCOMPARE(results.size(), 5);
        for (const ProbeResult& result : results) {
            QVERIFY2(result.outcome == ProbeOutcome::Answered, qPrintable(result.errorText));
            QCOMPARE(result.newConnection, fresh || &result == &results.front());
            if (result.newConnection)
                QVERIFY(result.connectSeconds > 0.0);
            if (fresh)
                QVERIFY(result.seconds >= result.connectSeconds);
        }
        // A new run opens its connection again, so its figures hold their own set-up.
        probe.beginRun();
        QCOMPARE(newConnections(lookUp(probe, server, 2)), fresh ? 2 : 1);
    }

    void refusedEveryTime_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<QString>("words");
        const QString name = QStringLiteral("#") + QLatin1String(RealResolver::kServerName);
        QTest::newRow("TLS, unknown authority")
            << m_resolver.tlsEntry() << false << "certificate not trusted: ";
        QTest::newRow("HTTPS, unknown authority")
            << m_resolver.httpsEntry() << false << "certificate not trusted: ";
        QTest::newRow("TLS, another name")
            << m_resolver.tlsEntry().replace(name, "#other.example.test") << true
            << "name mismatch: ";
        QTest::newRow("HTTPS, address without a name in the certificate")
            << m_resolver.httpsEntry().remove(name) << true << "name mismatch: ";
        QTest::newRow("HTTPS, a path the server does not serve")
            << m_resolver.httpsEntry().replace("/dns-query", "/elsewhere") << true
            << "HTTP status 4";
    }
    void refusedEveryTime() {
        QFETCH(QString, server);
        QFETCH(bool, trustCa);
        QFETCH(QString, words);
        Probe probe;
        if (trustCa)
            probe.setExtraCertificates(m_ca);
        // Refused every time, never answered on a second try over the refused connection.
        const QList<ProbeResult> results = lookUp(probe, server, 2);
        QCOMPARE(results.size(), 2);
        for (const ProbeResult& result : results) {
            QCOMPARE(result.outcome, ProbeOutcome::SocketError);
            QVERIFY2(result.errorText.startsWith(words), qPrintable(result.errorText));
            QCOMPARE(result.seconds, 10.0);
            QVERIFY(!result.newConnection);
        }
    }

    // A server closes a kept connection: the next lookup opens another, counted; a query it
    // took with it goes again once on a new connection.
    void reopensClosedConnections_data() {
        QTest::addColumn<FakeStreamServer::Mode>("mode");
        QTest::newRow("closed after each answer") << FakeStreamServer::Mode::CloseAfterAnswer;
        QTest::newRow("closed under a query") << FakeStreamServer::Mode::CloseUnanswered;
    }
    void reopensClosedConnections() {
        QFETCH(FakeStreamServer::Mode, mode);
        FakeStreamServer server(mode);
        Probe probe;
        const QList<ProbeResult> results = lookUp(probe, server.entry("tcp://"), 4);
        QCOMPARE(results.size(), 4);
        for (const ProbeResult& result : results)
            QVERIFY2(result.outcome == ProbeOutcome::Answered, qPrintable(result.errorText));
        QCOMPARE(newConnections(results), 4);
        QCOMPARE(server.connections, 4);
    }

    // Streams that never deliver end within the limit and count ten seconds; broken framing
    // ends at once.
    void endsStalledStreams_data() {
        QTest::addColumn<FakeStreamServer::Mode>("mode");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<ProbeOutcome>("outcome");
        QTest::newRow("TLS handshake never finished")
            << FakeStreamServer::Mode::Silent << "tls://" << ProbeOutcome::TimedOut;
        QTest::newRow("half a message")
            << FakeStreamServer::Mode::HalfMessage << "tcp://" << ProbeOutcome::TimedOut;
        QTest::newRow("an answer with another ID")
            << FakeStreamServer::Mode::OtherId << "tcp://" << ProbeOutcome::TimedOut;
        QTest::newRow("a message of length 0")
            << FakeStreamServer::Mode::EmptyMessage << "tcp://" << ProbeOutcome::SocketError;
    }
    void endsStalledStreams() {
        QFETCH(FakeStreamServer::Mode, mode);
        QFETCH(QString, scheme);
        QFETCH(ProbeOutcome, outcome);
        FakeStreamServer server(mode);
        Probe probe;
        probe.setTimeLimit(std::chrono::milliseconds(300));
        QElapsedTimer clock;
        clock.start();
        const QList<ProbeResult> results = lookUp(probe, server.entry(scheme), 1);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].outcome, outcome);
        QCOMPARE(results[0].seconds, 10.0);
        QVERIFY(clock.elapsed() < 8000); // the 300 ms limit, not the default ten seconds
    }

    // A DNS-over-HTTPS server offering no h2 by ALPN is asked over HTTP/1.1, one POST after
    // another on one kept connection, and every answer is read and timed.
    void httpsOverHttp1() {
        using tarnbell::testing::CannedHttpServer;
        CannedHttpServer server(CannedHttpServer::Mode::DnsMessages);
        QVERIFY(server.isListening());
        Probe probe;
        probe.setExtraCertificates({tarnbell::testing::TestCertificates::get().certificate});
        const QList<ProbeResult> results =
            lookUp(probe, QStringLiteral("https://127.0.0.1:%1/dns-query").arg(server.port()), 3);
        QCOMPARE(results.size(), 3);
        for (const ProbeResult& result : results) {
            QVERIFY2(result.outcome == ProbeOutcome::Answered, qPrintable(result.errorText));
            QCOMPARE(result.rcode, 0);
            QVERIFY(result.seconds > 0.0 && result.seconds < 10.0);
        }
        QCOMPARE(newConnections(results), 1);
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(server.requests().first().startsWith("POST /dns-query HTTP/1.1\r\n"));
    }

private:
    RealResolver m_resolver;
    tarnbell::testing::RealDnsServer m_nsd;
    QList<QSslCertificate> m_ca;
};

QTEST_GUILESS_MAIN(TestTransports)
#include "tst_transports.moc"
