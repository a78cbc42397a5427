// The batching proxy between the lookup model and its view: appended rows and changed cells
// reach the view only on flush(), appended rows in one insertion; through all of it the
// proxy stays a valid model.

#include "core/results/resultmodels.h"
#include "rowbatchproxy.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using tarnbell::core::LookupTableModel;
using tarnbell::gui::RowBatchProxy;

class TestGuiRowBatch final : public QObject {
    Q_OBJECT

private slots:
    void changesWaitForFlush();
};

void TestGuiRowBatch::changesWaitForFlush() {
    LookupTableModel lookups;
    RowBatchProxy batch;
    batch.setSourceModel(&lookups);
    QAbstractItemModelTester tester(&batch, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&batch, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&batch, &QAbstractItemModel::dataChanged);
    for (int i = 0; i < 4; ++i)
        lookups.appendLookup(QStringLiteral("127.0.0.1"), QStringLiteral("d%1.test").arg(i));
    QCOMPARE(batch.rowCount(), 0);
    batch.flush();
    QCOMPARE(batch.rowCount(), 4);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(batch.mapToSource(batch.index(3, 1)), lookups.index(3, 1));

    lookups.setResult(1, QStringLiteral("95 ms"), QStringLiteral("00000095"));
    lookups.setResult(2, QStringLiteral("9 ms"), QStringLiteral("00000009"));
    // A change to a row not shown yet goes with the row itself.
    lookups.setResult(lookups.appendLookup(QStringLiteral("127.0.0.1"), QStringLiteral("new")),
                      QStringLiteral("7 ms"), QStringLiteral("00000007"));
    QCOMPARE(changed.size(), 0);
    batch.flush();
    QCOMPARE(changed.size(), 1); // rows 1 to 2
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 2);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(batch.index(4, 2).data().toString(), QStringLiteral("7 ms"));
    batch.flush(); // nothing new: nothing emitted
    QCOMPARE(inserted.size() + changed.size(), 3);
}

QTEST_MAIN(TestGuiRowBatch)
#include "tst_gui_rowbatch.moc"
