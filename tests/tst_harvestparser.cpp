// The harvest request, the names taken from result links (bare addresses dropped), what a
// page without any was, and the text kept between harvests.
#include "core/harvest/harvestparser.h"
#include "core/harvest/modvalidation.h"
#include "core/harvest/resultpagecheck.h"
#include "core/harvest/searchbuffer.h"
#include "core/harvest/searchtarget.h"
#include "fixtures/resultpages.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnbell::core;
using tarnbell::testing::linksTo;
using tarnbell::testing::numberedHosts;

class TestHarvestParser final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestLine_data() {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QStringList>("settings"); // host and path
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("host"); // "" for the default search host
        const QStringList none{QString(), QString()};
        // A quarter more than the 10 chosen, rounded down.
        QTest::newRow("encoded as UTF-8, line breaks too")
            << QStringLiteral("a b&c=%+\u00e9\r\nHost: evil") << none
            << QByteArray(
                   "GET /search?q=a%20b%26c%3D%25%2B%C3%A9%0D%0AHost%3A%20evil&num=12 HTTP/1.1")
            << QByteArray();
        QTest::newRow("host and path from the settings")
            << "ABC" << QStringList{"search.example", "/find/web"}
            << QByteArray("GET /find/web?q=ABC&num=12 HTTP/1.1") << QByteArray("search.example");
        QTest::newRow("unusable settings kept out")
            << "ABC" << QStringList{"evil.example\r\nX-Injected: 1", "no-slash"}
            << QByteArray("GET /search?q=ABC&num=12 HTTP/1.1") << QByteArray();
    }
    // One request line and one Host header, nothing a seed or a setting could add.
    void requestLine() {
        QFETCH(QString, seed);
        QFETCH(QStringList, settings);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, host);
        QTemporaryDir dir;
        QSettings stored(dir.filePath("tarnbell.conf"), QSettings::IniFormat);
        if (!settings.at(0).isNull()) {
            stored.setValue("harvest/searchHost", settings.at(0));
            stored.setValue("harvest/searchPath", settings.at(1));
        }
        const QByteArray request =
            searchRequest(searchUrl(SearchTarget::fromSettings(stored), seed, 10));
        const QList<QByteArray> lines = request.split('\n');
        QCOMPARE(lines.at(0), line + '\r');
        const QByteArray expectedHost = host.isEmpty() ? SearchTarget().host.toLatin1() : host;
        QCOMPARE(std::count_if(lines.cbegin(), lines.cend(),
                               [](const QByteArray& l) { return l.startsWith("Host:"); }),
                 1);
        QVERIFY(lines.contains("Host: " + expectedHost + '\r'));
        QVERIFY(!request.contains("Injected"));
    }

    void names_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("domains");
        QTest::addColumn<QStringList>("expected");
        const QStringList none;
        QTest::newRow("hosts of http and https links, page order, once each")
            << QByteArray(
                   "<a href=\"http://a-1.B2.example/a\">https://s.example/http://a-1.B2.example/")
            << none << QStringList{"a-1.B2.example", "s.example"};
        QTest::newRow("port, underscore, empty host")
            << QByteArray("http://example.com:8080/ http://under_score.example/ http:///p") << none
            << none;
        // Names a query cannot carry are skipped: a label beyond 255 bytes, a long name.
        QTest::newRow("over-long label or name")
            << "http://" + QByteArray(256, 'x') + ".example/ http://" +
                   (QByteArray(200, 'x') + '.').repeated(21) + "example/"
            << none << none;
        QTest::newRow("bare address skipped, a number above 255 is a name")
            << QByteArray("http://192.0.2.1/ http://192.0.2.256/") << none
            << QStringList{"192.0.2.256"};
        QTest::newRow("google skipped, Google passes")
            << QByteArray("http://www.google.com/ http://maps.google.de/ http://www.Google.com/")
            << none << QStringList{"www.Google.com"};
        QTest::newRow("listed names skipped, case-sensitive")
            << QByteArray("http://EXAMPLE.com/ http://example.com/") << QStringList{"example.com"}
            << QStringList{"EXAMPLE.com"};
        // Bytes are characters one to one: a UTF-8 Kelvin sign must not pass for a "k".
        QTest::newRow("non-ASCII never folds")
            << QByteArray("http://\xe2\x84\xaa.example/ http://\xc5\xbf.example/") << none << none;
    }
    void names() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, domains);
        QTEST(harvestNames(text, domains, 20), "expected");
    }

    void stopsAtCountAndListLimit_data() {
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("added"); // of 30 links, 20 asked for
        QTest::newRow("the chosen 20 of 30") << 0 << 20;
        QTest::newRow("98 listed, one added") << 98 << 1;
        QTest::newRow("99 listed, none added") << 99 << 0;
    }
    void stopsAtCountAndListLimit() {
        QFETCH(int, listed);
        QFETCH(int, added);
        const QStringList hosts = numberedHosts(QStringLiteral("host%1.example"), 30);
        QCOMPARE(harvestNames(linksTo(hosts), numberedHosts("listed%1.example", listed), 20),
                 hosts.first(added));
    }

    void pageKind_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ResultPageKind>("kind");
        using enum ResultPageKind;
        QTest::newRow("noscript beside a result link")
            << QByteArray("<noscript>on</noscript> http://a.example/") << Results;
        QTest::newRow("asked in words, an address link only")
            << QByteArray("Please enable&nbsp;JavaScript\n http://192.0.2.1/") << AsksForJavaScript;
        QTest::newRow("JavaScript named, not asked for")
            << QByteArray("<noscripts> JavaScript is fun") << NoResultLinks;
    }
    // A page with a link to take is a results page whatever else it holds; one without is
    // told by whether it asks for JavaScript.
    void pageKind() {
        QFETCH(QByteArray, body);
        QTEST(ClassifyResultPage(body), "kind");
    }

    // Pieces join; a new reply starts a new text; the newest text is kept within the limit.
    void searchBuffer() {
        SearchBuffer buffer(128);
        buffer.startReply();
        buffer.append("<a href=\"http://spl");
        buffer.append("it.example/\"> http://tail.exa");
        buffer.startReply();
        buffer.append("mple/ http://next.example/");
        QCOMPARE(harvestNames(buffer.text(), {}, 20),
                 (QStringList{"split.example", "next.example"}));
        buffer.append(QByteArray(100, 'y') + " http://new.example/");
        QCOMPARE(buffer.text().size(), qsizetype(128));
        QCOMPARE(buffer.replyBytes(), qsizetype(26 + 100 + 20));
        QCOMPARE(harvestNames(buffer.text(), {}, 20), QStringList{"new.example"});
        buffer.setLimit(4);
        QCOMPARE(buffer.text(), QByteArrayView("ple/"));
    }

    void isIPAddress_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("expected");
        // Four parts, each a number 0..255 as it would be typed.
        QTest::newRow("leading zeros") << "00000000000000000000001.2.3.4" << true;
        QTest::newRow("signs and blanks") << " -0.+2.3 .4\t" << true;
        QTest::newRow("part above 255") << "1.1.1.256" << false;
        QTest::newRow("three parts") << "1.2.3" << false;
        QTest::newRow("trailing dot") << "1.2.3.4." << false;
        QTest::newRow("blank inside a number") << "1 0.2.3.4" << false;
        QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11.2.3.4") << false;
    }
    void isIPAddress() {
        QFETCH(QString, host);
        QTEST(IsIPAddress(host), "expected");
    }
};

QTEST_APPLESS_MAIN(TestHarvestParser)
#include "tst_harvestparser.moc"
