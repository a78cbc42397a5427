// tarnbell-cli --checks --discover in one run against real servers on loopback: unbound
// validating a zone signed at start, in which one name's signature is broken; unbound
// iterating and keeping private addresses out; a responder on UDP only that makes every name
// up; and unbound designating its own encrypted endpoints, with and without its address in
// their certificate. One table per check reads each server's verdict from the JSON.

#include "fixtures/realresolver.h"
#include "fixtures/recursiveresolver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tarnbell::testing;

class TestChecks final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void nxdomain_data() {
        rows({{"validating", "pass: honest", "NXDOMAIN, NXDOMAIN"},
              {"forger", "fail: redirects", "answered with 192.0.2.99"}});
    }
    void nxdomain() { compare("nxdomain"); }
    void dnssec_data() {
        rows({{"validating", "pass: validates", "NOERROR with AD; broken name: SERVFAIL"},
              {"filtering", "fail: does not validate", "NOERROR; broken name: NOERROR"}});
    }
    void dnssec() { compare("dnssec"); }
    void rebinding_data() {
        rows({{"validating", "fail: lets private answers through", "answered with 10.1.2.3"},
              {"filtering", "pass: filters private answers", "NOERROR without it"},
              {"forger", "unknown: unknown", "answered with 192.0.2.99"}});
    }
    void rebinding() { compare("rebinding"); }
    void tcp_data() {
        rows({{"filtering", "pass: answers over TCP", "answered NOERROR"},
              {"forger", "fail: no answer over TCP", "refused"}});
    }
    void tcp() { compare("tcp"); }
    void edns_data() {
        rows({{"validating", "pass: answers EDNS", "EDNS version 0"},
              {"forger", "fail: no EDNS", "without an OPT record"}});
    }
    void edns() { compare("edns"); }
    void nsid_data() { rows({{"verifiable", "tb-resolver", ""}, {"validating", "", ""}}); }
    void nsid() { compare("nsid"); }
    void discovery_data() {
        rows({{"verifiable", "pass: verified", "the certificate covers 127.0.0.1"},
              {"unverifiable", "fail: unverified", "the certificate does not cover 127.0.0.1"}});
    }
    void discovery();

private:
    struct Row {
        const char *server, *outcome, *evidence; // evidence: a part of it
    };
    static void rows(std::initializer_list<Row> rows);
    void compare(const char* check) const;

    RecursiveResolver m_validating{RecursiveResolver::Mode::Validating};
    RecursiveResolver m_filtering{RecursiveResolver::Mode::Iterating, true};
    ResponderThread m_forger{{FakeResponder::Reply::Custom, {}, FakeResponder::forgedAnswer}};
    RealResolver m_verifiable{true};
    RealResolver m_unverifiable;
    QHash<QString, QJsonObject> m_servers; // by the entry's label, or the entry without one
};

void TestChecks::initTestCase() {
    TARNBELL_START_SERVER(m_validating);
    TARNBELL_START_SERVER(m_filtering);
    TARNBELL_START_SERVER(m_verifiable);
    TARNBELL_START_SERVER(m_unverifiable);
    QVERIFY(m_forger.responder().isListening());
    QStringList args = QStringLiteral("--checks --discover --quiet --json - --timeout 5 "
                                      "--domain www.zone.tbtest --domain example.test "
                                      "--dnssec-names www.zone.tbtest,bad.zone.tbtest "
                                      "--rebind-name rebind.tbtest")
                           .split(' ');
    args << "--ca-file" << m_verifiable.caFile() << "--ca-file" << m_unverifiable.caFile();
    for (const QString& server :
         {m_validating.serverText() + " - validating", m_filtering.serverText() + " - filtering",
          m_forger.responder().serverText() + " - forger",
          m_verifiable.udpEntry() + " - verifiable", m_unverifiable.udpEntry() + " - unverifiable"})
        args << "--server" << server;
    QProcess cli;
    cli.start(TARNBELL_CLI_PATH, args);
    QVERIFY(cli.waitForFinished(120000));
    const QJsonDocument report = QJsonDocument::fromJson(cli.readAllStandardOutput());
    for (const QJsonValue server : report["servers"].toArray())
        m_servers.insert(server["server"].toString().section(" - ", -1), server.toObject());
}

void TestChecks::rows(std::initializer_list<Row> rows) {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("evidence");
    for (const Row& row : rows)
        QTest::newRow(row.server) << QString(row.server) << QString(row.outcome)
                                  << QString(row.evidence);
}

// A verdict and its words, or the check's text (the NSID).
void TestChecks::compare(const char* check) const {
    QFETCH(QString, server);
    QFETCH(QString, outcome);
    QFETCH(QString, evidence);
    const QJsonValue seen = m_servers.value(server).value("checks")[QLatin1String(check)];
    QCOMPARE(seen.isObject() ? seen["verdict"].toString() + ": " + seen["words"].toString()
                             : seen.toString(),
             outcome);
    QVERIFY2(seen["evidence"].toString().contains(evidence),
             qPrintable(seen["evidence"].toString()));
}

// The resolver's endpoints, in the order of their records' priority, each verified or not in
// the words of the row's evidence; discovered, they joined the run.
void TestChecks::discovery() {
    QFETCH(QString, server);
    QFETCH(QString, outcome);
    QFETCH(QString, evidence);
    const QJsonValue seen = m_servers.value(server).value("checks")["discovery"];
    QCOMPARE(seen["verdict"].toString() + ": " + seen["words"].toString(), outcome);
    const RealResolver& resolver = server == "verifiable" ? m_verifiable : m_unverifiable;
    QStringList entries;
    for (const QJsonValue endpoint : seen["endpoints"].toArray()) {
        entries << endpoint["entry"].toString();
        QCOMPARE(endpoint["verification"].toString(), evidence);
        QCOMPARE(m_servers.value(entries.last())["answered"].toInt(), 1); // the name it serves
    }
    QCOMPARE(entries, QStringList({resolver.tlsEntry(), resolver.httpsEntry()}));
}

QTEST_GUILESS_MAIN(TestChecks)
#include "tst_checks.moc"
