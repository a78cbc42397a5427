// The machine's own DNS server, read from resolver configuration text as glibc reads it.

#include "core/probe/localdns.h"

#include <QTemporaryFile>
#include <QTest>

using tarnbell::core::firstNameserver;

class TestLocalDns final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsFirstNameserver_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QString>("address");
        QTest::newRow("two servers: the first")
            << QByteArray("nameserver 192.0.2.1\nnameserver 192.0.2.2\n") << "192.0.2.1";
        QTest::newRow("comments passed over, last line unterminated")
            << QByteArray("# nameserver 192.0.2.7\n; nameserver 192.0.2.8\nnameserver 192.0.2.9")
            << "192.0.2.9";
        QTest::newRow("tab, CR LF, trailing words")
            << QByteArray("nameserver\t 192.0.2.6 # office\r\n") << "192.0.2.6";
        QTest::newRow("IPv6 with scope")
            << QByteArray("nameserver fe80::1%eth0\n") << "fe80::1%eth0";
        QTest::newRow("invalid or missing address skipped")
            << QByteArray("nameserver dns.example\nnameserver\nnameserver 192.0.2.10\n")
            << "192.0.2.10";
        QTest::newRow("keyword whole, at the line start")
            << QByteArray("  nameserver 192.0.2.12\nnameserver192.0.2.13\nNAMESERVER 192.0.2.14\n")
            << "";
        QTest::newRow("NUL bytes end the address")
            << QByteArray("nameserver 192.0.2.15\0\0\0\n", 25) << "192.0.2.15";
    }
    void readsFirstNameserver() {
        QFETCH(QByteArray, conf);
        QTEST(firstNameserver(conf), "address");
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(conf);
        file.close();
        QTEST(tarnbell::core::firstNameserverInFile(file.fileName()), "address");
    }
};

QTEST_GUILESS_MAIN(TestLocalDns)
#include "tst_localdns.moc"
