// Runs started from the window: the empty-list messages, a whole run clicked through to its
// completion box, the lock and unlock of the controls, Pause/Resume and Skip clicked during
// a run, the progress fill, header-click sorting, the "Ready." reset, the details tab after
// a run, Clear results and the question before closing.

#include "closeguard.h"
#include "core/benchmarkengine.h"
#include "core/figurestablemodel.h"
#include "core/resultmodels.h"
#include "core/runtimers.h"
#include "detailsview.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"
#include "readablecolour.h"
#include "resultview.h"
#include "statusstrip.h"

#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>
#include <cmath>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::ScriptedProbe;
using testing::setLists;
using testing::TestWindow;

namespace {

// The controls a run locks, in lock order, then the ones it leaves alone.
const QStringList kRunLocked{"lvDNS",      "lvSummary", "cmdRandomD", "cServersD",  "cServers",
                             "cmdRandomN", "cDomainD",  "cDomain",    "cmdConnect", "cGResults",
                             "cDNST",      "rounds",    "rand",       "cmdGo"};
const QStringList kNeverLocked{"cmdExport", "reseed"};

QMap<QString, bool> enabledStates(const frmMain& window) {
    QMap<QString, bool> states;
    for (const QString& name : kRunLocked + kNeverLocked + QStringList{"cmdPause", "cmdSkip"})
        states[name] = window.findChild<QWidget*>(name)->isEnabled();
    return states;
}

// The texts of one column of a result list, in the order the view shows them.
QStringList column(const QTreeView* view, int column) {
    QStringList texts;
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

QColor textColour(const QTreeView* view, int row, int column) {
    return view->model()->index(row, column).data(Qt::ForegroundRole).value<QColor>();
}

void clickHeader(QTreeView* view, int section) {
    QHeaderView* header = view->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Fills the lists and clicks "Benchmark!". With `hold`, every lookup waits for
// releaseOne(), and this returns once the first is under way.
void clickGo(TestWindow& test, const QStringList& servers, const QStringList& domains,
             bool hold = false) {
    setLists(*test.window, servers, domains);
    test.probe->setHolding(hold);
    QTest::mouseClick(test.window->controls().cmdGo, Qt::LeftButton);
    if (hold)
        QTRY_VERIFY(test.probe->isWaiting());
}

// Lets the held lookup under way answer and waits for the next one to be asked, or for
// the run to end.
void releaseOne(TestWindow& test) {
    const qsizetype asked = test.probe->calls().size();
    test.probe->release();
    QTRY_VERIFY(test.probe->calls().size() > asked || !test.window->engine()->isRunning());
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
    void emptyListMessages_data();
    void emptyListMessages();
    void fullRun();
    void progressFill_data();
    void progressFill();
    void pauseResumeSkipAndStop();
    void headerClickSortsByKeys();
    void readyAfterRun();
    void clearResults();
    void closeQuestion_data();
    void closeQuestion();
    void detailsShowTheRunsFigures();
};

void TestGuiRun::emptyListMessages_data() {
    QTest::addColumn<QStringList>("servers");
    QTest::addColumn<QStringList>("domains");
    QTest::addColumn<QString>("message");
    const QString domainMessage =
        QStringLiteral("You must have at least one domain to test your DNS!");
    QTest::newRow("both empty") << QStringList() << QStringList() << domainMessage;
    QTest::newRow("no domains") << QStringList{"127.0.0.1"} << QStringList() << domainMessage;
    QTest::newRow("no servers") << QStringList() << QStringList{"example.com"}
                                << QStringLiteral(
                                       "You must have at least one DNS Server to test your DNS!");
}

void TestGuiRun::emptyListMessages() {
    QFETCH(QStringList, servers);
    QFETCH(QStringList, domains);
    QFETCH(QString, message);
    const auto test = makeWindow();
    setLists(*test->window, servers, domains);
    const auto before = enabledStates(*test->window);

    QTest::mouseClick(test->window->controls().cmdGo, Qt::LeftButton);
    QCOMPARE(acceptMessage(), message);
    QVERIFY(!QApplication::activeModalWidget()); // one box only
    QCOMPARE(enabledStates(*test->window), before);
    QVERIFY(test->probe->calls().isEmpty());
    QCOMPARE(test->window->controls().lS->text(), QStringLiteral("Ready."));
}

void TestGuiRun::fullRun() {
    const auto test = makeWindow(QStringLiteral("127.0.0.2"));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    for (const QString domain : {"example.com", "example.org"}) {
        test->probe->setReply(QStringLiteral("127.0.0.2"), domain,
                              ScriptedProbe::Reply::answered(0.1204));
        test->probe->setReply(QStringLiteral("127.0.0.3"), domain,
                              ScriptedProbe::Reply::answered(0.0953));
    }
    ui.cDNST->setCurrentIndex(0); // "A 1"
    QSignalSpy finished(&window, &frmMain::runFinished);
    QSignalSpy unlocked(&window, &frmMain::runUnlocked);
    clickGo(*test, {"127.0.0.2 - local", "127.0.0.3 - fast"}, {"example.com", "example.org"});
    QVERIFY(window.isRunning());
    QVERIFY(finished.wait());

    // The completion box is open and the window is still locked behind it.
    auto* box = testing::waitForModal<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("Tarnbell"));
    const QString completion =
        QStringLiteral("Completed!\r\n\r\nFastest server was:\r\n127.0.0.3 - fast");
    QCOMPARE(box->text(), completion);
    const auto locked = enabledStates(window);
    for (const QString& name : kRunLocked) {
        // The run's own last step enables "Get URLs"; the modal box still keeps it unclickable.
        QVERIFY2(locked[name] == (name == QStringLiteral("cmdConnect")), qPrintable(name));
    }
    QVERIFY(locked[QStringLiteral("cmdSkip")]);
    for (const QString& name : kNeverLocked)
        QVERIFY2(locked[name], qPrintable(name));
    QVERIFY(unlocked.isEmpty());

    QCOMPARE(ui.lS->text(),
             QStringLiteral("Completed! - Fastest DNS Server was: 127.0.0.3 - fast"));
    QCOMPARE(ui.lProgress->text(), QStringLiteral("100% complete"));
    QCOMPARE(ui.lwhowon->text(), QStringLiteral("127.0.0.3 - fast"));
    QCOMPARE(ui.lDNS->text(), QStringLiteral("127.0.0.3 - fast"));
    // The probe got the address part and the chosen record type's code.
    QCOMPARE(test->probe->calls().at(0).server, QStringLiteral("127.0.0.2"));
    QCOMPARE(test->probe->calls().at(0).recordType, quint16(1));

    // One row per lookup, in run order, the last one selected; one summary row per server,
    // fastest mean first, the winner blue and the local resolver red.
    QCOMPARE(column(ui.lvDNS, 0),
             QStringList({"example.com", "example.org", "example.com", "example.org"}));
    QCOMPARE(column(ui.lvDNS, 2), QStringList({"120 ms", "120 ms", "95 ms", "95 ms"}));
    QCOMPARE(ui.lvDNS->currentIndex().row(), 3);
    QCOMPARE(column(ui.lvSummary, 0), QStringList({"127.0.0.3 - fast", "127.0.0.2 - local"}));
    QCOMPARE(column(ui.lvSummary, 3), QStringList({"95 ms", "120 ms"}));
    QCOMPARE(textColour(ui.lvSummary, 0, 0), QColor(0, 0, 255));
    QCOMPARE(textColour(ui.lvSummary, 0, 1), QColor(0, 0, 255));
    QCOMPARE(textColour(ui.lvSummary, 0, 3), QColor(0, 0, 255));
    QCOMPARE(textColour(ui.lvSummary, 1, 0), QColor(255, 0, 0));
    // A row's mark colours its first cell; the other cells only by marks of their own.
    QVERIFY(!ui.lvSummary->model()->index(1, 1).data(Qt::ForegroundRole).isValid());
    QVERIFY(!ui.lvDNS->model()->index(0, 0).data(Qt::ForegroundRole).isValid());

    // Dismissing the box unlocks the window.
    QCOMPARE(acceptMessage(), completion);
    QCOMPARE(unlocked.size(), 1);
    QVERIFY(!window.isRunning());
    const auto after = enabledStates(window);
    for (const QString& name : kRunLocked + kNeverLocked)
        QVERIFY2(after[name], qPrintable(name));
    QVERIFY(!after[QStringLiteral("cmdPause")]);
    QVERIFY(!after[QStringLiteral("cmdSkip")]);
}

void TestGuiRun::progressFill_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light scheme") << false;
    QTest::newRow("dark scheme") << true;
}

// The fill and the marks in their written colours where those are readable (a light
// scheme), and in readable shades of them on a dark one.
void TestGuiRun::progressFill() {
    QFETCH(bool, dark);
    const auto test = makeWindow(QStringLiteral("127.0.0.6"));
    if (dark) {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(49, 54, 59));
        palette.setColor(QPalette::Base, QColor(35, 38, 41));
        palette.setColor(QPalette::WindowText, QColor(239, 240, 241));
        palette.setColor(QPalette::Text, QColor(239, 240, 241));
        test->window->setPalette(palette);
    }
    showWindow(*test->window);
    const auto& ui = test->window->controls();
    const QColor text = ui.lS->palette().color(QPalette::WindowText);
    const auto fillIs = [&ui, dark, text](const QColor& written) {
        const QColor fill = ui.sProgress->grab().toImage().pixelColor(1, 1);
        return dark ? gui::ContrastRatio(fill, text) >= gui::kMinimumContrast : fill == written;
    };
    for (const QString domain : {"a.example", "b.example"})
        test->probe->setReply(QStringLiteral("127.0.0.6"), domain,
                              ScriptedProbe::Reply::answered(0.2));
    clickGo(*test, {"127.0.0.6 - local", "127.0.0.7"}, {"a.example", "b.example"}, true);
    for (int i = 0; i < 3; ++i)
        releaseOne(*test);
    // Three lookups done: the third counts from 2 of 4, so 50 %.
    QCOMPARE(ui.lProgress->text(), QStringLiteral("50.00% complete"));
    const int stripWidth = ui.sProgressOut->contentsRect().width();
    QVERIFY(qAbs(ui.sProgress->width() - stripWidth / 2) <= 1);
    QCOMPARE(ui.sProgress->height(), ui.sProgressOut->contentsRect().height());
    QTRY_VERIFY(fillIs(QColor(150, 205, 205)));

    releaseOne(*test);
    QVERIFY(!acceptMessage().isEmpty());
    QCOMPARE(ui.sProgress->width(), stripWidth);
    QTRY_VERIFY(fillIs(QColor(150, 255, 255)));

    // The winner blue, the local resolver red.
    const QColor base = ui.lvSummary->palette().color(QPalette::Base);
    for (const auto& [row, written] : {std::pair{0, QColor(0, 0, 255)}, {1, QColor(255, 0, 0)}}) {
        const QColor shown = textColour(ui.lvSummary, row, 0);
        if (!dark) {
            QCOMPARE(shown, written);
            continue;
        }
        QVERIFY(gui::ContrastRatio(shown, base) >= gui::kMinimumContrast);
        QVERIFY(qAbs(shown.hslHue() - written.hslHue()) <= 2);
    }
}

// Pause, Resume and Skip as clicked: the engine's order of events is the engine test's; here
// the buttons, their captions and the status line follow it.
void TestGuiRun::pauseResumeSkipAndStop() {
    const auto test = makeWindow();
    const auto& ui = test->window->controls();
    clickGo(*test, {"127.0.0.8", "127.0.0.9"}, {"a.example", "b.example", "c.example"}, true);

    QTest::mouseClick(ui.cmdPause, Qt::LeftButton);
    QVERIFY(!ui.cmdPause->isEnabled());
    QCOMPARE(ui.lS->text(), QStringLiteral("Finishing current lookup before pausing..."));
    // The lookup under way finishes; the run then stops before the next one.
    test->probe->release();
    QTRY_COMPARE(QString(ui.cmdPause->text()).remove('&'), QStringLiteral("Resume"));
    QVERIFY(ui.cmdPause->isEnabled());
    QCOMPARE(ui.lS->text(), QStringLiteral("Paused!"));
    QTest::qWait(30);
    QCOMPARE(test->probe->calls().size(), 1);
    QVERIFY(!ui.cmdGo->isEnabled());

    QTest::mouseClick(ui.cmdPause, Qt::LeftButton);
    QCOMPARE(QString(ui.cmdPause->text()).remove('&'), QStringLiteral("Pause"));
    QTRY_COMPARE(test->probe->calls().size(), 2);
    // Skip during b.example: it is recorded, c.example never asked, the next server starts.
    QTest::mouseClick(ui.cmdSkip, Qt::LeftButton);
    QVERIFY(!ui.cmdSkip->isEnabled());
    releaseOne(*test);
    QCOMPARE(test->probe->calls().constLast().server, QStringLiteral("127.0.0.9"));
    QCOMPARE(test->probe->calls().constLast().domain, QStringLiteral("a.example"));
    QVERIFY(ui.cmdSkip->isEnabled());

    // Escape during the second server's first lookup: it is recorded and summed up, nothing
    // more is asked, no completion box opens, and the window unlocks.
    QTest::keyClick(test->window.get(), Qt::Key_Escape);
    QVERIFY(!ui.cmdStop->isEnabled());
    releaseOne(*test);
    QTRY_VERIFY(!test->window->isRunning());
    QCOMPARE(ui.lS->text(), QStringLiteral("Stopped."));
    QCOMPARE(test->probe->calls().size(), 3);
    QCOMPARE(test->window->lookupModel()->rowCount(), 3);
    QCOMPARE(test->window->summaryModel()->rowCount(), 2);
    QVERIFY(ui.cmdGo->isEnabled());
}

void TestGuiRun::headerClickSortsByKeys() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    showWindow(window);
    const auto& ui = window.controls();
    for (const QString server : {"127.0.0.12", "127.0.0.13"}) {
        test->probe->setReply(server, QStringLiteral("b.example"),
                              ScriptedProbe::Reply::answered(1.0052));
        test->probe->setReply(server, QStringLiteral("a.example"),
                              ScriptedProbe::Reply::answered(0.0951));
        test->probe->setReply(server, QStringLiteral("c.example"),
                              ScriptedProbe::Reply::answered(0.1209));
    }
    clickGo(*test, {"127.0.0.12"}, {"b.example", "a.example", "c.example"});
    QVERIFY(!acceptMessage().isEmpty());
    QTRY_VERIFY(ui.lvDNS->isEnabled());
    QCOMPARE(column(ui.lvDNS, 2), QStringList({"1005 ms", "95 ms", "120 ms"})); // run order

    // "Response Time" sorts by its hidden key, by value, not as text.
    QCOMPARE(ui.lvDNS->header()->sortIndicatorSection(), -1);
    clickHeader(ui.lvDNS, 2);
    QCOMPARE(column(ui.lvDNS, 2), QStringList({"95 ms", "120 ms", "1005 ms"}));
    QCOMPARE(ui.lvDNS->header()->sortIndicatorSection(), 2);
    QCOMPARE(ui.lvDNS->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    // Another column flips the direction too, and its arrow says so.
    clickHeader(ui.lvDNS, 0);
    QCOMPARE(column(ui.lvDNS, 0), QStringList({"c.example", "b.example", "a.example"}));
    QCOMPARE(ui.lvDNS->header()->sortIndicatorSection(), 0);
    QCOMPARE(ui.lvDNS->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(ui.lvDNS, 0);
    QCOMPARE(column(ui.lvDNS, 0), QStringList({"a.example", "b.example", "c.example"}));
    QCOMPARE(ui.lvDNS->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    // The hidden key column itself (zero wide, so only reachable through its handler).
    window.lvDNS_ColumnClick(3);
    QCOMPARE(column(ui.lvDNS, 2), QStringList({"1005 ms", "120 ms", "95 ms"}));

    // The summary: a second run sorts in by mean; a click on "Mean Response" flips it.
    clickGo(*test, {"127.0.0.13", "127.0.0.12"}, {"b.example"});
    QVERIFY(!acceptMessage().isEmpty());
    QTRY_VERIFY(ui.lvSummary->isEnabled());
    QCOMPARE(column(ui.lvSummary, 1), QStringList({"407 ms", "1005 ms", "1005 ms"}));
    clickHeader(ui.lvSummary, 1);
    QCOMPARE(column(ui.lvSummary, 1), QStringList({"1005 ms", "1005 ms", "407 ms"}));
    QCOMPARE(ui.lvSummary->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void TestGuiRun::readyAfterRun() {
    const auto test = makeWindow(QString(), 1); // 1 ms per countdown tick
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    QVERIFY(window.Timer1()->isActive()); // counting from window start
    clickGo(*test, {"127.0.0.14"}, {"a.example"});
    QVERIFY(!window.Timer1()->isActive()); // a run keeps its own status texts
    QVERIFY(!acceptMessage().isEmpty());
    QTRY_COMPARE(ui.lS->text(), QStringLiteral("Ready."));
    QTRY_COMPARE(ui.sProgress->width(), 0);
    QTRY_VERIFY(!window.Timer1()->isActive());
    // The emptied bar keeps its height for the next run.
    QCOMPARE(ui.sProgress->height(), ui.sProgressOut->contentsRect().height());
    QCOMPARE(ui.lProgress->text(), QStringLiteral("100% complete"));
}

void TestGuiRun::clearResults() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    clickGo(*test, {"127.0.0.15", "127.0.0.16"}, {"a.example"}, true);
    QVERIFY(!ui.cmdClear->isEnabled()); // the run holds row numbers
    window.cmdClear_Click();
    QCOMPARE(window.lookupModel()->rowCount(), 1);
    test->probe->setHolding(false);
    test->probe->release();
    QVERIFY(!acceptMessage().isEmpty());
    QVERIFY(ui.cmdClear->isEnabled());

    QTest::mouseClick(ui.cmdClear, Qt::LeftButton);
    QCOMPARE(ui.lvDNS->model()->rowCount(), 0);
    QCOMPARE(ui.lvSummary->model()->rowCount(), 0);
    QCOMPARE(ui.lwhowon->text(), QString());
    // The next run fills the emptied lists from their first row.
    clickGo(*test, {"127.0.0.17"}, {"a.example", "b.example"});
    QVERIFY(!acceptMessage().isEmpty());
    QCOMPARE(column(ui.lvDNS, 1), QStringList({"127.0.0.17", "127.0.0.17"}));
    QCOMPARE(column(ui.lvSummary, 0), QStringList{"127.0.0.17"});
    QCOMPARE(ui.lwhowon->text(), QStringLiteral("127.0.0.17"));
}

// What is on the window when the user closes it, and the answer to the question if one is
// asked ("" when none may be).
enum class Before { Nothing, HeldRun, FinishedRun, ClearedRun };
Q_DECLARE_METATYPE(Before)

void TestGuiRun::closeQuestion_data() {
    QTest::addColumn<Before>("before");
    QTest::addColumn<QString>("answer");
    QTest::newRow("nothing to lose") << Before::Nothing << QString();
    QTest::newRow("mid-run, cancelled") << Before::HeldRun << QStringLiteral("cancel");
    QTest::newRow("mid-run, confirmed") << Before::HeldRun << QStringLiteral("close");
    QTest::newRow("results not exported") << Before::FinishedRun << QStringLiteral("cancel");
    QTest::newRow("results cleared") << Before::ClearedRun << QString();
}

void TestGuiRun::closeQuestion() {
    QFETCH(Before, before);
    QFETCH(QString, answer);
    const auto test = makeWindow();
    frmMain& window = *test->window;
    showWindow(window);
    if (before != Before::Nothing) {
        clickGo(*test, {"127.0.0.15", "127.0.0.16"}, {"a.example", "b.example"},
                before == Before::HeldRun);
    }
    if (before == Before::FinishedRun || before == Before::ClearedRun)
        QVERIFY(!acceptMessage().isEmpty());
    if (before == Before::ClearedRun)
        QTest::mouseClick(window.controls().cmdClear, Qt::LeftButton);
    const QString status = window.controls().lS->text();
    const qsizetype asked = test->probe->calls().size();

    const bool closedAtOnce = window.close();
    QCOMPARE(closedAtOnce, answer.isEmpty());
    auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QCOMPARE(question != nullptr, !answer.isEmpty());
    if (question) {
        QVERIFY(!window.close()); // a second click on the close box asks no second time
        QCOMPARE(QApplication::topLevelWidgets().count(qobject_cast<QWidget*>(question)), 1);
        QAbstractButton* pressed = question->button(QMessageBox::Cancel);
        for (QAbstractButton* button : question->buttons()) {
            if (answer == QStringLiteral("close") &&
                question->buttonRole(button) == QMessageBox::AcceptRole)
                pressed = button;
        }
        pressed->click();
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }
    const bool closes = answer != QStringLiteral("cancel");
    QCOMPARE(test->quitCalls, closes ? 1 : 0);
    QCOMPARE(window.isVisible(), !closes);
    if (before != Before::HeldRun)
        return;

    test->probe->release();
    if (!closes) {
        // The run goes on with its next lookup.
        QTRY_COMPARE(test->probe->calls().size(), asked + 1);
        return;
    }
    // Closed mid-run: the answer that arrives afterwards goes nowhere, no further lookup, no
    // summary.
    QTest::qWait(30);
    QCOMPARE(test->probe->calls().size(), asked);
    QCOMPARE(window.lookupModel()->rowCount(), 1);
    QCOMPARE(window.summaryModel()->rowCount(), 0);
    QCOMPARE(window.controls().lS->text(), status);
    QVERIFY(!QApplication::activeModalWidget());
}

// Two rounds against a fast server, the slower local resolver and one that refuses: the
// details rows and boxes are the core's figures, fastest first, coloured by tie and locality.
// A second run that nobody answers names no winner and marks nothing blue.
void TestGuiRun::detailsShowTheRunsFigures() {
    const auto test = makeWindow(QStringLiteral("127.0.0.2"));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    const QStringList servers{"127.0.0.2 - local", "127.0.0.3 - fast", "127.0.0.4 - refuses"};
    const QStringList domains{"a.test", "b.test", "c.test"};
    test->probe->setReply("127.0.0.2", "a.test", ScriptedProbe::Reply::answered(0.0205));
    test->probe->setReply("127.0.0.2", "b.test", ScriptedProbe::Reply::answered(0.0227));
    test->probe->setReply("127.0.0.2", "c.test", ScriptedProbe::Reply::answered(0.0201));
    test->probe->setDefaultReply(ScriptedProbe::Reply::answered(0.0102));
    for (const QString& domain : domains)
        test->probe->setReply("127.0.0.4", domain, ScriptedProbe::Reply::replied(5, 0.001));
    ui.rounds->setValue(2);
    QSignalSpy finished(&window, &frmMain::runFinished);
    clickGo(*test, servers, domains);
    QVERIFY(finished.wait());
    acceptMessage();

    const core::FiguresTableModel* table = window.details()->model();
    const QList<core::ServerFigures> figures = window.engine()->figures().servers();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(window.details()->boxes()->count(), 3);
    QStringList order;
    for (int row = 0; row < 3; ++row) {
        const QString entry = table->index(row, core::FiguresTableModel::Server).data().toString();
        order << entry;
        const core::ServerFigures& server = figures.at(servers.indexOf(entry));
        QCOMPARE(server.all.lookups, 6);
        const auto cell = [&](int column) { return table->index(row, column).data().toString(); };
        QCOMPARE(cell(core::FiguresTableModel::Answered), QString::number(server.all.answered));
        QCOMPARE(cell(core::FiguresTableModel::Failed), QString::number(server.all.failures));
        QCOMPARE(cell(core::FiguresTableModel::Mean).toDouble(),
                 std::round(server.all.meanMs * 100) / 100);
        QCOMPARE(cell(core::FiguresTableModel::P90).toDouble(),
                 std::round(server.all.p90Ms * 100) / 100);
        const QBoxSet* box = window.details()->boxes()->boxSets().at(row);
        QCOMPARE(box->label(), entry);
        QCOMPARE(box->at(QBoxSet::Median), server.all.exactMedianMs);
        QCOMPARE(box->at(QBoxSet::UpperExtreme), server.all.maxMs);
    }
    QCOMPARE(order, (QStringList{servers[1], servers[0], servers[2]}));
    const QAbstractItemModel* shown = window.findChild<QTableView*>("detailsTable")->model();
    QCOMPARE(shown->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    QCOMPARE(shown->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!shown->index(2, 0).data(Qt::ForegroundRole).isValid());
    QCOMPARE(column(ui.lvDNS, 2).at(12), QStringLiteral("refused by server"));

    for (const QString& domain : domains)
        test->probe->setReply("127.0.0.3", domain, ScriptedProbe::Reply::timedOut());
    ui.rounds->setValue(1);
    clickGo(*test, {servers[2], servers[1]}, {domains[0]});
    QVERIFY(finished.wait());
    QCOMPARE(acceptMessage(), QStringLiteral("No DNS server answered."));
    QCOMPARE(ui.lS->text(), QStringLiteral("No DNS server answered."));
    for (int row = 3; row < 5; ++row)
        QCOMPARE(window.summaryModel()->index(row, 0).data(core::MarkRole).toInt(),
                 int(core::Mark::None));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->index(0, core::FiguresTableModel::Tied).data().toString(), QString());
}

QTEST_MAIN(TestGuiRun)
#include "tst_gui_run.moc"
