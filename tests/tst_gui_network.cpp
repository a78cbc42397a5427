// Measurement honesty: a run clicked from the window over real UDP while the window's thread
// is kept busy for 30 ms at a time, over and over, against a responder on a thread of its own
// that answers every query after 20 ms. No row may carry that busy time: each reads the
// responder's own service time in whole milliseconds, or one more. And the window's time
// limit against a responder that never answers.

#include "core/probe/probe.h"
#include "core/results/resultmodels.h"
#include "fixtures/fakeresponder.h"
#include "guisupport/windowdriver.h"

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace tarnbell;
using namespace std::chrono_literals;

class TestGuiNetwork final : public QObject {
    Q_OBJECT

private slots:
    void timesHoldWhileTheWindowIsBusy();
    void timeLimitEndsSilentLookups();
};

void TestGuiNetwork::timesHoldWhileTheWindowIsBusy() {
    const testing::ResponderThread served({.delay = 20ms});
    const auto test = testing::makeWindow(QString(), 100, std::make_unique<core::Probe>());
    frmMain& window = *test->window;
    const QStringList domains{"a.test", "b.test", "c.test", "d.test", "e.test", "f.test"};
    testing::setLists(window, {served.responder().serverText()}, domains);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTimer busy;
    busy.setInterval(7);
    connect(&busy, &QTimer::timeout, &window, [] { QThread::msleep(30); });
    busy.start();
    QSignalSpy finished(&window, &frmMain::runFinished);
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    QVERIFY(finished.wait(15000));
    busy.stop();
    testing::acceptMessage();

    const QList<double> service = served.responder().serviceSeconds();
    const QAbstractItemModel* rows = window.lookupModel();
    QCOMPARE(rows->rowCount(), domains.size());
    QCOMPARE(service.size(), domains.size());
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QString time =
            rows->index(row, core::LookupTableModel::ResponseTime).data().toString();
        const int servedMs = static_cast<int>(service.at(row) * 1000);
        QVERIFY2(time == QStringLiteral("%1 ms").arg(servedMs) ||
                     time == QStringLiteral("%1 ms").arg(servedMs + 1),
                 qPrintable(QStringLiteral("row %1 reads %2, served in %3 ms")
                                .arg(row)
                                .arg(time)
                                .arg(service.at(row) * 1000)));
    }
}

// The time limit box is the probe's: a silent server's lookups end after it, and count as
// the ten seconds a lookup without an answer counts as in every figure.
void TestGuiNetwork::timeLimitEndsSilentLookups() {
    const testing::ResponderThread silent({.reply = testing::FakeResponder::Reply::Silent});
    const auto test = testing::makeWindow(QString(), 100, std::make_unique<core::Probe>());
    frmMain& window = *test->window;
    testing::setLists(window, {silent.responder().serverText()}, {"a.test", "b.test"});
    window.controls().timeLimit->setValue(0.3);
    QElapsedTimer clock;
    clock.start();
    QSignalSpy finished(&window, &frmMain::runFinished);
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    QVERIFY(clock.elapsed() >= 600);
    testing::acceptMessage();
    QCOMPARE(silent.responder().askedNames().size(), 2);
    QCOMPARE(
        window.summaryModel()->index(0, core::SummaryTableModel::MeanResponse).data().toString(),
        QStringLiteral("10000 ms"));
}

QTEST_MAIN(TestGuiNetwork)
#include "tst_gui_network.moc"
