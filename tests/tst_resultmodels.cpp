// The header-click sorting of the result lists.

#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/statistics.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace tarnbell::core;

namespace {

QStringList firstColumn(const QAbstractItemModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

void appendSummary(SummaryTableModel& model, const QString& entry, double mean, double median,
                   double exactMedian) {
    model.appendSummary({entry, mean, median, exactMedian, false, {}});
}

} // namespace

class TestResultModels final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every click flips the order, by the numbers behind a time column (equal medians as shown
    // by the exact ones); names compare regardless of case; the run's re-sort keeps the
    // user's direction.
    void clicksAndResort() {
        SummaryTableModel summary;
        ResultSortProxy proxy(ResultSortProxy::List::Summary);
        proxy.setSourceModel(&summary);
        QAbstractItemModelTester tester(&proxy,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.resortByMean();                             // an empty list sorts without complaint
        appendSummary(summary, "B.test", 50, 20.5, 20.9); // shows "20 ms", as c.test
        appendSummary(summary, "a.test", -3.2, 40, 40);   // key 000000-4 sorts first
        appendSummary(summary, "c.test", 1005, 20, 20.1);
        proxy.resortByMean();
        QCOMPARE(firstColumn(proxy), (QStringList{"a.test", "B.test", "c.test"}));
        proxy.columnClicked(SummaryTableModel::MedianResponse); // the summary starts ascending
        QCOMPARE(firstColumn(proxy), (QStringList{"a.test", "B.test", "c.test"}));
        QCOMPARE(summary.index(0, SummaryTableModel::MedianResponse).data(), "20 ms");
        proxy.resortByMean();
        QCOMPARE(firstColumn(proxy), (QStringList{"c.test", "B.test", "a.test"}));
        proxy.columnClicked(SummaryTableModel::DnsServer);
        QCOMPARE(firstColumn(proxy), (QStringList{"a.test", "B.test", "c.test"}));
        proxy.columnClicked(SummaryTableModel::kColumnCount); // no such section: no change
        proxy.columnClicked(-1);
        QCOMPARE(proxy.currentOrder(), Qt::AscendingOrder);

        // A row added to a sorted list takes its place; source rows stay valid.
        LookupTableModel lookups;
        ResultSortProxy lookupsProxy(ResultSortProxy::List::Lookups);
        lookupsProxy.setSourceModel(&lookups);
        for (const auto& [domain, ms] : {std::pair{"a", 120}, {"b", 95}, {"c", 100}}) {
            const int row = lookups.appendLookup("192.0.2.1", domain);
            lookups.setResult(row, ms / 1000.0);
            if (row == 1)
                lookupsProxy.columnClicked(LookupTableModel::ResponseTime);
        }
        QCOMPARE(firstColumn(lookupsProxy), (QStringList{"b", "c", "a"}));
        QCOMPARE(lookupsProxy.mapToSource(lookupsProxy.index(1, 0)).row(), 2);
    }
};

QTEST_GUILESS_MAIN(TestResultModels)
#include "tst_resultmodels.moc"
