// Lookups over TCP, TLS and HTTPS beside UDP: against a real resolver (unbound) for what a
// real server answers, and against small in-process servers for what a real one will not
// do on demand (close a kept connection, stall a handshake, send half a message).

#include "core/probe.h"
#include "dns/streamframe.h"
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

// A DNS server over TCP on 127.0.0.1 that misbehaves as told. Queries are answered by
// echoing them with the QR bit set, which answers them.
class FakeStreamServer {
public:
    enum class Mode {
        Answer,           // every query
        CloseAfterAnswer, // answers, then closes the connection
        CloseUnanswered,  // closes each connection on its second query, unanswered
        Silent,           // accepts, reads, never writes (a handshake that never ends)
        HalfMessage,      // announces a message and sends a part of it
        EmptyMessage,     // announces a message of length 0
    };

    explicit FakeStreamServer(Mode mode) : m_mode(mode) {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                auto* reader = new tarnbell::dns::StreamReader;
                auto* queries = new int(0);
                QObject::connect(socket, &QObject::destroyed, [reader, queries] {
                    delete reader;
                    delete queries;
                });
                QObject::connect(
                    socket, &QTcpSocket::readyRead, socket, [this, socket, reader, queries] {
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

    QString entry(const char* scheme) const {
        return QLatin1String(scheme) + QStringLiteral("127.0.0.1:%1#%2")
                                           .arg(m_server.serverPort())
                                           .arg(QLatin1String(RealResolver::kServerName));
    }
    QString tcpEntry() const {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(m_server.serverPort());
    }

    int connections = 0;

private:
    void respond(QTcpSocket* socket, tarnbell::dns::Bytes query, int number) {
        query[2] |= 0x80;
        const tarnbell::dns::Bytes framed = tarnbell::dns::FrameForStream(query);
        const QByteArray whole(reinterpret_cast<const char*>(framed.data()),
                               static_cast<qsizetype>(framed.size()));
        switch (m_mode) {
        case Mode::Answer:
            socket->write(whole);
            break;
        case Mode::CloseAfterAnswer:
            socket->write(whole);
            socket->disconnectFromHost();
            break;
        case Mode::CloseUnanswered:
            if (number == 2)
                socket->disconnectFromHost();
            else
                socket->write(whole);
            break;
        case Mode::Silent:
            break;
        case Mode::HalfMessage:
            socket->write(whole.first(whole.size() / 2));
            break;
        case Mode::EmptyMessage:
            socket->write(QByteArray(2, '\0'));
            break;
        }
    }

    Mode m_mode;
    QTcpServer m_server;
};

QList<ProbeResult> lookUp(Probe& probe, const QString& server, int count, quint16 type = 1,
                          const QString& domain = QString::fromLatin1(RealResolver::kZone)) {
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
        TARNBELL_START_REAL_RESOLVER(m_resolver);
        m_ca = QSslCertificate::fromPath(m_resolver.caFile());
        QVERIFY(!m_ca.isEmpty());
    }

    void answersOverEveryTransport_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("replyText");
        const QString zone = QString::fromLatin1(RealResolver::kZone);
        const QString mx = QString::fromLatin1(RealResolver::kBestMxExchange);
        const std::pair<const char*, QString> transports[] = {{"UDP", m_resolver.udpEntry()},
                                                              {"TCP", m_resolver.tcpEntry()},
                                                              {"TLS", m_resolver.tlsEntry()},
                                                              {"HTTPS", m_resolver.httpsEntry()}};
        for (const auto& [name, server] : transports) {
            QTest::addRow("%s A", name) << server << 1 << zone;
            QTest::addRow("%s MX", name) << server << 15 << mx;
        }
    }
    void answersOverEveryTransport() {
        QFETCH(QString, server);
        QFETCH(int, type);
        QFETCH(QString, replyText);
        Probe probe;
        probe.setExtraCertificates(m_ca);
        const QList<ProbeResult> results = lookUp(probe, server, 1, quint16(type));
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].outcome == ProbeOutcome::Answered, qPrintable(results[0].errorText));
        QCOMPARE(results[0].rcode, 0);
        QCOMPARE(results[0].replyText, replyText);
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
        constexpr int kLookups = 5;
        Probe probe;
        probe.setExtraCertificates(m_ca);
        probe.setFreshConnections(fresh);
        const QList<ProbeResult> results = lookUp(probe, server, kLookups);
        QCOMPARE(results.size(), kLookups);
        for (const ProbeResult& result : results) {
            QVERIFY2(result.outcome == ProbeOutcome::Answered, qPrintable(result.errorText));
            QCOMPARE(result.newConnection, fresh || &result == &results.front());
            if (result.newConnection) {
                QVERIFY(result.connectSeconds > 0.0);
                // A fresh connection's lookup is timed from the connect, set-up included.
                if (fresh)
                    QVERIFY(result.seconds >= result.connectSeconds);
            }
        }
        // A new run opens its connection again, so its figures hold their own set-up.
        probe.beginRun();
        QCOMPARE(newConnections(lookUp(probe, server, 2)), fresh ? 2 : 1);
    }

    void refusesBadCertificates_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<QString>("words");
        const QString wrongName = QStringLiteral("#other.example.test");
        QTest::newRow("TLS, unknown authority")
            << m_resolver.tlsEntry() << false << "certificate not trusted: ";
        QTest::newRow("HTTPS, unknown authority")
            << m_resolver.httpsEntry() << false << "certificate not trusted: ";
        QTest::newRow("TLS, another name")
            << m_resolver.tlsEntry().replace(QStringLiteral("#resolver.example.test"), wrongName)
            << true << "name mismatch: ";
        QTest::newRow("HTTPS, address without a name in the certificate")
            << m_resolver.httpsEntry().remove(QStringLiteral("#resolver.example.test")) << true
            << "name mismatch: ";
    }
    void refusesBadCertificates() {
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

    // A server closes a kept connection: the next lookup opens another, counted; a query
    // it took with it goes again once on a new connection. Either way every lookup here
    // needs a connection of its own.
    void reopensClosedConnections_data() {
        QTest::addColumn<FakeStreamServer::Mode>("mode");
        QTest::newRow("closed after each answer") << FakeStreamServer::Mode::CloseAfterAnswer;
        QTest::newRow("closed under a query") << FakeStreamServer::Mode::CloseUnanswered;
    }
    void reopensClosedConnections() {
        QFETCH(FakeStreamServer::Mode, mode);
        constexpr int connections = 4;
        FakeStreamServer server(mode);
        Probe probe;
        const QList<ProbeResult> results = lookUp(probe, server.tcpEntry(), 4);
        QCOMPARE(results.size(), 4);
        for (const ProbeResult& result : results)
            QVERIFY2(result.outcome == ProbeOutcome::Answered, qPrintable(result.errorText));
        QCOMPARE(newConnections(results), connections);
        QCOMPARE(server.connections, connections);
    }

    // Streams that never deliver end within the limit; broken framing ends at once.
    void endsStalledStreams_data() {
        QTest::addColumn<FakeStreamServer::Mode>("mode");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<ProbeOutcome>("outcome");
        QTest::newRow("TLS handshake never finished")
            << FakeStreamServer::Mode::Silent << "tls://" << ProbeOutcome::TimedOut;
        QTest::newRow("HTTPS handshake never finished")
            << FakeStreamServer::Mode::Silent << "https://" << ProbeOutcome::TimedOut;
        QTest::newRow("half a message")
            << FakeStreamServer::Mode::HalfMessage << "tcp://" << ProbeOutcome::TimedOut;
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
        const QString entry = scheme == QStringLiteral("tcp://")
                                  ? server.tcpEntry()
                                  : server.entry(scheme.toLatin1().constData());
        QElapsedTimer clock;
        clock.start();
        const QList<ProbeResult> results = lookUp(probe, entry, 1);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].outcome, outcome);
        QCOMPARE(results[0].seconds, 10.0);
        QVERIFY(clock.elapsed() < 8000); // the 300 ms limit, not the default ten seconds
    }

private:
    RealResolver m_resolver;
    QList<QSslCertificate> m_ca;
};

QTEST_GUILESS_MAIN(TestTransports)
#include "tst_transports.moc"
