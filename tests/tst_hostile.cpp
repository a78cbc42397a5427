// tarnbell-cli against servers that misbehave on purpose, each listed after a good one: the
// program ends by itself within its time limit and in modest memory, the good server's
// lookups are answered, and the hostile server's end as they should.

#include "fixtures/fakeresponder.h"
#include "fixtures/hostileserver.h"
#include "fixtures/measuredrun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnbell::testing;
using Mode = HostileServer::Mode;

class TestHostile final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostileServer_data();
    void hostileServer();
};

// Where the server answers, 300 ms late, each lookup takes its own answer (so no less than
// 0.25 s): never the copy sent 100 ms after the previous lookup's, another question's, or an
// interim response.
void TestHostile::hostileServer_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("outcome"); // each of the hostile server's two lookups
    QTest::addColumn<QString>("error");   // words within each one's error
    const QString overrun = "the server sent more than one answer's worth of data";
    QTest::newRow("SETTINGS flood") << Mode::SettingsFlood << "socket_error" << overrun;
    QTest::newRow("DATA flood") << Mode::DataFlood << "socket_error" << overrun;
    QTest::newRow("TLS junk") << Mode::JunkStream << "socket_error" << overrun;
    QTest::newRow("UDP answered twice") << Mode::DuplicateUdp << "answered" << QString();
    QTest::newRow("unsolicited first") << Mode::UnsolicitedHttp1 << "answered" << QString();
    QTest::newRow("100 Continue first") << Mode::Continue100 << "answered" << QString();
    QTest::newRow("UDP port closed")
        << Mode::ClosedPort << "unreachable" << QStringLiteral("port unreachable");
}

void TestHostile::hostileServer() {
    QFETCH(Mode, mode);
    QFETCH(QString, outcome);
    QFETCH(QString, error);
    const ResponderThread goodResponder;
    const QString good = goodResponder.responder().serverText();
    const HostileServer hostile(mode);
    QTemporaryDir dir;
    const MeasuredRun run =
        runMeasured(TARNBELL_CLI_PATH, {"--server", good, "--server", hostile.entry(), "--domain",
                                        "example.test", "--domain", "example.test", "--type", "A",
                                        "--timeout", "2", "--ca-file", hostile.caFile(), "--json",
                                        dir.filePath("run.json"), "--quiet", "-o", "/dev/null"});
    // Two lookups of at most 2 s each, and a margin; ICMP port unreachable ends them at once.
    const double maxWall = mode == Mode::ClosedPort ? 1.5 : 2 * 2.0 + 1.5;
    QVERIFY2(run.exitCode == 0 && run.wallSeconds < maxWall, qPrintable(run.summary()));
#ifndef TARNBELL_SANITIZED
    QVERIFY2(run.peakRssKiB < 100 * 1024, qPrintable(run.summary()));
#endif
    QFile json(dir.filePath("run.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    QByteArray seen;
    int goodAnswered = 0;
    int hostileAsExpected = 0;
    for (const QJsonValue& lookup : QJsonDocument::fromJson(json.readAll())["lookups"].toArray()) {
        seen += QJsonDocument(lookup.toObject()).toJson(QJsonDocument::Compact) + '\n';
        if (lookup["server"] == good)
            goodAnswered += lookup["outcome"] == "answered";
        else
            hostileAsExpected += lookup["server"] == hostile.entry() &&
                                 lookup["outcome"] == outcome &&
                                 lookup["error"].toString().contains(error) &&
                                 (outcome != "answered" || lookup["seconds"].toDouble() >= 0.25);
    }
    QVERIFY2(goodAnswered == 2 && hostileAsExpected == 2, seen.constData());
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
