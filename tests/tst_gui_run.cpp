// Runs started from the window against a scripted probe: a whole run to its completion box
// and what it leaves on screen, a first start's built-in domains asked at once, Pause/Resume,
// Skip and Stop clicked during a run, two runs and "Clear results", and the question before
// closing; and "Export CSV" afterwards.

#include "closeguard.h"
#include "copyrows.h"
#include "core/lists/defaultservers.h"
#include "core/results/figurestablemodel.h"
#include "core/results/resultmodels.h"
#include "detailsview.h"
#include "guisupport/windowdriver.h"
#include "readablecolour.h"
#include "resultview.h"
#include "timechart.h"

#include <QAction>
#include <QBoxPlotSeries>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLogValueAxis>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::ScriptedProbe;
using testing::TestWindow;

namespace {

// Fills the lists and clicks "Benchmark!". With `hold`, every lookup waits for
// releaseOne(), and this returns once the first is under way.
void clickGo(TestWindow& test, const QStringList& servers, const QStringList& domains,
             bool hold = false) {
    testing::setLists(*test.window, servers, domains);
    test.probe->setHolding(hold);
    QTest::mouseClick(test.window->controls().cmdGo, Qt::LeftButton);
    if (hold)
        QTRY_VERIFY(test.probe->isWaiting());
}

// Lets the held lookup answer and waits for the next one to be asked or the run to end.
void releaseOne(TestWindow& test) {
    const qsizetype asked = test.probe->calls().size();
    test.probe->release();
    QTRY_VERIFY(test.probe->calls().size() > asked || !test.window->isRunning());
}

// Clicks "Export CSV", saves as `path` (".csv" added to a bare name), answers Yes when asked
// before `replaces` a file, and returns what the file then holds: nothing when the dialog
// opened elsewhere than in the user's folders or asked otherwise than expected.
QByteArray exportTo(frmMain& window, const QString& path, bool replaces = false) {
    QTest::mouseClick(window.controls().cmdExport, Qt::LeftButton);
    auto* dialog = testing::waitForModal<QFileDialog>();
    if (!dialog || dialog->windowTitle() != "Export CSV" ||
        dialog->directory() == QDir(QCoreApplication::applicationDirPath()))
        return {};
    // The dialog asks in an event loop of its own: answered from a timer.
    QObject scope;
    bool asked = false;
    QTimer::singleShot(0, &scope, [&asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        asked = box && box->button(QMessageBox::Yes);
        if (asked)
            box->button(QMessageBox::Yes)->click();
    });
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
    QFile file(QFileInfo(path).suffix().isEmpty() ? path + ".csv" : path);
    return asked == replaces && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void showWindow(frmMain& window) {
    window.resize(900, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

} // namespace

class TestGuiRun final : public QObject {
    Q_OBJECT

private slots:
    void fullRun_data();
    void fullRun();
    void firstStartRuns();
    void pauseSkipAndStop();
    void runColumnsAndClear();
    void closeQuestion_data();
    void closeQuestion();
    void exportMidRun();
};

void TestGuiRun::fullRun_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light scheme") << false;
    QTest::newRow("dark scheme") << true;
}

// Thirty domains answer within one frame of the window, so the last rows arrive after its
// deferred repaint was scheduled: the lists still get every row and the summary. The
// winner is marked blue and the local resolver red in their written colours on a light
// scheme, in readable shades of them on a dark one.
void TestGuiRun::fullRun() {
    QFETCH(bool, dark);
    const auto test = makeWindow(QStringLiteral("127.0.0.2"));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    QPalette palette;
    palette.setColor(QPalette::Base, dark ? QColor(35, 38, 41) : palette.color(QPalette::Base));
    window.setPalette(palette);
    showWindow(window);
    QStringList domains;
    for (int i = 0; i < 30; ++i) {
        domains << QStringLiteral("d%1.example").arg(i);
        test->probe->setReply("127.0.0.2", domains.last(), ScriptedProbe::Reply::answered(0.1204));
        test->probe->setReply("127.0.0.3", domains.last(), ScriptedProbe::Reply::answered(0.0953));
    }
    ui.cDNST->setCurrentIndex(0); // "A 1"
    QSignalSpy finished(&window, &frmMain::runFinished);
    clickGo(*test, {"127.0.0.2 - local", "127.0.0.3 - fast"}, domains);
    QVERIFY(finished.wait());

    // The completion box names the winner; the window stays locked behind it.
    auto* box = testing::waitForModal<QMessageBox>();
    QVERIFY(box && box->text().endsWith(QStringLiteral("127.0.0.3 - fast")));
    QVERIFY(!ui.cmdGo->isEnabled() && !ui.rounds->isEnabled());
    QVERIFY(ui.lvDNS->isEnabled() && ui.lvSummary->isEnabled()); // still readable
    QCOMPARE(ui.lwhowon->text(), QStringLiteral("127.0.0.3 - fast"));
    QVERIFY(ui.lDNS->text().isEmpty()); // no server is under test any more
    QCOMPARE(test->probe->calls().at(0).server, QStringLiteral("127.0.0.2"));
    QCOMPARE(test->probe->calls().at(0).recordType, quint16(1));
    QTRY_COMPARE(ui.lvDNS->model()->rowCount(), 60);
    QTRY_COMPARE(ui.lvSummary->model()->rowCount(), 2);

    // One row per lookup in run order, the last one selected; the summary fastest first.
    const QAbstractItemModel* rows = ui.lvDNS->model();
    QCOMPARE(rows->index(30, 0).data().toString(), "d0.example");
    QCOMPARE(rows->index(29, 2).data().toString() + rows->index(30, 2).data().toString(),
             "120 ms95 ms");
    QCOMPARE(ui.lvDNS->currentIndex().row(), 59);
    QCOMPARE(ui.lvSummary->model()->index(0, 0).data().toString(), "127.0.0.3 - fast");
    const QColor base = ui.lvSummary->palette().color(QPalette::Base);
    for (const auto& [row, written] : {std::pair{0, QColor(Qt::blue)}, {1, QColor(Qt::red)}}) {
        const QColor shown =
            ui.lvSummary->model()->index(row, 0).data(Qt::ForegroundRole).value<QColor>();
        QVERIFY(dark ? gui::ContrastRatio(shown, base) >= gui::kMinimumContrast &&
                           qAbs(shown.hslHue() - written.hslHue()) <= 2
                     : shown == written);
    }

    // The details tab holds the run's figures, fastest first.
    QCOMPARE(window.details()->model()->index(0, 0).data().toString(), "127.0.0.3 - fast");
    QCOMPARE(window.details()->boxes()->count(), 2);
    // Whole decades around 95 and 120 ms on a logarithmic axis, on the lists' background.
    const gui::TimeChart* chart = window.details()->chart();
    QCOMPARE(chart->timeAxis()->min(), 10.0);
    QCOMPARE(chart->timeAxis()->max(), 1000.0);
    QCOMPARE(chart->chart()->backgroundBrush().color(), base);

    QVERIFY(!acceptMessage().isEmpty());
    QVERIFY(!window.isRunning() && ui.cmdGo->isEnabled() && !ui.cmdPause->isEnabled() &&
            !ui.cmdSkip->isEnabled());

    // "Export CSV" adds ".csv" to a bare name, asks before it replaces an old file, leaves no
    // temporary file and names the file on the status line; a column narrowed to a sliver is
    // left out, as it is from copied rows.
    ui.lvDNS->header()->resizeSection(1, 1);
    QCOMPARE(gui::SelectedRowsText(*ui.lvDNS), "d29.example\t95 ms\n");
    QTemporaryDir dir;
    QFile file(dir.filePath("results.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(10000, 'x')) == 10000);
    file.close();
    QVERIFY(window.closeGuard()->hasUnexported());
    const QByteArray text = exportTo(window, dir.filePath("results"), true);
    QVERIFY(!window.closeGuard()->hasUnexported()); // closing asks nothing now
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"results.csv"});
    QCOMPARE(ui.lS->text(), "Exported to " + file.fileName());
    QVERIFY2(text.startsWith("\"Domain\",\"Response Time\"\r\n\"d0.example\",\"120 ms\"\r\n") &&
                 text.contains("\"Median Response\"\r\n\"127.0.0.3 - fast\","),
             text.constData());
}

// A first start has names to ask about, also after "Restore default lists", so "Benchmark!"
// runs at once.
void TestGuiRun::firstStartRuns() {
    QTemporaryDir dir;
    const auto test =
        makeWindow(QString(), 100, {}, testing::nowhere(), dir.filePath("tarnbell.conf"));
    frmMain& window = *test->window;
    QCOMPARE(window.domainList()->entries(), core::DefaultDomains());
    window.domainList()->replaceAll({});
    window.domainList()->widget()->findChild<QAction*>("restoreDefaults")->trigger();
    QCOMPARE(window.domainList()->entries(), core::DefaultDomains());
    window.serverList()->replaceAll({QStringLiteral("127.0.0.8")}); // the domains are the point
    test->probe->setHolding(true);
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    QTRY_VERIFY(test->probe->isWaiting()); // not the box that asks for a domain
    QCOMPARE(test->probe->calls().at(0).domain, core::DefaultDomains().value(0));
}

// The engine test has the order of events; here the buttons drive it.
void TestGuiRun::pauseSkipAndStop() {
    const auto test = makeWindow();
    const auto& ui = test->window->controls();
    clickGo(*test, {"127.0.0.8", "127.0.0.9"}, {"a.example", "b.example", "c.example"}, true);

    // The lookup under way finishes; the run then waits before the next one until resumed.
    QTest::mouseClick(ui.cmdPause, Qt::LeftButton);
    test->probe->release();
    QTRY_VERIFY(ui.cmdPause->isEnabled());
    QTest::qWait(30);
    QCOMPARE(test->probe->calls().size(), 1);
    test->window->cmdClear_Click();                 // refused while the run writes into the lists
    QTRY_COMPARE(ui.lvDNS->model()->rowCount(), 1); // on screen, not held for the next row
    QTest::mouseClick(ui.cmdPause, Qt::LeftButton);
    QTRY_COMPARE(test->probe->calls().size(), 2);
    // Skip during b.example: it is recorded, c.example never asked, the next server starts.
    QTest::mouseClick(ui.cmdSkip, Qt::LeftButton);
    releaseOne(*test);
    QCOMPARE(test->probe->calls().constLast().server, QStringLiteral("127.0.0.9"));
    QCOMPARE(test->probe->calls().constLast().domain, QStringLiteral("a.example"));

    // Escape during the second server's first lookup: it is recorded and summed up, nothing
    // more is asked, no completion box opens, and the window unlocks.
    QTest::keyClick(test->window.get(), Qt::Key_Escape);
    releaseOne(*test);
    QTRY_VERIFY(!test->window->isRunning());
    QCOMPARE(test->probe->calls().size(), 3);
    QCOMPARE(test->window->lookupModel()->rowCount(), 3);
    QCOMPARE(test->window->summaryModel()->rowCount(), 2);
    QVERIFY(!QApplication::activeModalWidget() && ui.cmdGo->isEnabled());
}

// Two runs, the second of two rounds: the lists and the export gain their Run and Round
// columns (the engine test has the marks). "Clear results" then empties everything made from
// the rows, the details included, and the columns go again.
void TestGuiRun::runColumnsAndClear() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    test->probe->setReply("127.0.0.9", "a.example", ScriptedProbe::Reply::answered(0.0101));
    for (const int rounds : {1, 2}) {
        ui.rounds->setValue(rounds);
        clickGo(*test, {"127.0.0.8", "127.0.0.9"}, {"a.example"});
        QVERIFY(!acceptMessage().isEmpty() && !window.isRunning());
    }
    QTemporaryDir dir;
    const QByteArray text = exportTo(window, dir.filePath("runs.csv"));
    QVERIFY2(text.startsWith("\"Domain\",\"DNS Server\",\"Response Time\",\"Run\",\"Round\"\r\n"
                             "\"a.example\",\"127.0.0.8\",\"47 ms\",\"1\",\"1\"\r\n") &&
                 text.contains("\"Median Response\",\"Run\"\r\n"),
             text.constData());

    ui.cmdClear->click();
    QCOMPARE(window.details()->model()->rowCount() + window.details()->boxes()->count(), 0);
    QVERIFY(ui.lvDNS->header()->isSectionHidden(core::LookupTableModel::Run) &&
            ui.lvSummary->header()->isSectionHidden(core::SummaryTableModel::Run));
    QCOMPARE(ui.lS->text(), QStringLiteral("Ready."));
}

// Closing asks first, once however often the close box is clicked: mid-run, confirmed, the
// window goes and the answer that arrives afterwards goes nowhere; with results not yet
// exported, cancelled, it stays.
void TestGuiRun::closeQuestion_data() {
    QTest::addColumn<bool>("midRun");
    QTest::newRow("mid-run, confirmed") << true;
    QTest::newRow("results not exported, cancelled") << false;
}

void TestGuiRun::closeQuestion() {
    QFETCH(bool, midRun);
    const auto test = makeWindow();
    frmMain& window = *test->window;
    showWindow(window);
    clickGo(*test, {"127.0.0.15", "127.0.0.16"}, {"a.example", "b.example"}, midRun);
    if (!midRun)
        QVERIFY(!acceptMessage().isEmpty());
    const qsizetype asked = test->probe->calls().size();

    QVERIFY(!window.close());
    auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(question && !window.close());
    const auto role = midRun ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
    for (QAbstractButton* button : question->buttons()) {
        if (question->buttonRole(button) == role)
            button->click();
    }
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(test->quitCalls, midRun ? 1 : 0);
    if (midRun) {
        test->probe->release();
        QTest::qWait(30);
        QCOMPARE(test->probe->calls().size(), asked);
        QCOMPARE(window.summaryModel()->rowCount(), 0);
    }
}

// An export clicked mid-run holds every row made so far, also what arrived since the
// window's last repaint.
void TestGuiRun::exportMidRun() {
    const auto test = makeWindow();
    clickGo(*test, {"127.0.0.8"}, {"a.example", "b.example"}, true);
    releaseOne(*test);
    QTemporaryDir dir;
    const QByteArray text = exportTo(*test->window, dir.filePath("mid.csv"));
    QVERIFY2(text.contains("\"a.example\",\"127.0.0.8\",\"47 ms\"\r\n\"b.example\","),
             text.constData());
}

QTEST_MAIN(TestGuiRun)
#include "tst_gui_run.moc"
