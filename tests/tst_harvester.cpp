// The harvest over HTTPS against a loopback stand-in for the search host: the bytes sent,
// the redirect followed, the names taken, and every way a harvest can fail ending it cleanly.
#include "core/harvest/harvester.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;
using tarnbell::testing::CannedHttpServer;
using tarnbell::testing::linksTo;
using tarnbell::testing::resultPage;
using Mode = CannedHttpServer::Mode;

namespace {

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

    QSignalSpy status;
    QSignalSpy names;
    QSignalSpy finished;
};

} // namespace

class TestHarvester final : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void harvests_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QList<QByteArray>>("redirects"); // "{port}" is the server's port
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QList<QByteArray>>("requestLines");

        const QByteArray first = "GET /search?q=ABC&num=6 HTTP/1.1";
        const QByteArray ok = "HTTP/1.1 200 OK\r\n\r\n";
        QTest::newRow("redirected, https links")
            << Mode::Page << QList<QByteArray>{"https://127.0.0.1:{port}/web?q=ABC"}
            << ok + "<a href=\"https://a.example/x\"> http://b.example/ https://www.google.com/"
            << QStringList{"a.example", "b.example"}
            << QList<QByteArray>{first, "GET /web?q=ABC HTTP/1.1"};
        // A link split between two chunks stays whole; the size lines are not text.
        QTest::newRow("chunked") << Mode::Page << QList<QByteArray>{}
                                 << QByteArray(
                                        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                        "a\r\nhttp://spl\r\nC;x=1\r\nit.example/ \r\n0\r\n\r\n")
                                 << QStringList{"split.example"} << QList<QByteArray>{first};
        QTest::newRow("one byte at a time")
            << Mode::OneByteAtATime << QList<QByteArray>{}
            << ok + "<a href=\"http://split.example/x\"><a href=\"https://www.Google.com/\">"
            << QStringList{"split.example", "www.Google.com"} << QList<QByteArray>{first};
    }

    void harvests() {
        QFETCH(Mode, mode);
        QFETCH(QList<QByteArray>, redirects);
        QFETCH(QByteArray, page);
        QFETCH(QList<QByteArray>, requestLines);
        CannedHttpServer server(mode);
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
        QTEST(watch.added(), "added");
        QVERIFY(watch.status.contains({QStringLiteral("Parsing 127.0.0.1 results...")}));
        QList<QByteArray> lines;
        for (const QByteArray& request : server.requests()) {
            lines << requestLine(request);
            // The server's own port, which is not 443, belongs in the Host header.
            QVERIFY(request.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(server.port())));
        }
        QCOMPARE(lines, requestLines);
    }

    void failures_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<QByteArray>>("redirects");
        QTest::addColumn<bool>("trusted"); // the host's certificate authority is known
        QTest::addColumn<int>("timeLimitMs");
        QTest::addColumn<QString>("status"); // part of the last status text

        const QByteArray links = resultPage({"a.example", "b.example"});
        const QList<QByteArray> none;
        QTest::newRow("refused") << Mode::Refuse << links << none << true << 20000
                                 << "Connection refused";
        // The system's authorities do not know the throwaway one.
        QTest::newRow("untrusted certificate")
            << Mode::Page << links << none << false << 20000 << "Could not connect";
        QTest::newRow("never closes") << Mode::NeverClose << links << none << true << 300
                                      << "did not finish its reply in time";
        QTest::newRow("endless") << Mode::Endless << links << none << true << 60000 << "256 KiB";
        QTest::newRow("no web page") << Mode::Page << linksTo({"a.example"}) << none << true
                                     << 20000 << "did not answer with a web page";
        // The search host names itself and says why nothing came of its page.
        QTest::newRow("asks for JavaScript")
            << Mode::Page
            << resultPage({}).replace("<html>", "<html><noscript><meta http-equiv=\"refresh\" "
                                                "content=\"0;url=/enablejs\"></noscript>")
            << none << true << 20000
            << "127.0.0.1 answered with a page that asks for JavaScript instead of search "
               "results. No URLs added.";
        QTest::newRow("Content-Length 0: no links read")
            << Mode::Page << "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n" + linksTo({"a.example"})
            << none << true << 20000
            << "127.0.0.1 answered with a page without result links. No URLs added.";
        QTest::newRow("error status")
            << Mode::Page << "HTTP/1.1 429 Too Many Requests\r\n\r\n" + links << none << true
            << 20000 << "429 Too Many Requests";
        QTest::newRow("redirected twice") << Mode::Page << links << QList<QByteArray>{"/a", "/b"}
                                          << true << 20000 << "redirected more than once";
        QTest::newRow("redirected to plain http")
            << Mode::Page << links << QList<QByteArray>{"http://127.0.0.1/"} << true << 20000
            << "not HTTPS";
    }

    // Every failure ends the harvest with a plain status and adds nothing.
    void failures() {
        QFETCH(Mode, mode);
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

        QVERIFY(!watch.ok());
        QVERIFY(watch.names.isEmpty());
        const QString last = watch.status.last().at(0).toString();
        QVERIFY2(last.contains(status), qPrintable(last));
        QVERIFY(!harvester.isBusy());
        QVERIFY(harvester.searchBuffer().size() <= 256 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestHarvester)
#include "tst_harvester.moc"
