// Runs started from the window against a scripted probe: a whole run to its completion box
// and what it leaves on screen, Pause/Resume, Skip and Stop clicked during a run, and the
// question before closing.

#include "core/results/figurestablemodel.h"
#include "core/results/resultmodels.h"
#include "core/run/benchmarkengine.h"
#include "detailsview.h"
#include "guisupport/windowdriver.h"
#include "readablecolour.h"
#include "resultview.h"

#include <QBoxPlotSeries>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::ScriptedProbe;
using testing::TestWindow;

namespace {

// The texts of one column of a result list, in the order the view shows them.
QStringList column(const QTreeView* view, int column) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

QColor textColour(const QAbstractItemModel* model, int row) {
    return model->index(row, 0).data(Qt::ForegroundRole).value<QColor>();
}

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
    QTRY_VERIFY(test.probe->calls().size() > asked || !test.window->engine()->isRunning());
}

void showWindow(frmMain& window) {
    window.resize(900, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

// The row count a view's model had when the view last painted.
class PaintedRows final : public QObject {
public:
    explicit PaintedRows(QTreeView* view) : m_view(view) {
        view->viewport()->installEventFilter(this);
    }
    int rows = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            rows = m_view->model()->rowCount();
        return false;
    }

private:
    QTreeView* m_view;
};

} // namespace

class TestGuiRun final : public QObject {
    Q_OBJECT

private slots:
    void fullRun_data();
    void fullRun();
    void pauseSkipAndStop();
    void closeQuestion_data();
    void closeQuestion();
};

void TestGuiRun::fullRun_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light scheme") << false;
    QTest::newRow("dark scheme") << true;
}

// Thirty domains answer within one frame of the window, so the last rows arrive after its
// deferred repaint was scheduled: the last paint still shows every row and the summary. The
// winner is marked blue and the local resolver red in their written colours on a light
// scheme, in readable shades of them on a dark one.
void TestGuiRun::fullRun() {
    QFETCH(bool, dark);
    const auto test = makeWindow(QStringLiteral("127.0.0.2"));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    if (dark) {
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(35, 38, 41));
        palette.setColor(QPalette::Text, QColor(239, 240, 241));
        window.setPalette(palette);
    }
    showWindow(window);
    QStringList domains;
    for (int i = 0; i < 30; ++i) {
        domains << QStringLiteral("d%1.example").arg(i);
        test->probe->setReply("127.0.0.2", domains.last(), ScriptedProbe::Reply::answered(0.1204));
        test->probe->setReply("127.0.0.3", domains.last(), ScriptedProbe::Reply::answered(0.0953));
    }
    ui.cDNST->setCurrentIndex(0); // "A 1"
    PaintedRows lookupsPainted(ui.lvDNS);
    PaintedRows summaryPainted(ui.lvSummary);
    QSignalSpy finished(&window, &frmMain::runFinished);
    clickGo(*test, {"127.0.0.2 - local", "127.0.0.3 - fast"}, domains);
    QVERIFY(finished.wait());

    // The completion box names the winner; the window stays locked behind it.
    auto* box = testing::waitForModal<QMessageBox>();
    QVERIFY(box && box->text().endsWith(QStringLiteral("127.0.0.3 - fast")));
    QVERIFY(!ui.cmdGo->isEnabled());
    QCOMPARE(ui.lwhowon->text(), QStringLiteral("127.0.0.3 - fast"));
    QCOMPARE(test->probe->calls().at(0).server, QStringLiteral("127.0.0.2"));
    QCOMPARE(test->probe->calls().at(0).recordType, quint16(1));
    QTRY_COMPARE(lookupsPainted.rows, 60);
    QTRY_COMPARE(summaryPainted.rows, 2);

    // One row per lookup in run order, the last one selected; the summary fastest first.
    QCOMPARE(column(ui.lvDNS, 0).mid(29, 2), (QStringList{"d29.example", "d0.example"}));
    QCOMPARE(column(ui.lvDNS, 2).mid(29, 2), (QStringList{"120 ms", "95 ms"}));
    QCOMPARE(ui.lvDNS->currentIndex().row(), 59);
    QCOMPARE(column(ui.lvSummary, 0), QStringList({"127.0.0.3 - fast", "127.0.0.2 - local"}));
    const QColor base = ui.lvSummary->palette().color(QPalette::Base);
    for (const auto& [row, written] : {std::pair{0, QColor(0, 0, 255)}, {1, QColor(255, 0, 0)}}) {
        const QColor shown = textColour(ui.lvSummary->model(), row);
        if (dark) {
            QVERIFY(gui::ContrastRatio(shown, base) >= gui::kMinimumContrast);
            QVERIFY(qAbs(shown.hslHue() - written.hslHue()) <= 2);
        } else {
            QCOMPARE(shown, written);
        }
    }

    // The details tab holds the run's figures, fastest first.
    const core::FiguresTableModel* details = window.details()->model();
    QCOMPARE(details->rowCount(), 2);
    QCOMPARE(details->index(0, core::FiguresTableModel::Server).data().toString(),
             QStringLiteral("127.0.0.3 - fast"));
    QCOMPARE(window.details()->boxes()->count(), 2);

    QVERIFY(!acceptMessage().isEmpty());
    QVERIFY(!window.isRunning());
    QVERIFY(ui.cmdGo->isEnabled() && !ui.cmdPause->isEnabled() && !ui.cmdSkip->isEnabled());
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
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(ui.cmdGo->isEnabled());
}

// What is on the window when the user closes it.
enum class Before { Nothing, HeldRun, FinishedRun };
Q_DECLARE_METATYPE(Before)

void TestGuiRun::closeQuestion_data() {
    QTest::addColumn<Before>("before");
    QTest::addColumn<QString>("answer"); // to the question, "" when none may be asked
    QTest::newRow("nothing to lose") << Before::Nothing << QString();
    QTest::newRow("mid-run, cancelled") << Before::HeldRun << QStringLiteral("cancel");
    QTest::newRow("mid-run, confirmed") << Before::HeldRun << QStringLiteral("close");
    QTest::newRow("results not exported") << Before::FinishedRun << QStringLiteral("cancel");
}

void TestGuiRun::closeQuestion() {
    QFETCH(Before, before);
    QFETCH(QString, answer);
    const auto test = makeWindow();
    frmMain& window = *test->window;
    showWindow(window);
    if (before != Before::Nothing)
        clickGo(*test, {"127.0.0.15", "127.0.0.16"}, {"a.example", "b.example"},
                before == Before::HeldRun);
    if (before == Before::FinishedRun)
        QVERIFY(!acceptMessage().isEmpty());
    const qsizetype asked = test->probe->calls().size();

    QCOMPARE(window.close(), answer.isEmpty());
    auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QCOMPARE(question != nullptr, !answer.isEmpty());
    if (question) {
        QVERIFY(!window.close()); // a second click on the close box asks no second time
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
    if (before != Before::HeldRun)
        return;
    test->probe->release();
    if (!closes) { // the run goes on
        QTRY_COMPARE(test->probe->calls().size(), asked + 1);
        return;
    }
    // Closed mid-run: the answer that arrives afterwards goes nowhere.
    QTest::qWait(30);
    QCOMPARE(test->probe->calls().size(), asked);
    QCOMPARE(window.summaryModel()->rowCount(), 0);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestGuiRun)
#include "tst_gui_run.moc"
