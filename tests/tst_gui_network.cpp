// A run clicked from the window over real UDP: the probe against loopback fake responders,
// with a silent domain timing out (on a short injected timeout) among answered ones.

#include "core/probe.h"
#include "core/resultmodels.h"
#include "entrylist.h"
#include "fixtures/fakeresponder.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <chrono>

using namespace tarnbell;
using namespace std::chrono_literals;
using testing::FakeResponder;

class TestGuiNetwork final : public QObject {
    Q_OBJECT

private slots:
    void runAgainstResponders();
    void timesHoldWhileTheWindowIsBusy();
};

void TestGuiNetwork::runAgainstResponders() {
    FakeResponder slow;
    FakeResponder quick;
    QVERIFY(slow.isListening() && quick.isListening());
    slow.setDefaultBehaviour({.delay = 30ms});
    slow.setBehaviour(QStringLiteral("silent.test"), {.reply = FakeResponder::Reply::Silent});
    quick.setBehaviour(QStringLiteral("silent.test"), {.reply = FakeResponder::Reply::Silent});

    auto probe = std::make_unique<core::Probe>();
    probe->setTimeout(3, 20ms); // a silent server "times out" after 60 ms instead of 10 s
    // The slow responder plays the machine's own resolver.
    const auto test = testing::makeWindow(slow.serverText(), 100, std::move(probe));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    const QString slowEntry = slow.serverText() + QStringLiteral(" - local");
    const QString quickEntry = quick.serverText() + QStringLiteral(" - quick");
    testing::setLists(window, {slowEntry, quickEntry}, {"a.test", "silent.test", "b.test"});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy finished(&window, &frmMain::runFinished);
    QTest::mouseClick(ui.cmdGo, Qt::LeftButton);
    QVERIFY(finished.wait(15000));
    const QString completion = testing::acceptMessage();
    QCOMPARE(completion, QStringLiteral("Completed!\r\n\r\nFastest server was:\r\n") + quickEntry);

    // Every query reached its server: three each, in list order.
    QCOMPARE(slow.queryCount(), 3);
    QCOMPARE(quick.queryCount(), 3);
    QCOMPARE(FakeResponder::questionName(slow.queries().at(1)), QStringLiteral("silent.test"));

    const QAbstractItemModel* rows = ui.lvDNS->model();
    QCOMPARE(rows->rowCount(), 6);
    for (int row = 0; row < 6; ++row) {
        const QString server = rows->index(row, 1).data().toString();
        const QString domain = rows->index(row, 0).data().toString();
        const QString time = rows->index(row, 2).data().toString();
        const QString key = rows->index(row, 3).data().toString();
        QCOMPARE(server, row < 3 ? slowEntry : quickEntry);
        QVERIFY2(time.endsWith(QStringLiteral(" ms")), qPrintable(time));
        QCOMPARE(key.size(), 8);
        QCOMPARE(key.toInt(), time.chopped(3).toInt());
        if (domain == QStringLiteral("silent.test"))
            QCOMPARE(time, QStringLiteral("10000 ms")); // a timeout counts as ten seconds
        else if (row < 3)
            QVERIFY2(key.toInt() >= 30, qPrintable(time)); // never before the 30 ms delay
    }

    // The local resolver is marked red; its mean carries the timeout.
    const QAbstractItemModel* summary = ui.lvSummary->model();
    QCOMPARE(summary->index(1, 0).data().toString(), slowEntry);
    QCOMPARE(summary->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(summary->index(1, 2).data().toString() > QStringLiteral("00003333"));
}

// The window's thread is kept busy for 30 ms at a time, over and over, while a responder on
// a thread of its own answers every query after 20 ms: no row may carry that busy time. A
// row reads the responder's own service time in whole milliseconds, or one more.
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

QTEST_MAIN(TestGuiNetwork)
#include "tst_gui_network.moc"
