// Reading the server part of a server entry: address forms, host names, ports, and the
// texts that must be refused rather than guessed at.

#include "core/lists/controltext.h"
#include "core/probe/serverendpoint.h"

#include <QTest>

using tarnbell::core::parseServerEntry;
using tarnbell::core::parseServerText;
using tarnbell::core::ServerEndpoint;

class TestServerEndpoint final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each as a bare server text and as an entry with a label; what is read, as
    // "transport host port name path", "name" for a host name (resolved before the query).
    void readsEntries_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::newRow("IPv4") << "8.8.8.8"
                              << "udp 8.8.8.8 53";
        QTest::newRow("IPv6 with scope") << "fe80::1%lo"
                                         << "udp fe80::1%lo 53";
        QTest::newRow("IPv6 and port") << "[::1]:5300"
                                       << "udp ::1 5300";
        QTest::newRow("host name, final dot") << "dns.example."
                                              << "udp name dns.example. 53";
        QTest::newRow("host name and port") << "localhost:5353"
                                            << "udp name localhost 5353";
        QTest::newRow("TCP, port 53") << "tcp://9.9.9.9"
                                      << "tcp 9.9.9.9 53";
        QTest::newRow("TLS: port 853, the address is the name") << "tls://9.9.9.9"
                                                                << "tls 9.9.9.9 853 9.9.9.9";
        QTest::newRow("TLS pinned to an address") << "tls://[2001:db8::1]:853#dns.example"
                                                  << "tls 2001:db8::1 853 dns.example";
        QTest::newRow("HTTPS: port 443 and /dns-query")
            << "https://dns.example"
            << "https name dns.example 443 dns.example /dns-query";
        QTest::newRow("HTTPS pinned, own path") << "https://127.0.0.1:8443#dns.example/q/dns"
                                                << "https 127.0.0.1 8443 dns.example /q/dns";
    }
    void readsEntries() {
        QFETCH(QString, text);
        for (const ServerEndpoint& e :
             {parseServerText(text), parseServerEntry(text.trimmed() + " - its label")}) {
            QVERIFY2(e.isValid(), qPrintable(e.errorText));
            const QString host = e.isHostName() ? "name " + e.hostName : e.address.toString();
            QTEST(QStringList({tarnbell::core::transportName(e.transport), host,
                               QString::number(e.port), e.authName, e.path})
                      .join(u' ')
                      .trimmed(),
                  "read");
        }
    }

    void refusesGarbage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("inLabel"); // only the whole entry is refused
        QTest::newRow("empty") << "" << false;
        QTest::newRow("part above 255") << "256.1.1.1" << false;
        QTest::newRow("leading zero, octal to some") << "010.1.1.1" << false;
        QTest::newRow("port 0") << "1.2.3.4:0" << false;
        // 2^32 + 53: a port read into 32 bits without a length limit would wrap to 53.
        QTest::newRow("port far too big") << "1.2.3.4:4294967349" << false;
        QTest::newRow("IPv4 in brackets") << "[1.2.3.4]:53" << false;
        QTest::newRow("hyphen at label start") << "-dns.example" << false;
        QTest::newRow("hyphen at label end") << "dns-.example" << false;
        QTest::newRow("blank inside") << "dns example" << false;
        // The system resolver reads these as 127.0.0.1 without asking any DNS server.
        QTest::newRow("hexadecimal address") << "0x7f000001" << false;
        QTest::newRow("NUL") << QString("1.2.3.4") + QChar(0) << false;
        QTest::newRow("a megabyte") << "127.0.0.1" + QString(1 << 20, u'x') << false;
        QTest::newRow("name to check on TCP") << "tcp://9.9.9.9#dns.example" << false;
        QTest::newRow("address as the name to check") << "tls://9.9.9.9#1.1.1.1" << false;
        QTest::newRow("query in the path") << "https://dns.example/dns-query?dns=AAAB" << false;
        QTest::newRow("escape in the label") << "127.0.0.1 - \x1b]0;title\x07" << true;
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
