// The machine's own DNS server, read from resolver configuration text as glibc reads it.

#include "core/localdns.h"

#include <QTemporaryFile>
#include <QTest>

using tarnbell::core::firstNameserver;
using tarnbell::core::firstNameserverInFile;

class TestLocalDns final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsFirstNameserver_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QString>("address");
        QTest::newRow("two servers: the first")
            << QByteArray("nameserver 192.0.2.1\nnameserver 192.0.2.2\n") << "192.0.2.1";
        QTest::newRow("none") << QByteArray("search example.org\noptions ndots:2\n") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("comments passed over, last line unterminated")
            << QByteArray("# nameserver 192.0.2.7\n; nameserver 192.0.2.8\nnameserver 192.0.2.9")
            << "192.0.2.9";
        QTest::newRow("tab and blanks") << QByteArray("nameserver\t  192.0.2.4  \n") << "192.0.2.4";
        QTest::newRow("CR LF lines") << QByteArray("nameserver 192.0.2.5\r\n") << "192.0.2.5";
        QTest::newRow("trailing words")
            << QByteArray("nameserver 192.0.2.6 # office\n") << "192.0.2.6";
        QTest::newRow("IPv6 with scope")
            << QByteArray("nameserver fe80::1%eth0\n") << "fe80::1%eth0";
        QTest::newRow("invalid address skipped")
            << QByteArray("nameserver dns.example\nnameserver 192.0.2.10\n") << "192.0.2.10";
        QTest::newRow("keyword without address")
            << QByteArray("nameserver\nnameserver \nnameserver 192.0.2.11\n") << "192.0.2.11";
        QTest::newRow("keyword must start the line")
            << QByteArray("  nameserver 192.0.2.12\n") << "";
        QTest::newRow("keyword must be whole")
            << QByteArray("nameservers 192.0.2.13\nNAMESERVER 192.0.2.14\n") << "";
        QTest::newRow("NUL bytes end the address")
            << QByteArray("nameserver 192.0.2.15\0\0\0\n", 25) << "192.0.2.15";
    }
    void readsFirstNameserver() {
        QFETCH(QByteArray, conf);
        QTEST(firstNameserver(conf), "address");
    }

    void readsAFile() {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("# written by a test\nnameserver 192.0.2.53\nnameserver 192.0.2.54\n");
        file.close();
        QCOMPARE(firstNameserverInFile(file.fileName()), QStringLiteral("192.0.2.53"));
        QCOMPARE(firstNameserverInFile(file.fileName() + QStringLiteral(".missing")), QString());
    }

    void systemConfigurationGivesAnAddressOrNothing() {
        const QString address = tarnbell::core::GetLocalDNS();
#ifndef Q_OS_WIN
        QCOMPARE(address, firstNameserverInFile(QStringLiteral("/etc/resolv.conf")));
#endif
        QCOMPARE(address, address.trimmed());
    }
};

QTEST_GUILESS_MAIN(TestLocalDns)
#include "tst_localdns.moc"
