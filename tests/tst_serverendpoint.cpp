// Reading the server part of a server entry: address forms, host names, ports, and the
// texts that must be refused rather than guessed at.

#include "core/controltext.h"
#include "core/serverendpoint.h"

#include <QTest>

using tarnbell::core::parseServerEntry;
using tarnbell::core::parseServerText;
using tarnbell::core::ServerEndpoint;

class TestServerEndpoint final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsServerText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // empty for a host name
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<int>("port");

        const auto row = [](const char* name, const QString& text, const QString& address,
                            const QString& hostName, int port) {
            QTest::newRow(name) << text << address << hostName << port;
        };
        row("IPv4", "8.8.8.8", "8.8.8.8", "", 53);
        row("IPv4 and the highest port", "127.0.0.1:65535", "127.0.0.1", "", 65535);
        row("surrounding blanks", "  9.9.9.9\t", "9.9.9.9", "", 53);
        row("bare IPv6", "2001:db8::53", "2001:db8::53", "", 53);
        row("IPv6 with scope", "fe80::1%lo", "fe80::1%lo", "", 53);
        row("IPv6 in brackets", "[2001:db8::1]", "2001:db8::1", "", 53);
        row("IPv6 and port", "[::1]:5300", "::1", "", 5300);
        row("host name, final dot", "dns.example.", "", "dns.example.", 53);
        row("host name and port", "localhost:5353", "", "localhost", 5353);
        row("digits in labels", "1dot1dot1dot1.example", "", "1dot1dot1dot1.example", 53);
        row("non-ASCII host", "bücher.example", "", "bücher.example", 53);
    }
    void readsServerText() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(QString, hostName);
        QFETCH(int, port);
        // The same server as a whole entry with a label.
        for (const ServerEndpoint& endpoint :
             {parseServerText(text), parseServerEntry(text.trimmed() + " - its label")}) {
            QVERIFY2(endpoint.isValid(), qPrintable(endpoint.errorText));
            QCOMPARE(endpoint.isHostName(), !hostName.isEmpty());
            QCOMPARE(endpoint.hostName, hostName);
            if (address.isEmpty())
                QVERIFY(endpoint.address.isNull());
            else
                QCOMPARE(endpoint.address, QHostAddress(address));
            QCOMPARE(int(endpoint.port), port);
        }
    }

    void readsStreamEntries_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("transport"); // as the JSON names it
        QTest::addColumn<QString>("host");      // address or host name
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("authName");
        QTest::addColumn<QString>("path");
        const auto row = [](const char* name, const QString& text, const QString& transport,
                            const QString& host, int port, const QString& authName,
                            const QString& path) {
            QTest::newRow(name) << text << transport << host << port << authName << path;
        };
        row("plain stays UDP", "9.9.9.9", "udp", "9.9.9.9", 53, "", "");
        row("TCP, port 53", "tcp://9.9.9.9", "tcp", "9.9.9.9", 53, "", "");
        row("TLS, port 853, the address is the name", "tls://9.9.9.9", "tls", "9.9.9.9", 853,
            "9.9.9.9", "");
        row("TLS by host name", "TLS://dns.example:8853", "tls", "dns.example", 8853, "dns.example",
            "");
        row("TLS pinned to an address", "tls://[2001:db8::1]:853#dns.example", "tls", "2001:db8::1",
            853, "dns.example", "");
        row("HTTPS, port 443 and /dns-query", "https://dns.example", "https", "dns.example", 443,
            "dns.example", "/dns-query");
        row("HTTPS pinned, own path", "https://127.0.0.1:8443#dns.example/q/dns", "https",
            "127.0.0.1", 8443, "dns.example", "/q/dns");
    }
    void readsStreamEntries() {
        QFETCH(QString, text);
        QFETCH(QString, host);
        const ServerEndpoint endpoint = parseServerEntry(text + " - label");
        QVERIFY2(endpoint.isValid(), qPrintable(endpoint.errorText));
        QTEST(tarnbell::core::transportName(endpoint.transport), "transport");
        QCOMPARE(endpoint.isHostName() ? endpoint.hostName : endpoint.address.toString(), host);
        QTEST(int(endpoint.port), "port");
        QTEST(endpoint.authName, "authName");
        QTEST(endpoint.path, "path");
    }

    void refusesGarbage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("inLabel"); // only the whole entry is refused
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "   " << false;
        QTest::newRow("three parts") << "1.2.3" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("part above 255") << "256.1.1.1" << false;
        QTest::newRow("leading zero, octal to some") << "010.1.1.1" << false;
        QTest::newRow("empty part") << "1..2.3" << false;
        QTest::newRow("port 0") << "1.2.3.4:0" << false;
        QTest::newRow("port above 65535") << "1.2.3.4:65536" << false;
        // 2^32 + 53: a port read into 32 bits without a length limit would wrap to 53.
        QTest::newRow("port far too big") << "1.2.3.4:4294967349" << false;
        QTest::newRow("port missing") << "1.2.3.4:" << false;
        QTest::newRow("port not a number") << "1.2.3.4:dns" << false;
        QTest::newRow("port only") << ":53" << false;
        QTest::newRow("bracket not closed") << "[::1" << false;
        QTest::newRow("junk after bracket") << "[::1]53" << false;
        QTest::newRow("port 0 after bracket") << "[::1]:0" << false;
        QTest::newRow("IPv4 in brackets") << "[1.2.3.4]:53" << false;
        QTest::newRow("empty brackets") << "[]:53" << false;
        QTest::newRow("colons but no IPv6") << "dns:example:53" << false;
        QTest::newRow("bad IPv6") << "2001:db8::zz" << false;
        QTest::newRow("empty label") << "bad..example" << false;
        QTest::newRow("hyphen at label start") << "-dns.example" << false;
        QTest::newRow("hyphen at label end") << "dns-.example" << false;
        QTest::newRow("label of 64") << QString(64, u'a') + ".example" << false;
        QTest::newRow("slash") << "dns.example/53" << false;
        QTest::newRow("blank inside") << "dns example" << false;
        QTest::newRow("only a dot") << "." << false;
        // The system resolver reads these as 127.0.0.1 without asking any DNS server.
        QTest::newRow("hexadecimal address") << "0x7f000001" << false;
        QTest::newRow("hexadecimal part") << "0X7F.0.0.1:53" << false;
        QTest::newRow("octal part") << "0177.0.0.1" << false;
        QTest::newRow("NUL") << QString("1.2.3.4") + QChar(0) << false;
        QTest::newRow("a megabyte") << "127.0.0.1" + QString(1 << 20, u'x') << false;
        QTest::newRow("unknown scheme") << "quic://9.9.9.9" << false;
        QTest::newRow("no address after the scheme") << "tls://" << false;
        QTest::newRow("path on TLS") << "tls://9.9.9.9/dns-query" << false;
        QTest::newRow("name to check on TCP") << "tcp://9.9.9.9#dns.example" << false;
        QTest::newRow("address as the name to check") << "tls://9.9.9.9#1.1.1.1" << false;
        QTest::newRow("name to check after a host name")
            << "tls://dns.example#dns.example" << false;
        QTest::newRow("query in the path") << "https://dns.example/dns-query?dns=AAAB" << false;
        QTest::newRow("port 0 on a stream") << "https://9.9.9.9:0/dns-query" << false;
        QTest::newRow("escape in the label") << "127.0.0.1 - \x1b]0;title\x07" << true;
        QTest::newRow("C1 control in the label") << "127.0.0.1 - a\u009bb" << true;
        QTest::newRow("label past 1024 characters") << "127.0.0.1 - " + QString(1024, u'x') << true;
    }
    void refusesGarbage() {
        QFETCH(QString, text);
        QFETCH(bool, inLabel);
        // An entry ends its server part at the first blank, so "dns example" is a fine one.
        QList<ServerEndpoint> refusals;
        if (inLabel || !text.trimmed().contains(u' '))
            refusals << parseServerEntry(text);
        if (!inLabel)
            refusals << parseServerText(text);
        for (const ServerEndpoint& endpoint : refusals) {
            QVERIFY(!endpoint.isValid());
            QVERIFY(!endpoint.isHostName());
            // Plain words that name what was refused, fit for a result row: escaped, and
            // short, as the row of every lookup of the server repeats it.
            QVERIFY(endpoint.errorText.startsWith(QStringLiteral("Error: ")));
            const QString shown = tarnbell::core::escapeControlCharacters(text.trimmed());
            QVERIFY(endpoint.errorText.contains(QStringLiteral("\"%1").arg(shown.left(60))));
            QVERIFY(!tarnbell::core::hasControlCharacter(endpoint.errorText));
            QVERIFY(endpoint.errorText.size() < 200);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerEndpoint)
#include "tst_serverendpoint.moc"
