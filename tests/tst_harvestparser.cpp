// The request line, the names taken from result links, and the text kept between harvests.
#include "core/harvestparser.h"
#include "core/searchbuffer.h"
#include "fixtures/resultpages.h"

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
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("QXZ, 20") << "QXZ" << 20 << QByteArray("GET /search?q=QXZ&num=25\r\n");
    const int counts[] = {5, 10, 15, 20, 25, 30, 35, 40, 45, 50};
    const int sent[] = {6, 12, 18, 25, 31, 37, 43, 50, 56, 62};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("count %d", counts[i])
            << "ABC" << counts[i]
            << "GET /search?q=ABC&num=" + QByteArray::number(sent[i]) + "\r\n";
    QTest::newRow("as typed, unescaped")
        << "a b&c=%" << 5 << QByteArray("GET /search?q=a b&c=%&num=6\r\n");
    QTest::newRow("empty seed") << "" << 5 << QByteArray("GET /search?q=&num=6\r\n");
    QTest::newRow("latin-1 byte") << QStringLiteral("caf\u00e9") << 5
                                  << QByteArray("GET /search?q=caf\xe9&num=6\r\n");
    QTest::newRow("beyond latin-1")
        << QStringLiteral("\u20ac") << 5 << QByteArray("GET /search?q=?&num=6\r\n");
    QTest::newRow("line breaks cannot add lines")
        << "x\r\nHost: evil\n"
        << 5 << QByteArray("GET /search?q=xHost: evil&num=6\r\n");
}

void TestHarvestParser::requestLine() {
    QFETCH(QString, seed);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    QCOMPARE(searchRequestLine(seed, count), expected);
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
    QTest::newRow("https link") << QByteArray("https://secure.example/") << none << none;
    QTest::newRow("ftp link") << QByteArray("ftp://files.example/") << none << none;
    QTest::newRow("no closing slash") << QByteArray("http://example.com\"") << none << none;
    QTest::newRow("underscore") << QByteArray("http://under_score.example/") << none << none;
    QTest::newRow("empty host") << QByteArray("http:///path") << none << none;
    QTest::newRow("four numbers") << QByteArray("http://192.0.2.1/") << none << none;
    QTest::newRow("a number above 255")
        << QByteArray("http://192.0.2.256/") << none << QStringList{"192.0.2.256"};
    QTest::newRow("three numbers") << QByteArray("http://10.0.1/") << none << QStringList{"10.0.1"};
    QTest::newRow("google skipped")
        << QByteArray("http://www.google.com/ http://maps.google.de/") << none << none;
    QTest::newRow("Google passes")
        << QByteArray("http://www.Google.com/") << none << QStringList{"www.Google.com"};
    QTest::newRow("HTTP prefix kept")
        << QByteArray("HTTP://EXAMPLE.COM/") << none << QStringList{"HTTP:EXAMPLE.COM"};
    QTest::newRow("mixed-case prefix kept")
        << QByteArray("Http://mixed.example/") << none << QStringList{"Http:mixed.example"};
    QTest::newRow("duplicates are case-sensitive")
        << QByteArray("http://EXAMPLE.com/ http://example.com/") << QStringList{"example.com"}
        << QStringList{"EXAMPLE.com"};
    QTest::newRow("same host twice")
        << QByteArray("http://a.example/x http://b.example/ http://a.example/y") << none
        << QStringList{"a.example", "b.example"};
    QTest::newRow("already listed") << QByteArray("http://a.example/ http://b.example/")
                                    << QStringList{"b.example"} << QStringList{"a.example"};
    QTest::newRow("links back to back") << QByteArray("http://a.example/http://b.example/") << none
                                        << QStringList{"a.example", "b.example"};
    QTest::newRow("order kept") << linksTo({"c.example", "a.example", "b.example"}) << none
                                << QStringList{"c.example", "a.example", "b.example"};
    // Bytes are characters one to one: a UTF-8 Kelvin sign must not pass for a "k".
    QTest::newRow("non-ASCII never folds")
        << QByteArray("http://\xe2\x84\xaa.example/ http://\xc5\xbf.example/") << none << none;
    QTest::newRow("nothing to find") << QByteArray() << none << none;
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
    QTest::newRow("fewer links than chosen") << 0 << 20 << 7 << 7;
    QTest::newRow("98 listed, one added") << 98 << 20 << 5 << 1;
    QTest::newRow("90 listed, nine added") << 90 << 20 << 30 << 9;
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
