// The batching proxy between the lookup model and its view: appended rows and changed cells
// reach the view only on flush(), in one insertion, and the proxy stays a valid model.

#include "core/resultmodels.h"
#include "rowbatchproxy.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

using tarnbell::core::LookupTableModel;
using tarnbell::gui::RowBatchProxy;

class TestGuiRowBatch final : public QObject {
    Q_OBJECT

private slots:
    void rowsWaitForFlush();
    void changedCellsWaitForFlush();
    void otherChangesReset();
};

void TestGuiRowBatch::rowsWaitForFlush() {
    LookupTableModel lookups;
    RowBatchProxy batch;
    batch.setSourceModel(&lookups);
    QAbstractItemModelTester tester(&batch, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy pending(&batch, &RowBatchProxy::pending);
    QSignalSpy inserted(&batch, &QAbstractItemModel::rowsInserted);

    for (int i = 0; i < 5; ++i)
        lookups.appendLookup(QStringLiteral("127.0.0.1"), QStringLiteral("d%1.test").arg(i));
    QCOMPARE(batch.rowCount(), 0);
    QVERIFY(batch.hasPending());
    QCOMPARE(pending.size(), 5);
    QVERIFY(!batch.index(0, 0).isValid());
    QVERIFY(!batch.mapFromSource(lookups.index(0, 0)).isValid());

    batch.flush();
    QCOMPARE(batch.rowCount(), 5);
    QCOMPARE(inserted.size(), 1); // one insertion for the whole batch
    QCOMPARE(inserted.first().at(1).toInt(), 0);
    QCOMPARE(inserted.first().at(2).toInt(), 4);
    QCOMPARE(batch.index(3, LookupTableModel::Domain).data().toString(), QStringLiteral("d3.test"));
    QCOMPARE(batch.mapToSource(batch.index(4, 1)), lookups.index(4, 1));
    QCOMPARE(batch.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Response Time"));
    QVERIFY(!batch.hasPending());

    batch.flush(); // nothing new: nothing emitted
    QCOMPARE(inserted.size(), 1);
}

void TestGuiRowBatch::changedCellsWaitForFlush() {
    LookupTableModel lookups;
    RowBatchProxy batch;
    batch.setSourceModel(&lookups);
    QAbstractItemModelTester tester(&batch, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 4; ++i)
        lookups.appendLookup(QStringLiteral("127.0.0.1"), QStringLiteral("d%1.test").arg(i));
    batch.flush();
    QSignalSpy changed(&batch, &QAbstractItemModel::dataChanged);

    lookups.setResponseText(1, QStringLiteral(".."));
    lookups.setResult(2, QStringLiteral("95 ms"), QStringLiteral("00000095"));
    QCOMPARE(changed.size(), 0);
    QVERIFY(batch.hasPending());
    // The proxy reads through: a repaint before the flush already sees the new text.
    QCOMPARE(batch.index(2, 2).data().toString(), QStringLiteral("95 ms"));

    batch.flush();
    QCOMPARE(changed.size(), 1); // rows 1 to 2, all columns
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 2);
    QCOMPARE(changed.first().at(1).toModelIndex().column(), LookupTableModel::kColumnCount - 1);

    // A change to a row not shown yet goes with the row itself.
    const int row = lookups.appendLookup(QStringLiteral("127.0.0.1"), QStringLiteral("new.test"));
    lookups.setResult(row, QStringLiteral("7 ms"), QStringLiteral("00000007"));
    batch.flush();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(batch.index(row, 2).data().toString(), QStringLiteral("7 ms"));
}

void TestGuiRowBatch::otherChangesReset() {
    QStandardItemModel model(3, 2);
    RowBatchProxy batch;
    batch.setSourceModel(&model);
    QAbstractItemModelTester tester(&batch, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(&batch, &QAbstractItemModel::modelReset);

    model.insertRow(0); // not an append
    QCOMPARE(reset.size(), 1);
    QCOMPARE(batch.rowCount(), 4);
    model.removeRow(1);
    QCOMPARE(reset.size(), 2);
    QCOMPARE(batch.rowCount(), 3);
    model.appendRow(new QStandardItem(QStringLiteral("x")));
    QCOMPARE(batch.rowCount(), 3);
    batch.flush();
    QCOMPARE(batch.rowCount(), 4);
}

QTEST_MAIN(TestGuiRowBatch)
#include "tst_gui_rowbatch.moc"
