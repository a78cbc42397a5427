// IsIPAddress decides which harvested hosts are dropped as bare addresses.
#include "core/modvalidation.h"

#include <QTest>

using tarnbell::core::IsIPAddress;

class TestModValidation final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void isIPAddress_data();
    void isIPAddress();
};

void TestModValidation::isIPAddress_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("expected");

    // Four parts, each 0..255.
    QTest::newRow("plain") << "192.0.2.1" << true;
    QTest::newRow("all 255") << "255.255.255.255" << true;
    QTest::newRow("leading zeros") << "001.002.003.004" << true;
    QTest::newRow("many leading zeros") << "00000000000000000000001.2.3.4" << true;

    // Range: one part above 255 makes it a name.
    QTest::newRow("256 last") << "1.1.1.256" << false;
    QTest::newRow("huge part") << "99999999999999999999999.1.1.1" << false;
    QTest::newRow("negative") << "-1.2.3.4" << false;
    QTest::newRow("minus zero") << "-0.2.3.4" << true;
    QTest::newRow("plus sign") << "+1.2.3.4" << true;

    // Part count: exactly four.
    QTest::newRow("three parts") << "1.2.3" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;

    // Empty parts end the test at once.
    QTest::newRow("empty") << "" << false;
    QTest::newRow("empty middle") << "1..2.3" << false;
    QTest::newRow("trailing dot") << "1.2.3.4." << false;
    QTest::newRow("sign alone") << "1.2.3.-" << false;

    // Blanks around a number are read as a number would be typed.
    QTest::newRow("leading blank") << " 1.2.3.4" << true;
    QTest::newRow("trailing tab") << "1.2.3.4\t" << true;
    QTest::newRow("blank before dot") << "1 .2.3.4" << true;
    QTest::newRow("blank part") << "1. .3.4" << false;
    QTest::newRow("blank inside number") << "1 0.2.3.4" << false;
    QTest::newRow("blank after sign") << "- 1.2.3.4" << false;

    // Not numbers: host names and exotic notations stay names.
    QTest::newRow("digit then letter") << "1a.2.3.4" << false;
    QTest::newRow("host name") << "www.example.com" << false;
    QTest::newRow("exponent") << "1e2.1.1.1" << false;
    QTest::newRow("hex") << "&H10.1.1.1" << false;
    QTest::newRow("comma") << "1,5.1.1.1" << false;
    QTest::newRow("trailing minus") << "1-.2.3.4" << false;
    QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11.2.3.4") << false;
}

void TestModValidation::isIPAddress() {
    QFETCH(QString, host);
    QTEST(IsIPAddress(host), "expected");
}

QTEST_APPLESS_MAIN(TestModValidation)
#include "tst_modvalidation.moc"
