// The system resolver's configuration as glibc reads it, the names its search rules try, the
// hosts file, and the machine's own DNS server taken from the chosen configuration file.

#include "core/probe/hostsfile.h"
#include "core/probe/localdns.h"
#include "core/probe/resolverconfig.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QTest>

using namespace tarnbell::core;

class TestLocalDns final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsConfiguration_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QString>("read"); // servers | search domains | ndots timeout attempts
        QTest::newRow("two servers, defaults")
            << QByteArray("nameserver 192.0.2.1\nnameserver 192.0.2.2\n")
            << "192.0.2.1 192.0.2.2 |  | 1 5 2";
        QTest::newRow("comments passed over, last line unterminated")
            << QByteArray("# nameserver 192.0.2.7\n; nameserver 192.0.2.8\nnameserver 192.0.2.9")
            << "192.0.2.9 |  | 1 5 2";
        QTest::newRow("tab, CR LF, trailing words")
            << QByteArray("nameserver\t 192.0.2.6 # office\r\nsearch a.test\tb.test\r\n")
            << "192.0.2.6 | a.test b.test | 1 5 2";
        QTest::newRow("IPv6 with scope")
            << QByteArray("nameserver fe80::1%eth0\n") << "fe80::1%eth0 |  | 1 5 2";
        QTest::newRow("invalid or missing address skipped")
            << QByteArray("nameserver dns.example\nnameserver\nnameserver 192.0.2.10\n")
            << "192.0.2.10 |  | 1 5 2";
        QTest::newRow("keyword whole, at the line start")
            << QByteArray("  nameserver 192.0.2.12\nnameserver192.0.2.13\nNAMESERVER 192.0.2.14\n"
                          "options\rndots:4\n")
            << " |  | 1 5 2";
        QTest::newRow("NUL bytes end the address")
            << QByteArray("nameserver 192.0.2.15\0\0\0\n", 25) << "192.0.2.15 |  | 1 5 2";
        QTest::newRow("three servers at most, another port in brackets")
            << QByteArray(
                   "nameserver [::1]:5353\nnameserver [192.0.2.1]\nnameserver [192.0.2.2]:0\n"
                   "nameserver 192.0.2.3\nnameserver 192.0.2.4\n")
            << "::1:5353 192.0.2.1 192.0.2.3 |  | 1 5 2";
        QTest::newRow("domain after search: its first word alone")
            << QByteArray("search a.test b.test\ndomain c.test d.test\n") << " | c.test | 1 5 2";
        QTest::newRow("search after domain, an empty one ignored")
            << QByteArray("domain c.test\nsearch a.test  b.test\nsearch \n")
            << " | a.test b.test | 1 5 2";
        QTest::newRow("options capped, the last one wins, unknown ones passed over")
            << QByteArray("options ndots:3 rotate timeout:99\noptions ndots:20 attempts:x\n")
            << " |  | 15 30 0";
    }
    void readsConfiguration() {
        QFETCH(QByteArray, conf);
        const ResolverConfig config = parseResolverConfig(conf);
        QStringList servers;
        for (const Nameserver& server : config.nameservers)
            servers << server.address.toString() +
                           (server.port == 53 ? QString() : u':' + QString::number(server.port));
        QTEST(QStringLiteral("%1 | %2 | %3 %4 %5")
                  .arg(servers.join(u' '), config.searchDomains.join(u' '))
                  .arg(config.ndots)
                  .arg(config.timeoutSeconds)
                  .arg(config.attempts),
              "read");
    }

    void searchOrder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("ndots");
        QTest::addColumn<QString>("candidates");
        QTest::newRow("fewer dots than ndots: search domains first")
            << "dns" << 1 << "dns.a.test dns.b.test dns";
        QTest::newRow("enough dots: as it is first")
            << "dns.x" << 1 << "dns.x dns.x.a.test dns.x.b.test";
        QTest::newRow("ndots 2") << "dns.x" << 2 << "dns.x.a.test dns.x.b.test dns.x";
        QTest::newRow("trailing dot: only itself") << "dns.x." << 1 << "dns.x";
    }
    void searchOrder() {
        QFETCH(QString, name);
        ResolverConfig config;
        QFETCH(int, ndots);
        config.ndots = ndots;
        config.searchDomains = {"a.test", "b.test."};
        QTEST(searchCandidates(name, config).join(u' '), "candidates");
    }

    // Every matching line, canonical name or alias, in any ASCII case; comments anywhere.
    void readsHostsFile() {
        QByteArray text("127.0.0.1 localhost\n# 192.0.2.9 dns.test\n192.0.2.1 other DNS.test # x\n"
                        "not-an-address dns.test\n::1 dns.test\n192.0.2.2 x # dns.test\n");
        QBuffer hosts(&text);
        QVERIFY(hosts.open(QIODevice::ReadOnly));
        QCOMPARE(hostsAddresses(hosts, "dns.TEST"),
                 (QList<QHostAddress>{QHostAddress("192.0.2.1"), QHostAddress::LocalHostIPv6}));
    }

    // The file TARNBELL_RESOLV_CONF names is the one read; the local server carries its port.
    void localServerFromTheChosenFile() {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("nameserver [::1]:5353\n");
        file.close();
        qputenv("TARNBELL_RESOLV_CONF", QFile::encodeName(file.fileName()));
        QCOMPARE(GetLocalDNS(), QStringLiteral("[::1]:5353"));
        qputenv("TARNBELL_RESOLV_CONF", file.fileName().toUtf8() + ".missing");
        QCOMPARE(GetLocalDNS(), QString());
        QVERIFY(!readResolverConfigFile(resolverConfigPath()));
        qunsetenv("TARNBELL_RESOLV_CONF");
        QCOMPARE(firstNameserver("nameserver [192.0.2.1]:53\n"), QStringLiteral("192.0.2.1"));
    }
};

QTEST_GUILESS_MAIN(TestLocalDns)
#include "tst_localdns.moc"
