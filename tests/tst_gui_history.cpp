// The "History" tab after runs from the window: each run listed, a trend line per server,
// a picked run shown as it ended, runs deleted; a history that cannot take a run costs it
// one sentence, not its rows; and a file another program holds neither stops the window nor
// loses the runs waiting for it when the window closes.

#include "core/history/historystore.h"
#include "core/results/figurestablemodel.h"
#include "core/results/resultmodels.h"
#include "detailsview.h"
#include "guisupport/windowdriver.h"
#include "historyview.h"

#include <QChartView>
#include <QLineSeries>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace tarnbell;

namespace {

const QStringList kServers{"127.0.0.1 - one", "127.0.0.2 - two", "127.0.0.3"};

std::unique_ptr<testing::TestWindow> windowKeeping(const QString& historyFile) {
    auto test = testing::makeWindow(
        {}, 100, {}, testing::nowhere(), {},
        [&historyFile](gui::WindowSeams& seams) { seams.historyFile = historyFile; });
    test->window->resize(900, 600);
    test->window->show();
    return test;
}

// A whole run to its completion box.
bool runOnce(frmMain& window) {
    testing::setLists(window, kServers, {"a.test", "b.test"});
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    return !testing::acceptMessage(30000).isNull() &&
           QTest::qWaitFor([&] { return !window.isRunning(); });
}

} // namespace

class TestGuiHistory final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoRunsListedChartedOpenedDeleted();
    void damagedHistoryKeepsTheRun();
    void lockedHistoryKeepsRunsOnClosing();
};

void TestGuiHistory::twoRunsListedChartedOpenedDeleted() {
    QTemporaryDir dir;
    const auto test = windowKeeping(dir.filePath("h.db"));
    frmMain& window = *test->window;
    QVERIFY(runOnce(window) && runOnce(window));
    gui::HistoryView* history = window.history();
    window.controls().resultTabs->setCurrentWidget(history);
    QCOMPARE(history->findChild<QLabel*>("historyProblem")->text(), "Reading the history…");
    QTreeWidget* runs = history->runList();
    QTRY_COMPARE(runs->topLevelItemCount(), 2);
    const QList<QAbstractSeries*> lines = history->trend()->chart()->series();
    QCOMPARE(lines.size(), kServers.size());
    for (QAbstractSeries* line : lines)
        QCOMPARE(qobject_cast<QLineSeries*>(line)->count(), 2);
    QSignalSpy shown(history, &gui::HistoryView::runShown);
    runs->setCurrentItem(runs->topLevelItem(1));
    QVERIFY(shown.wait());
    QCOMPARE(history->openedServers()->rowCount(), kServers.size());
    QCOMPARE(history->openedDetails()->model()->rowCount(), kServers.size());
    QVERIFY(history->openedSummary()->text().contains("3 servers x 2 domains"));
    QTest::mouseClick(history->findChild<QPushButton*>("historyDelete"), Qt::LeftButton);
    QVERIFY(!testing::answerQuestion(true).isNull());
    QTRY_COMPARE(runs->topLevelItemCount(), 1);
}

void TestGuiHistory::damagedHistoryKeepsTheRun() {
    QTemporaryDir dir;
    QFile damaged(dir.filePath("h.db"));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, 'x')) == 8192);
    damaged.close();
    const auto test = windowKeeping(damaged.fileName());
    QVERIFY(runOnce(*test->window));
    QTRY_VERIFY2(test->window->controls().lS->text().endsWith(
                     "History not saved: the file is damaged or is not a history file"),
                 qPrintable(test->window->controls().lS->text()));
    QCOMPARE(test->window->lookupModel()->rowCount(), kServers.size() * 2);
    QCOMPARE(test->window->summaryModel()->rowCount(), kServers.size());
}

// Two runs end while another program holds the file: the window goes on (writing on the
// window's thread would wait out the busy timeout and lose both), and closing it at once
// still keeps both.
void TestGuiHistory::lockedHistoryKeepsRunsOnClosing() {
    QTemporaryDir dir;
    const QString file = dir.filePath("h.db");
    QVERIFY(core::HistoryStore(file).runs());
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(file);
        QVERIFY(other.open() && QSqlQuery(other).exec("BEGIN IMMEDIATE"));
        auto test = windowKeeping(file);
        QVERIFY(runOnce(*test->window) && runOnce(*test->window));
        QVERIFY(QSqlQuery(other).exec("ROLLBACK"));
        test.reset();
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(core::HistoryStore(file).runs().value_or(QList<core::PastRun>{}).size(), 2);
}

QTEST_MAIN(TestGuiHistory)
#include "tst_gui_history.moc"
