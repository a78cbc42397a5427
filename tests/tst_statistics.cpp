// Sort keys, mean and median, progress and completion texts: the numbers and words the
// result lists and the status line show.

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
    void keysSortLikeNumbers();
    void quickSort_data();
    void quickSort();
    void roundHalfEven_data();
    void roundHalfEven();
    void serverFigures_data();
    void serverFigures();
    void addressAndMnemonic_data();
    void addressAndMnemonic();
    void progress_data();
    void progress();
    void progressUsesLocaleSeparator();
    void completion_data();
    void completion();
};

void TestStatistics::extremeRound_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("key");
    QTest::newRow("47.8 ms") << 47.8 << "00000047";
    QTest::newRow("timeout") << 10000.0 << "00010000";
    QTest::newRow("zero") << 0.0 << "00000000";
    QTest::newRow("negative zero") << -0.0 << "00000000";
    QTest::newRow("just below one") << 0.999 << "00000000";
    QTest::newRow("mean 27.7") << 27.7 << "00000027";
    QTest::newRow("eight digits") << 99999999.5 << "99999999";
    QTest::newRow("nine digits keep the last eight") << 123456789.9 << "23456789";
    QTest::newRow("negative keeps its sign inside") << -3.2 << "000000-4";
    QTest::newRow("negative whole") << -3.0 << "000000-3";
}

void TestStatistics::extremeRound() {
    QFETCH(double, value);
    QFETCH(QString, key);
    QCOMPARE(ExtremeRound(value), key);
}

void TestStatistics::keysSortLikeNumbers() {
    // As plain text "1005 ms" < "120 ms" < "95 ms"; the keys restore numeric order.
    const QList<double> times{1005.0, 95.0, 120.0, 10000.0, 0.0, 9.9};
    QStringList keys;
    for (double t : times)
        keys << ExtremeRound(t);
    keys.sort();
    QCOMPARE(keys,
             (QStringList{"00000000", "00000009", "00000095", "00000120", "00001005", "00010000"}));
}

void TestStatistics::quickSort_data() {
    QTest::addColumn<QList<double>>("input");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("two, larger first") << QList<double>{35, 20} << 0 << 1 << QList<double>{20, 35};
    QTest::newRow("right 0 sorts all")
        << QList<double>{3, 1, 2} << 0 << 0 << QList<double>{1, 2, 3};
    QTest::newRow("right 0 ignores left")
        << QList<double>{3, 1, 2} << 2 << 0 << QList<double>{1, 2, 3};
    QTest::newRow("inner range only")
        << QList<double>{5, 4, 3, 2, 1} << 1 << 3 << QList<double>{5, 2, 3, 4, 1};
    QTest::newRow("prefix of used slots")
        << QList<double>{30, 10, 20, 0, 0} << 0 << 2 << QList<double>{10, 20, 30, 0, 0};
    QTest::newRow("duplicates") << QList<double>{2, 1, 2, 1} << 0 << 3 << QList<double>{1, 1, 2, 2};
    QTest::newRow("negative values")
        << QList<double>{5, -3, 0} << 0 << 2 << QList<double>{-3, 0, 5};
    QTest::newRow("right beyond the end is clamped")
        << QList<double>{2, 1} << 0 << 9 << QList<double>{1, 2};
    QTest::newRow("single") << QList<double>{7} << 0 << 0 << QList<double>{7};
    QTest::newRow("empty") << QList<double>{} << 0 << 0 << QList<double>{};
}

void TestStatistics::quickSort() {
    QFETCH(QList<double>, input);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(QList<double>, expected);
    QuickSort(input, left, right);
    QCOMPARE(input, expected);
}

void TestStatistics::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("192.5") << 192.5 << 192.0;
    QTest::newRow("217.5") << 217.5 << 218.0;
    QTest::newRow("2.4") << 2.4 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
}

void TestStatistics::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(tarnbell::core::roundHalfEven(value), rounded);
}

void TestStatistics::serverFigures_data() {
    QTest::addColumn<QList<double>>("seconds");
    QTest::addColumn<QString>("meanText");
    QTest::addColumn<QString>("meanKey");
    QTest::addColumn<QString>("medianText");
    QTest::addColumn<QString>("medianKey");
    QTest::newRow("one lookup of 47.8 ms") << QList<double>{0.0478} << "47 ms"
                                           << "00000047"
                                           << "47 ms"
                                           << "00000047";
    // Mean 27.7 from exact seconds; median (20 + 35) / 2 = 27.5 from whole milliseconds.
    QTest::newRow("20.4 and 35.0 ms") << QList<double>{0.0204, 0.035} << "27 ms"
                                      << "00000027"
                                      << "27 ms"
                                      << "00000027";
    QTest::newRow("30, 10 and 20 ms") << QList<double>{0.030, 0.010, 0.020} << "20 ms"
                                      << "00000020"
                                      << "20 ms"
                                      << "00000020";
    // The median works on whole milliseconds: 10.9 and 11.9 ms count as 10 and 11.
    QTest::newRow("median from whole ms") << QList<double>{0.0109, 0.0119} << "11 ms"
                                          << "00000011"
                                          << "10 ms"
                                          << "00000010";
    QTest::newRow("one slow outlier") << QList<double>{0.010, 0.010, 0.100} << "40 ms"
                                      << "00000040"
                                      << "10 ms"
                                      << "00000010";
    QTest::newRow("all timed out") << QList<double>{10.0, 10.0} << "10000 ms"
                                   << "00010000"
                                   << "10000 ms"
                                   << "00010000";
}

void TestStatistics::serverFigures() {
    QFETCH(QList<double>, seconds);
    double total = 0.0;
    QList<double> wholeMs;
    for (double s : seconds) {
        total += s;
        wholeMs << wholeMilliseconds(s);
    }
    const double mean = meanMilliseconds(total, seconds.size());
    const double median = medianMilliseconds(wholeMs);
    QTEST(millisecondsText(mean), "meanText");
    QTEST(ExtremeRound(mean), "meanKey");
    QTEST(millisecondsText(median), "medianText");
    QTEST(ExtremeRound(median), "medianKey");
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
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("record type MX") << "MX 15"
                                    << "MX";
    QTest::newRow("record type SOA") << "SOA 6"
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
    QTest::newRow("start") << 0.0 << "0.00% complete" << 155 << 255;
    QTest::newRow("quarter") << 25.0 << "25.00% complete" << 180 << 230;
    QTest::newRow("37.5 rounds halves to even") << 37.5 << "37.50% complete" << 192 << 218;
    QTest::newRow("0.5") << 0.5 << "0.50% complete" << 156 << 254;
    QTest::newRow("one third") << 100.0 / 3.0 << "33.33% complete" << 188 << 222;
    QTest::newRow("last of 99 x 99") << 100.0 * 9800.0 / 9801.0 << "99.99% complete" << 255 << 155;
}

void TestStatistics::progress() {
    QFETCH(double, percent);
    QFETCH(QString, text);
    QFETCH(int, green);
    QFETCH(int, blue);
    QCOMPARE(progressText(percent), text);
    QCOMPARE(progressFill(percent), (Rgb{150, green, blue}));
    QCOMPARE(progressCompleteText(), QStringLiteral("100% complete"));
    QCOMPARE(progressCompleteFill(), (Rgb{150, 255, 255}));
}

void TestStatistics::progressUsesLocaleSeparator() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(progressText(37.5), QStringLiteral("37,50% complete"));
}

void TestStatistics::completion_data() {
    QTest::addColumn<QString>("meanWinner");
    QTest::addColumn<QString>("medianWinner");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("one winner") << "192.0.2.1 - one"
                                << "192.0.2.1 - one"
                                << "Completed! - Fastest DNS Server was: 192.0.2.1 - one"
                                << "Completed!\r\n\r\nFastest server was:\r\n192.0.2.1 - one";
    QTest::newRow("two winners")
        << "192.0.2.2"
        << "192.0.2.1 - one"
        << "Completed! - Fastest DNS Servers were: 192.0.2.2 / 192.0.2.1 - one"
        << "Completed!\r\n\r\nFastest servers were:\r\n192.0.2.2 / 192.0.2.1 - one\r\n"
           "(mean average/median average)";
}

void TestStatistics::completion() {
    QFETCH(QString, meanWinner);
    QFETCH(QString, medianWinner);
    const CompletionWording wording = completionWording(meanWinner, medianWinner);
    QTEST(completionStatus(wording), "status");
    QTEST(completionText(wording), "text");
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
