// The request, the names taken from result links, and the text kept between harvests.
#include "core/harvestparser.h"
#include "core/searchbuffer.h"
#include "core/searchtarget.h"
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
    void requestLine_data();
    void requestLine();

    void names_data();
    void names();
    void stopsAtCountAndListLimit_data();
    void stopsAtCountAndListLimit();

    void bufferJoinsPiecesAndSeparatesReplies();
    void bufferKeepsNewestTextWithinLimit();
};

void TestHarvestParser::requestLine_data() {
    QTest::addColumn<QString>("seed");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("settings"); // host and path, empty for none
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("host"); // "" for the default search host

    const QStringList none{QString(), QString()};
    // A quarter more than chosen, rounded down: 12.5 asks for 12.
    QTest::newRow("QXZ, 20") << "QXZ" << 20 << none
                             << QByteArray("GET /search?q=QXZ&num=25 HTTP/1.1") << QByteArray();
    QTest::newRow("count 10") << "ABC" << 10 << none
                              << QByteArray("GET /search?q=ABC&num=12 HTTP/1.1") << QByteArray();
    QTest::newRow("query characters encoded")
        << "a b&c=%+" << 5 << none << QByteArray("GET /search?q=a%20b%26c%3D%25%2B&num=6 HTTP/1.1")
        << QByteArray();
    QTest::newRow("non-ASCII as UTF-8")
        << QStringLiteral("caf\u00e9") << 5 << none
        << QByteArray("GET /search?q=caf%C3%A9&num=6 HTTP/1.1") << QByteArray();
    QTest::newRow("line breaks cannot add lines")
        << "x\r\nHost: evil\n"
        << 5 << none << QByteArray("GET /search?q=x%0D%0AHost%3A%20evil%0A&num=6 HTTP/1.1")
        << QByteArray();
    QTest::newRow("host and path from the settings")
        << "ABC" << 5 << QStringList{"search.example", "/find/web"}
        << QByteArray("GET /find/web?q=ABC&num=6 HTTP/1.1") << QByteArray("search.example");
    QTest::newRow("unusable settings kept out")
        << "ABC" << 5 << QStringList{"evil.example\r\nX-Injected: 1", "no-slash"}
        << QByteArray("GET /search?q=ABC&num=6 HTTP/1.1") << QByteArray();
}

// The request as the bytes a host reads: one line, one Host header, nothing a seed or a
// setting could add.
void TestHarvestParser::requestLine() {
    QFETCH(QString, seed);
    QFETCH(int, count);
    QFETCH(QStringList, settings);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, host);

    QTemporaryDir dir;
    QSettings stored(dir.filePath("tarnbell.conf"), QSettings::IniFormat);
    if (!settings.at(0).isNull())
        stored.setValue("harvest/searchHost", settings.at(0));
    if (!settings.at(1).isNull())
        stored.setValue("harvest/searchPath", settings.at(1));
    const SearchTarget target = SearchTarget::fromSettings(stored);
    const QByteArray request = searchRequest(searchUrl(target, seed, count));
    const QList<QByteArray> lines = request.split('\n');
    QCOMPARE(lines.at(0), line + '\r');
    const QByteArray expectedHost = host.isEmpty() ? SearchTarget().host.toLatin1() : host;
    QList<QByteArray> hosts;
    for (const QByteArray& header : lines)
        if (header.startsWith("Host:"))
            hosts << header;
    QCOMPARE(hosts, QList<QByteArray>{"Host: " + expectedHost + '\r'});
    QVERIFY(!request.contains("Injected"));
}

void TestHarvestParser::names_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("domains");
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    QTest::newRow("host of a link") << QByteArray("<a href=\"http://www.example.com/a/b\">") << none
                                    << QStringList{"www.example.com"};
    QTest::newRow("letters digits dot hyphen")
        << QByteArray("http://a-1.B2.example/") << none << QStringList{"a-1.B2.example"};
    QTest::newRow("link with a port") << QByteArray("http://example.com:8080/") << none << none;
    QTest::newRow("https link") << QByteArray("https://secure.example/") << none
                                << QStringList{"secure.example"};
    // Names that "+" refuses are skipped: a label beyond 255 bytes, a name beyond a query.
    QTest::newRow("over-long label")
        << "http://" + QByteArray(256, 'x') + ".example/" << none << none;
    QTest::newRow("over-long name")
        << "http://" + (QByteArray(200, 'x') + '.').repeated(21) + "example/" << none << none;
    QTest::newRow("underscore") << QByteArray("http://under_score.example/") << none << none;
    QTest::newRow("empty host") << QByteArray("http:///path") << none << none;
    QTest::newRow("four numbers") << QByteArray("http://192.0.2.1/") << none << none;
    QTest::newRow("a number above 255")
        << QByteArray("http://192.0.2.256/") << none << QStringList{"192.0.2.256"};
    QTest::newRow("google skipped")
        << QByteArray("http://www.google.com/ http://maps.google.de/") << none << none;
    QTest::newRow("Google passes")
        << QByteArray("http://www.Google.com/") << none << QStringList{"www.Google.com"};
    QTest::newRow("HTTP prefix kept")
        << QByteArray("HTTP://EXAMPLE.COM/") << none << QStringList{"HTTP:EXAMPLE.COM"};
    // The listed name is skipped; one differing in case is another name.
    QTest::newRow("duplicates are case-sensitive")
        << QByteArray("http://EXAMPLE.com/ http://example.com/") << QStringList{"example.com"}
        << QStringList{"EXAMPLE.com"};
    QTest::newRow("same host twice, page order kept")
        << QByteArray("http://b.example/x http://a.example/ http://b.example/y") << none
        << QStringList{"b.example", "a.example"};
    QTest::newRow("links back to back") << QByteArray("http://a.example/http://b.example/") << none
                                        << QStringList{"a.example", "b.example"};
    // Bytes are characters one to one: a UTF-8 Kelvin sign must not pass for a "k".
    QTest::newRow("non-ASCII never folds")
        << QByteArray("http://\xe2\x84\xaa.example/ http://\xc5\xbf.example/") << none << none;
}

void TestHarvestParser::names() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, domains);
    QFETCH(QStringList, expected);
    QCOMPARE(harvestNames(text, domains, 20), expected);
}

void TestHarvestParser::stopsAtCountAndListLimit_data() {
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("linked");
    QTest::addColumn<int>("added");

    QTest::newRow("the chosen 20 of 30") << 0 << 20 << 30 << 20;
    QTest::newRow("98 listed, one added") << 98 << 20 << 5 << 1;
    QTest::newRow("99 listed, none added") << 99 << 20 << 5 << 0;
}

void TestHarvestParser::stopsAtCountAndListLimit() {
    QFETCH(int, listed);
    QFETCH(int, count);
    QFETCH(int, linked);
    QFETCH(int, added);

    const QStringList hosts = numberedHosts(QStringLiteral("host%1.example"), linked);
    const QStringList names = harvestNames(
        linksTo(hosts), numberedHosts(QStringLiteral("listed%1.example"), listed), count);
    QCOMPARE(names, hosts.first(added));
}

void TestHarvestParser::bufferJoinsPiecesAndSeparatesReplies() {
    SearchBuffer buffer;
    buffer.startReply();
    buffer.append("<a href=\"http://spl");
    buffer.append(QByteArray());
    buffer.append("it.example/\">");
    buffer.append(" http://tail.exa");
    QCOMPARE(buffer.text(),
             QByteArrayView("\r\n<a href=\"http://split.example/\"> http://tail.exa"));

    // The next reply is a new text: its start does not complete the last one's link.
    buffer.startReply();
    buffer.append("mple/ http://next.example/");
    QCOMPARE(harvestNames(buffer.text(), {}, 20), (QStringList{"split.example", "next.example"}));
    QCOMPARE(buffer.replyBytes(), qsizetype(26));

    // A reply that brings nothing adds no separator.
    buffer.startReply();
    buffer.append(QByteArray());
    QVERIFY(buffer.text().endsWith("next.example/"));
}

void TestHarvestParser::bufferKeepsNewestTextWithinLimit() {
    SearchBuffer buffer(32);
    buffer.startReply();
    buffer.append("http://old.example/ ");
    for (int i = 0; i < 1000; ++i)
        buffer.append("y");
    buffer.append(" http://new.example/");
    QCOMPARE(buffer.text().size(), qsizetype(32));
    QVERIFY(buffer.text().endsWith(" http://new.example/"));
    QCOMPARE(buffer.replyBytes(), qsizetype(20 + 1000 + 20));
    QCOMPARE(harvestNames(buffer.text(), {}, 20), QStringList{"new.example"});

    buffer.setLimit(4);
    QCOMPARE(buffer.text(), QByteArrayView("ple/"));
    QCOMPARE(harvestNames(buffer.text(), {}, 20), QStringList());
}

QTEST_APPLESS_MAIN(TestHarvestParser)
#include "tst_harvestparser.moc"
