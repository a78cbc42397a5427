// The two result lists and their header-click sorting: what each cell holds, how marks
// combine, and that a click on a time column orders rows by the hidden key.

#include "core/resultmodels.h"
#include "core/resultsortproxy.h"
#include "core/statistics.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;
using List = ResultSortProxy::List;

namespace {

QStringList columnTexts(const QAbstractItemModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

// Which cells of a row are right-aligned.
QList<bool> rightAligned(const QAbstractItemModel& model, int row) {
    QList<bool> right;
    for (int column = 0; column < model.columnCount(); ++column)
        right << bool(model.index(row, column).data(Qt::TextAlignmentRole).toInt() &
                      Qt::AlignRight);
    return right;
}

int markOf(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data(MarkRole).toInt();
}

int appendLookup(LookupTableModel& model, const QString& domain, double ms) {
    const int row = model.appendLookup(QStringLiteral("192.0.2.1"), domain);
    model.setResult(row, millisecondsText(ms), ExtremeRound(ms));
    return row;
}

int appendSummary(SummaryTableModel& model, const QString& entry, double mean, double median) {
    return model.appendSummary({entry, millisecondsText(mean), ExtremeRound(mean),
                                millisecondsText(median), ExtremeRound(median), false});
}

constexpr int kNone = static_cast<int>(Mark::None);
constexpr int kLocal = static_cast<int>(Mark::Local);
constexpr int kWinner = static_cast<int>(Mark::Winner);

} // namespace

class TestResultModels final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lookupRows();
    void summaryMarks();
    void everyClickFlipsTheOrder();
    void summaryResortKeepsTheOrder();
    void sortedListPlacesNewRows();
};

void TestResultModels::lookupRows() {
    LookupTableModel lookups;
    QAbstractItemModelTester tester(&lookups,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&lookups, &QAbstractItemModel::dataChanged);

    // Both rows wait for their results: the dots and the "." key of a lookup under way.
    QCOMPARE(lookups.appendLookup(QStringLiteral("192.0.2.1 - one"), QStringLiteral("a.test")), 0);
    QCOMPARE(lookups.appendLookup(QStringLiteral("192.0.2.2"), QStringLiteral("b.test")), 1);
    lookups.setResponseText(1, QStringLiteral(".."));
    lookups.setResult(0, QStringLiteral("47 ms"), QStringLiteral("00000047"));
    QCOMPARE(columnTexts(lookups, LookupTableModel::ResponseTime), (QStringList{"47 ms", ".."}));
    QCOMPARE(columnTexts(lookups, LookupTableModel::RealResponseTime),
             (QStringList{"00000047", "."}));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(rightAligned(lookups, 0), (QList<bool>{false, false, true, true}));

    // Rows that do not exist are left alone rather than written past the end.
    lookups.setResult(2, QStringLiteral("1 ms"), QStringLiteral("00000001"));
    lookups.setResponseText(-1, QStringLiteral("."));
    QCOMPARE(changed.count(), 2);
    QVERIFY(!lookups.index(5, 0).data().isValid());
}

void TestResultModels::summaryMarks() {
    SummaryTableModel summary;
    QAbstractItemModelTester tester(&summary,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&summary, &QAbstractItemModel::dataChanged);

    const int local = summary.appendSummary(
        {QStringLiteral("192.0.2.1 - local"), "20 ms", "00000020", "20 ms", "00000020", true});
    const int plain = appendSummary(summary, QStringLiteral("192.0.2.2"), 30.0, 30.0);
    QCOMPARE(summary.summaryAt(local).serverEntry, "192.0.2.1 - local");
    QCOMPARE(columnTexts(summary, 2), (QStringList{"00000020", "00000030"}));
    QCOMPARE(rightAligned(summary, plain), (QList<bool>{false, true, true, true, true}));
    QCOMPARE(markOf(summary, local, SummaryTableModel::DnsServer), kLocal);
    for (int column = 0; column < SummaryTableModel::kColumnCount; ++column) {
        if (column != SummaryTableModel::DnsServer)
            QCOMPARE(markOf(summary, local, column), kNone);
        QCOMPARE(markOf(summary, plain, column), kNone);
    }

    // A winning mark replaces the local one, and a cell's own mark beats its row's.
    summary.setRowMark(local, Mark::Winner);
    QCOMPARE(markOf(summary, local, 0), kWinner);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(2).value<QList<int>>(), QList<int>{MarkRole});
    summary.setCellMark(plain, SummaryTableModel::MeanResponse, Mark::Winner);
    QCOMPARE(markOf(summary, plain, SummaryTableModel::MeanResponse), kWinner);
    QCOMPARE(markOf(summary, plain, SummaryTableModel::DnsServer), kNone);

    // Colours once set are never taken back or downgraded.
    changed.clear();
    summary.setRowMark(local, Mark::Local);
    summary.setRowMark(local, Mark::None);
    summary.setCellMark(plain, SummaryTableModel::MeanResponse, Mark::None);
    summary.setCellMark(plain, SummaryTableModel::kColumnCount, Mark::Winner);
    summary.setRowMark(7, Mark::Winner);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(markOf(summary, local, 0), kWinner);
    QCOMPARE(markOf(summary, plain, SummaryTableModel::MeanResponse), kWinner);
}

void TestResultModels::everyClickFlipsTheOrder() {
    SummaryTableModel summary;
    appendSummary(summary, QStringLiteral("B.test"), 30.0, 10.0);
    appendSummary(summary, QStringLiteral("a.test"), 20.0, 40.0);
    appendSummary(summary, QStringLiteral("c.test"), 10.0, 20.0);
    ResultSortProxy proxy(List::Summary);
    proxy.setSourceModel(&summary);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // The summary starts ascending, so its first click sorts descending.
    QCOMPARE(proxy.currentOrder(), Qt::AscendingOrder);
    proxy.columnClicked(1); // "Mean Response"
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"B.test", "a.test", "c.test"}));
    // A different column still flips: ascending by median now.
    proxy.columnClicked(3);
    QCOMPARE(proxy.sortColumn(), int(SummaryTableModel::RealMedianResponseTime));
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"B.test", "c.test", "a.test"}));
    // Names compare as text, regardless of case (by code, "B" would sort before "a").
    proxy.columnClicked(0);
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"c.test", "B.test", "a.test"}));
    // A section the list does not have changes nothing, not even the direction.
    proxy.columnClicked(SummaryTableModel::kColumnCount);
    proxy.columnClicked(-1);
    QCOMPARE(proxy.currentOrder(), Qt::DescendingOrder);
    QCOMPARE(proxy.sortColumn(), int(SummaryTableModel::DnsServer));
}

void TestResultModels::summaryResortKeepsTheOrder() {
    SummaryTableModel summary;
    ResultSortProxy proxy(List::Summary);
    proxy.setSourceModel(&summary);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.resortByMean(); // an empty list sorts without complaint
    QCOMPARE(proxy.rowCount(), 0);

    appendSummary(summary, QStringLiteral("s1"), 50.0, 50.0);
    appendSummary(summary, QStringLiteral("s2"), -3.2, 10.0); // key 000000-4 sorts first
    appendSummary(summary, QStringLiteral("s3"), 1005.0, 1005.0);
    proxy.resortByMean();
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"s2", "s1", "s3"}));

    proxy.columnClicked(4); // descending by median
    proxy.resortByMean();   // the run keeps the user's direction
    QCOMPARE(proxy.sortColumn(), int(SummaryTableModel::RealMeanResponseTime));
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"s3", "s1", "s2"}));

    ResultSortProxy lookupsProxy(List::Lookups);
    lookupsProxy.resortByMean(); // only the summary has a mean
    QVERIFY(!lookupsProxy.isSorted());
}

void TestResultModels::sortedListPlacesNewRows() {
    LookupTableModel lookups;
    ResultSortProxy proxy(List::Lookups);
    proxy.setSourceModel(&lookups);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    appendLookup(lookups, QStringLiteral("a.test"), 120.0);
    appendLookup(lookups, QStringLiteral("b.test"), 95.0);
    proxy.columnClicked(2);
    appendLookup(lookups, QStringLiteral("c.test"), 100.0);
    QCOMPARE(columnTexts(proxy, 0), (QStringList{"b.test", "c.test", "a.test"}));
    // A source row number stays valid whatever the proxy's order.
    QCOMPARE(proxy.mapToSource(proxy.index(1, 0)).row(), 2);
}

QTEST_GUILESS_MAIN(TestResultModels)
#include "tst_resultmodels.moc"
