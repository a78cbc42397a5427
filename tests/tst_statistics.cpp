// Sort keys, rounding, the partial sort under the median and the progress line. The mean,
// the median and the completion texts are checked where a run computes them (tst_engine).

#include "core/statistics.h"

#include <QLocale>
#include <QTest>

using namespace tarnbell::core;

class TestStatistics final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void extremeRound_data();
    void extremeRound();
    void quickSort_data();
    void quickSort();
    void roundHalfEven_data();
    void roundHalfEven();
    void addressAndMnemonic_data();
    void addressAndMnemonic();
    void progress_data();
    void progress();
};

void TestStatistics::extremeRound_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("key");
    QTest::newRow("47.8 ms: floor, not nearest") << 47.8 << "00000047";
    QTest::newRow("zero") << 0.0 << "00000000";
    QTest::newRow("negative zero") << -0.0 << "00000000";
    QTest::newRow("eight digits") << 99999999.5 << "99999999";
    QTest::newRow("nine digits keep the last eight") << 123456789.9 << "23456789";
    QTest::newRow("negative: floor keeps its sign inside") << -3.2 << "000000-4";
}

void TestStatistics::extremeRound() {
    QFETCH(double, value);
    QTEST(ExtremeRound(value), "key");
}

void TestStatistics::quickSort_data() {
    QTest::addColumn<QList<double>>("input");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("right 0 sorts all, whatever the left")
        << QList<double>{3, 1, 2} << 2 << 0 << QList<double>{1, 2, 3};
    QTest::newRow("inner range only")
        << QList<double>{5, 4, 3, 2, 1} << 1 << 3 << QList<double>{5, 2, 3, 4, 1};
    QTest::newRow("right beyond the end is clamped")
        << QList<double>{2, 1} << 0 << 9 << QList<double>{1, 2};
    QTest::newRow("empty") << QList<double>{} << 0 << 0 << QList<double>{};
}

void TestStatistics::quickSort() {
    QFETCH(QList<double>, input);
    QFETCH(int, left);
    QFETCH(int, right);
    QuickSort(input, left, right);
    QTEST(input, "expected");
}

void TestStatistics::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
}

void TestStatistics::roundHalfEven() {
    QFETCH(double, value);
    QTEST(tarnbell::core::roundHalfEven(value), "rounded");
}

void TestStatistics::addressAndMnemonic_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstWord");
    QTest::newRow("labelled entry") << "192.0.2.1 - local"
                                    << "192.0.2.1";
    QTest::newRow("bare host name") << "a.root-servers.net"
                                    << "a.root-servers.net";
    QTest::newRow("leading blank") << " 192.0.2.1"
                                   << "";
    QTest::newRow("record type") << "SOA 6"
                                 << "SOA";
}

void TestStatistics::addressAndMnemonic() {
    QFETCH(QString, text);
    QFETCH(QString, firstWord);
    QCOMPARE(serverAddress(text), firstWord);
    QCOMPARE(recordTypeMnemonic(text), firstWord);
}

void TestStatistics::progress_data() {
    QTest::addColumn<double>("percent");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::addColumn<bool>("german");
    QTest::newRow("37.5 rounds halves to even") << 37.5 << "37.50% complete" << 192 << 218 << false;
    QTest::newRow("0.5") << 0.5 << "0.50% complete" << 156 << 254 << false;
    QTest::newRow("one third") << 100.0 / 3.0 << "33.33% complete" << 188 << 222 << false;
    QTest::newRow("last of 99 x 99")
        << 100.0 * 9800.0 / 9801.0 << "99.99% complete" << 255 << 155 << false;
    QTest::newRow("the locale's separator") << 37.5 << "37,50% complete" << 192 << 218 << true;
}

void TestStatistics::progress() {
    QFETCH(double, percent);
    QFETCH(int, green);
    QFETCH(int, blue);
    QFETCH(bool, german);
    if (german)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTEST(progressText(percent), "text");
    QCOMPARE(progressFill(percent), (Rgb{150, green, blue}));
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
