// The harvest over TCP against a loopback stand-in for the search host: the bytes sent,
// the names taken, the texts shown, and every way a harvest can fail ending it cleanly.
#include "core/harvester.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;
using tarnbell::testing::CannedHttpServer;
using tarnbell::testing::numberedHosts;
using tarnbell::testing::resultPage;
using namespace std::chrono_literals;

namespace {

const QString Loopback = QStringLiteral("127.0.0.1");

// One harvest watched from start to end.
struct Watch {
    explicit Watch(Harvester& harvester)
        : status(&harvester, &Harvester::statusChanged),
          names(&harvester, &Harvester::namesHarvested),
          finished(&harvester, &Harvester::finished) {}
    bool waitFinished() { return finished.size() > 0 || finished.wait(20000); }
    bool ok() const { return finished.size() == 1 && finished.at(0).at(0).toBool(); }
    QStringList added() const {
        return names.isEmpty() ? QStringList() : names.at(0).at(0).toStringList();
    }
    // The status texts in order, a run of equal texts shown once.
    QStringList texts() const {
        QStringList shown;
        for (const QList<QVariant>& args : status) {
            const QString text = args.at(0).toString();
            if (shown.isEmpty() || shown.last() != text)
                shown.append(text);
        }
        return shown;
    }
    int count(const QString& text) const {
        int n = 0;
        for (const QList<QVariant>& args : status)
            n += args.at(0).toString() == text;
        return n;
    }

    QSignalSpy status;
    QSignalSpy names;
    QSignalSpy finished;
};

} // namespace

class TestHarvester final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestBytesAndChosenCount();
    void statusTextsInOrder();
    void seedAndListReadWhenNeeded();
    void secondHarvestRereadsFirstReply();
    void replyOneByteAtATime();
    void failures_data();
    void failures();
    void endedMidHarvest_data();
    void endedMidHarvest();
};

void TestHarvester::requestBytesAndChosenCount() {
    CannedHttpServer server;
    QVERIFY(server.isListening());
    const QStringList hosts = numberedHosts(QStringLiteral("site%1.example"), 30);
    server.setPage(resultPage(hosts));

    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("QXZ"), 20, {}));
    QVERIFY(!harvester.start(Loopback, server.port(), QStringLiteral("QXZ"), 20, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QCOMPARE(server.requests(), QList<QByteArray>{"GET /search?q=QXZ&num=25\r\n"});
    QCOMPARE(watch.names.size(), 1);
    QCOMPARE(watch.added(), hosts.first(20));
    QVERIFY(!harvester.isBusy());
}

void TestHarvester::statusTextsInOrder() {
    CannedHttpServer server;
    server.setPage(resultPage({"a.example", "192.0.2.7", "b.example"}));
    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("ABC"), 5, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QCOMPARE(watch.added(), (QStringList{"a.example", "b.example"}));
    const QString found = QStringLiteral("Found URL in results from www.google.com");
    QCOMPARE(watch.texts(),
             (QStringList{"Ensuring connection is available...", "Connecting to www.google.com",
                          "Receiving data from www.google.com", "Disconnecting...",
                          "Parsing google results...", found,
                          "Finished parsing URLs from www.google.com"}));
    QCOMPARE(watch.count(found), 2);
    QCOMPARE(
        Harvester::finishedStatus(),
        QStringLiteral(
            "Finished retrieving URLs from www.google.com and randomised domain search seed."));
}

// The seed box may be reseeded while connecting, and the list edited while receiving.
void TestHarvester::seedAndListReadWhenNeeded() {
    CannedHttpServer server;
    server.setPage(resultPage({"a.example", "b.example", "c.example"}));
    Harvester harvester;
    Watch watch(harvester);
    QString seed = QStringLiteral("OLD");
    QStringList domains;
    QVERIFY(harvester.start(
        Loopback, server.port(), [&seed] { return seed; }, 20, [&domains] { return domains; }));
    seed = QStringLiteral("NEW");
    domains = QStringList{"b.example"};
    QVERIFY(watch.waitFinished());

    QCOMPARE(server.requests(), QList<QByteArray>{"GET /search?q=NEW&num=25\r\n"});
    QCOMPARE(watch.added(), (QStringList{"a.example", "c.example"}));
}

void TestHarvester::secondHarvestRereadsFirstReply() {
    CannedHttpServer server;
    // The first reply ends in half a link that the second reply must not complete.
    server.setPage(resultPage({"a.example", "b.example", "c.example"}) + "http://half");
    Harvester harvester;
    {
        Watch first(harvester);
        QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("ONE"), 20, {}));
        QVERIFY(first.waitFinished());
        QCOMPARE(first.added(), (QStringList{"a.example", "b.example", "c.example"}));
    }

    // The user deleted b.example: it comes back, first, and counts towards the two asked.
    server.setPage(".example/ " + resultPage({"d.example", "e.example"}));
    Watch second(harvester);
    QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("TWO"), 2,
                            QStringList{"a.example", "c.example"}));
    QVERIFY(second.waitFinished());
    QVERIFY(second.ok());
    QCOMPARE(second.added(), (QStringList{"b.example", "d.example"}));
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().at(1), QByteArray("GET /search?q=TWO&num=2\r\n"));
    QVERIFY(harvester.searchBuffer().startsWith("\r\nHTTP/1.0 200 OK"));
    QVERIFY(harvester.searchBuffer().contains("http://half\r\n.example/ HTTP/1.0"));
}

void TestHarvester::replyOneByteAtATime() {
    CannedHttpServer server(CannedHttpServer::Mode::OneByteAtATime);
    server.setPage("<a href=\"http://split.example/x\"><a href=\"http://www.Google.com/\">");
    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("ONE"), 20, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QVERIFY2(watch.count(QStringLiteral("Receiving data from www.google.com")) > 1,
             "the reply should arrive in several pieces");
    QCOMPARE(watch.added(), (QStringList{"split.example", "www.Google.com"}));
}

void TestHarvester::failures_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<QString>("status");

    const QByteArray links = resultPage({"a.example", "b.example"});
    QTest::newRow("refused") << CannedHttpServer::Mode::Refuse << links << 20000
                             << "Could not connect to www.google.com: Connection refused. No URLs "
                                "added.";
    QTest::newRow("never closes") << CannedHttpServer::Mode::NeverClose << links << 300
                                  << "www.google.com did not finish its reply in time. No URLs "
                                     "added.";
    QTest::newRow("silent") << CannedHttpServer::Mode::NeverClose << QByteArray() << 300
                            << "www.google.com did not finish its reply in time. No URLs added.";
    QTest::newRow("endless") << CannedHttpServer::Mode::Endless << links << 60000
                             << "www.google.com sent more than 256 KiB without finishing its "
                                "reply. No URLs added.";
}

// Every failure ends the harvest with a plain status, adds nothing, and leaves the
// harvester ready for the next click.
void TestHarvester::failures() {
    QFETCH(CannedHttpServer::Mode, mode);
    QFETCH(QByteArray, reply);
    QFETCH(int, timeLimitMs);
    QFETCH(QString, status);

    CannedHttpServer server(mode);
    QVERIFY(server.isListening());
    server.setPage(reply);
    Harvester harvester;
    harvester.setTimeLimit(std::chrono::milliseconds(timeLimitMs));
    harvester.setBufferLimit(256 * 1024);
    Watch watch(harvester);
    QVERIFY(harvester.start(Loopback, server.port(), QStringLiteral("ABC"), 20, {}));
    QVERIFY(watch.waitFinished());

    QCOMPARE(watch.finished.size(), 1);
    QVERIFY(!watch.ok());
    QVERIFY(watch.names.isEmpty());
    QCOMPARE(watch.status.last().at(0).toString(), status);
    QVERIFY(!harvester.isBusy());
    QVERIFY(harvester.searchBuffer().size() <= 256 * 1024);

    // Nothing late arrives from the failed connection, and the next harvest runs.
    QTest::qWait(50);
    QCOMPARE(watch.finished.size(), 1);
    CannedHttpServer good;
    good.setPage(resultPage({"c.example"}));
    Watch next(harvester);
    QVERIFY(harvester.start(Loopback, good.port(), QStringLiteral("ABC"), 20, {}));
    QVERIFY(next.waitFinished());
    QVERIFY(next.ok());
    QVERIFY(next.added().contains(QStringLiteral("c.example")));
}

void TestHarvester::endedMidHarvest_data() {
    QTest::addColumn<bool>("destroy");
    QTest::newRow("destroyed") << true;
    QTest::newRow("aborted") << false;
}

// Gone or aborted, a harvest under way says nothing more, even past its time limit.
void TestHarvester::endedMidHarvest() {
    QFETCH(bool, destroy);
    CannedHttpServer server(CannedHttpServer::Mode::NeverClose);
    server.setPage(resultPage({"a.example"}));
    auto harvester = std::make_unique<Harvester>();
    harvester->setTimeLimit(500ms);
    Watch watch(*harvester);
    QVERIFY(harvester->start(Loopback, server.port(), QStringLiteral("ABC"), 20, {}));
    QTRY_VERIFY(watch.count(QStringLiteral("Receiving data from www.google.com")) > 0);
    const qsizetype texts = watch.status.size();
    if (destroy)
        harvester.reset();
    else
        harvester->abort();
    QTest::qWait(600);
    QVERIFY(watch.finished.isEmpty());
    QVERIFY(watch.names.isEmpty());
    QCOMPARE(watch.status.size(), texts);
    if (!destroy)
        QVERIFY(!harvester->isBusy());
}

QTEST_GUILESS_MAIN(TestHarvester)
#include "tst_harvester.moc"
