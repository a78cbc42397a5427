// The probe against a real DNS server (NSD) on loopback: what it reads from real replies.

#include "core/probe.h"
#include "fixtures/realdnsserver.h"

#include <QSignalSpy>
#include <QTest>

using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::testing::RealDnsServer;

class TestProbeIntegration final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TARNBELL_START_REAL_DNS_SERVER(m_server); }

    void readsRealReplies_data() {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("replyText");
        const QString zone = QString::fromLatin1(RealDnsServer::kZone);
        QTest::newRow("MX: the best exchange, not the first record")
            << zone << 15 << QString::fromLatin1(RealDnsServer::kBestMxExchange);
        QTest::newRow("A: the question echo") << zone << 1 << zone;
        QTest::newRow("SOA: the question echo") << zone << 6 << zone;
        QTest::newRow("case kept as asked") << "WWW.Example.TEST" << 1 << "WWW.Example.TEST";
        QTest::newRow("MX of a name without one") << "www.example.test" << 15 << "";
        QTest::newRow("NXDOMAIN is an answer")
            << "nothing.example.test" << 1 << "nothing.example.test";
        QTest::newRow("REFUSED outside the zone is an answer")
            << "example.org" << 1 << "example.org";
    }
    void readsRealReplies() {
        QFETCH(QString, domain);
        QFETCH(int, type);
        QFETCH(QString, replyText);
        QSignalSpy spy(&m_probe, &Probe::finished);
        m_probe.MX_Query_Speed(m_server.serverText(), domain, quint16(type));
        QVERIFY(spy.wait(15000));
        const auto result = spy.at(0).at(0).value<ProbeResult>();
        QCOMPARE(result.outcome, ProbeOutcome::Answered);
        QCOMPARE(result.replyText, replyText);
        QVERIFY(result.seconds > 0.0 && result.seconds < 10.0);
    }

private:
    RealDnsServer m_server;
    Probe m_probe;
};

QTEST_GUILESS_MAIN(TestProbeIntegration)
#include "tst_probe_integration.moc"
