// The harvest over HTTPS against a loopback stand-in for the search host: the bytes sent,
// the redirect followed, the names taken, the texts shown, and every way a harvest can fail
// ending it cleanly.
#include "core/harvester.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;
using tarnbell::testing::CannedHttpServer;
using tarnbell::testing::linksTo;
using tarnbell::testing::numberedHosts;
using tarnbell::testing::resultPage;
using namespace std::chrono_literals;

namespace {

const QString kNoNames = QStringLiteral(" No URLs added.");

QByteArray requestLine(const QByteArray& request) {
    return request.left(request.indexOf("\r\n"));
}

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
    void harvests_data();
    void harvests();
    void seedAndListReadWhenNeeded();
    void secondHarvestRereadsFirstReply();
    void replyOneByteAtATime();
    void failures_data();
    void failures();
    void endedMidHarvest_data();
    void endedMidHarvest();
};

// One HTTP/1.1 request per connection, which the host ends by closing.
void TestHarvester::requestBytesAndChosenCount() {
    CannedHttpServer server;
    QVERIFY(server.isListening());
    const QStringList hosts = numberedHosts(QStringLiteral("site%1.example"), 30);
    server.setPage(resultPage(hosts));

    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(server.target(), QStringLiteral("Q X&Z"), 20, {}));
    QVERIFY(!harvester.start(server.target(), QStringLiteral("QXZ"), 20, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QCOMPARE(server.requests().size(), 1);
    const QByteArray request = server.requests().constFirst();
    QCOMPARE(requestLine(request), QByteArray("GET /search?q=Q%20X%26Z&num=25 HTTP/1.1"));
    QVERIFY(request.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(server.port()) + "\r\n"));
    QVERIFY(request.contains("\r\nUser-Agent: Tarnbell/"));
    QVERIFY(request.contains("\r\nConnection: close\r\n"));
    QVERIFY(request.endsWith("\r\n\r\n"));
    QCOMPARE(watch.names.size(), 1);
    QCOMPARE(watch.added(), hosts.first(20));
    QVERIFY(!harvester.isBusy());
}

void TestHarvester::harvests_data() {
    QTest::addColumn<QList<QByteArray>>("redirects"); // "{port}" is the server's port
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QList<QByteArray>>("requestLines");

    const QByteArray first = "GET /search?q=ABC&num=6 HTTP/1.1";
    const QByteArray ok = "HTTP/1.1 200 OK\r\n\r\n";
    QTest::newRow("an address skipped")
        << QList<QByteArray>{} << resultPage({"a.example", "192.0.2.7", "b.example"})
        << QStringList{"a.example", "b.example"} << QList<QByteArray>{first};
    QTest::newRow("redirected, https links")
        << QList<QByteArray>{"https://127.0.0.1:{port}/web?q=ABC"}
        << ok + "<a href=\"https://a.example/x\"> http://b.example/ https://www.google.com/"
        << QStringList{"a.example", "b.example"}
        << QList<QByteArray>{first, "GET /web?q=ABC HTTP/1.1"};
    // A label longer than any query may carry: "+" would refuse the name, so it is skipped.
    QTest::newRow("a junk name skipped")
        << QList<QByteArray>{}
        << ok + "https://" + QByteArray(300, 'j') + ".example/ https://c.example/"
        << QStringList{"c.example"} << QList<QByteArray>{first};
    QTest::newRow("nothing found")
        << QList<QByteArray>{} << resultPage({}) << QStringList{} << QList<QByteArray>{first};
    // A link split between two chunks stays whole; the size lines are not text.
    QTest::newRow("chunked") << QList<QByteArray>{}
                             << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                           "a\r\nhttp://spl\r\nC;x=1\r\nit.example/ \r\n0\r\n\r\n")
                             << QStringList{"split.example"} << QList<QByteArray>{first};
}

// The texts in order, whatever the path to the page; the end says when nothing was added.
void TestHarvester::harvests() {
    QFETCH(QList<QByteArray>, redirects);
    QFETCH(QByteArray, page);
    QFETCH(QStringList, added);
    QFETCH(QList<QByteArray>, requestLines);
    CannedHttpServer server;
    QVERIFY(server.isListening());
    for (QByteArray& location : redirects)
        location.replace("{port}", QByteArray::number(server.port()));
    server.setRedirects(redirects);
    server.setPage(page);
    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(server.target(), QStringLiteral("ABC"), 5, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QCOMPARE(watch.added(), added);
    QList<QByteArray> lines;
    for (const QByteArray& request : server.requests())
        lines << requestLine(request);
    QCOMPARE(lines, requestLines);
    QStringList texts{"Ensuring connection is available...", "Connecting to 127.0.0.1"};
    for (qsizetype i = 1; i < requestLines.size(); ++i)
        texts << "Receiving data from 127.0.0.1"
              << "Connecting to 127.0.0.1";
    texts << "Receiving data from 127.0.0.1"
          << "Disconnecting..."
          << "Parsing google results...";
    const QString found = QStringLiteral("Found URL in results from 127.0.0.1");
    if (!added.isEmpty())
        texts << found;
    texts << "Finished parsing URLs from 127.0.0.1";
    QCOMPARE(watch.texts(), texts);
    QCOMPARE(watch.count(found), added.size());
    QCOMPARE(harvester.finishedStatus(added.size()).endsWith(kNoNames), added.isEmpty());
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
        server.target(), [&seed] { return seed; }, 20, [&domains] { return domains; }));
    seed = QStringLiteral("NEW");
    domains = QStringList{"b.example"};
    QVERIFY(watch.waitFinished());

    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(requestLine(server.requests().at(0)), "GET /search?q=NEW&num=25 HTTP/1.1");
    QCOMPARE(watch.added(), (QStringList{"a.example", "c.example"}));
}

void TestHarvester::secondHarvestRereadsFirstReply() {
    CannedHttpServer server;
    // The first reply ends in half a link that the second reply must not complete.
    server.setPage(resultPage({"a.example", "b.example", "c.example"}) + "http://half");
    Harvester harvester;
    {
        Watch first(harvester);
        QVERIFY(harvester.start(server.target(), QStringLiteral("ONE"), 20, {}));
        QVERIFY(first.waitFinished());
        QCOMPARE(first.added(), (QStringList{"a.example", "b.example", "c.example"}));
    }

    // The user deleted b.example: it comes back, first, and counts towards the two asked.
    server.setPage("HTTP/1.1 200 OK\r\n\r\n.example/ " + linksTo({"d.example", "e.example"}));
    Watch second(harvester);
    QVERIFY(harvester.start(server.target(), QStringLiteral("TWO"), 2,
                            QStringList{"a.example", "c.example"}));
    QVERIFY(second.waitFinished());
    QVERIFY(second.ok());
    QCOMPARE(second.added(), (QStringList{"b.example", "d.example"}));
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(requestLine(server.requests().at(1)), "GET /search?q=TWO&num=2 HTTP/1.1");
    // The pages' bodies only: no response head is parsed for links.
    QVERIFY(harvester.searchBuffer().startsWith("\r\n<html>"));
    QVERIFY(harvester.searchBuffer().contains("http://half\r\n.example/ <a"));
}

void TestHarvester::replyOneByteAtATime() {
    CannedHttpServer server(CannedHttpServer::Mode::OneByteAtATime);
    server.setPage("HTTP/1.1 200 OK\r\n\r\n<a href=\"http://split.example/x\">"
                   "<a href=\"https://www.Google.com/\">");
    Harvester harvester;
    Watch watch(harvester);
    QVERIFY(harvester.start(server.target(), QStringLiteral("ONE"), 20, {}));
    QVERIFY(watch.waitFinished());

    QVERIFY(watch.ok());
    QVERIFY2(watch.count(QStringLiteral("Receiving data from 127.0.0.1")) > 1,
             "the reply should arrive in several pieces");
    QCOMPARE(watch.added(), (QStringList{"split.example", "www.Google.com"}));
}

void TestHarvester::failures_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<QByteArray>>("redirects");
    QTest::addColumn<bool>("trusted"); // the host's certificate authority is known
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<QString>("status"); // the start of the last status text

    using Mode = CannedHttpServer::Mode;
    const QByteArray links = resultPage({"a.example", "b.example"});
    const QList<QByteArray> none;
    QTest::newRow("refused") << Mode::Refuse << links << none << true << 20000
                             << "Could not connect to 127.0.0.1: Connection refused.";
    // The system's authorities do not know the throwaway one.
    QTest::newRow("untrusted certificate")
        << Mode::Page << links << none << false << 20000 << "Could not connect to 127.0.0.1: ";
    QTest::newRow("never closes") << Mode::NeverClose << links << none << true << 300
                                  << "127.0.0.1 did not finish its reply in time.";
    QTest::newRow("silent") << Mode::NeverClose << QByteArray() << none << true << 300
                            << "127.0.0.1 did not finish its reply in time.";
    QTest::newRow("endless") << Mode::Endless << links << none << true << 60000
                             << "127.0.0.1 sent more than 256 KiB without finishing its reply.";
    QTest::newRow("no web page") << Mode::Page << linksTo({"a.example"}) << none << true << 20000
                                 << "127.0.0.1 did not answer with a web page.";
    QTest::newRow("error status") << Mode::Page << "HTTP/1.1 429 Too Many Requests\r\n\r\n" + links
                                  << none << true << 20000
                                  << "127.0.0.1 answered \"HTTP/1.1 429 Too Many Requests\".";
    QTest::newRow("redirected twice") << Mode::Page << links << QList<QByteArray>{"/a", "/b"}
                                      << true << 20000 << "127.0.0.1 redirected more than once.";
    QTest::newRow("redirected to plain http")
        << Mode::Page << links << QList<QByteArray>{"http://127.0.0.1/"} << true << 20000
        << "127.0.0.1 redirected to an address that is not HTTPS.";
}

// Every failure ends the harvest with a plain status, adds nothing, and leaves the
// harvester ready for the next click.
void TestHarvester::failures() {
    QFETCH(CannedHttpServer::Mode, mode);
    QFETCH(QByteArray, reply);
    QFETCH(QList<QByteArray>, redirects);
    QFETCH(bool, trusted);
    QFETCH(int, timeLimitMs);
    QFETCH(QString, status);

    CannedHttpServer server(mode);
    QVERIFY(server.isListening());
    server.setPage(reply);
    server.setRedirects(redirects);
    SearchTarget target = server.target();
    if (!trusted)
        target.caCertificates.clear();
    Harvester harvester;
    harvester.setTimeLimit(std::chrono::milliseconds(timeLimitMs));
    harvester.setBufferLimit(256 * 1024);
    Watch watch(harvester);
    QVERIFY(harvester.start(target, QStringLiteral("ABC"), 20, {}));
    QVERIFY(watch.waitFinished());

    QCOMPARE(watch.finished.size(), 1);
    QVERIFY(!watch.ok());
    QVERIFY(watch.names.isEmpty());
    const QString last = watch.status.last().at(0).toString();
    QVERIFY2(last.startsWith(status) && last.endsWith(kNoNames), qPrintable(last));
    QVERIFY(!harvester.isBusy());
    QVERIFY(harvester.searchBuffer().size() <= 256 * 1024);

    // Nothing late arrives from the failed connection, and the next harvest runs.
    QTest::qWait(50);
    QCOMPARE(watch.finished.size(), 1);
    CannedHttpServer good;
    good.setPage(resultPage({"c.example"}));
    Watch next(harvester);
    QVERIFY(harvester.start(good.target(), QStringLiteral("ABC"), 20, {}));
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
    QVERIFY(harvester->start(server.target(), QStringLiteral("ABC"), 20, {}));
    QTRY_VERIFY(watch.count(QStringLiteral("Receiving data from 127.0.0.1")) > 0);
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
