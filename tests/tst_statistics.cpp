// The median's sort and the progress line. The mean and the median are checked with the
// figures, the sort keys with the sorting.

#include "core/results/statistics.h"
#include "core/run/runwording.h"

#include <QLocale>
#include <QTest>

using namespace tarnbell::core;

class TestStatistics final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The sort of the median: the whole range, its last element too.
    void quickSortTakesTheWholeRange() {
        QList<double> values{3, 1, 2};
        QuickSort(values);
        QCOMPARE(values, (QList<double>{1, 2, 3}));
    }

    void progress_data() {
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("german");
        QTest::newRow("two decimals") << 37.5 << "37.50% complete" << false;
        QTest::newRow("last of 99 x 99") << 100.0 * 9800.0 / 9801.0 << "99.99% complete" << false;
        QTest::newRow("the locale's separator") << 37.5 << "37,50% complete" << true;
    }
    void progress() {
        QFETCH(double, percent);
        QFETCH(bool, german);
        QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
        QTEST(progressText(percent), "text");
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
