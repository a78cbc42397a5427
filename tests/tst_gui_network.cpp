// Measurement honesty: a run clicked from the window over real UDP while the window's thread
// is kept busy for 30 ms at a time, over and over, against a responder on a thread of its own
// that answers every query after 20 ms. No row may carry that busy time: each reads the
// responder's own service time in whole milliseconds, or one more.

#include "core/probe/probe.h"
#include "core/results/resultmodels.h"
#include "fixtures/fakeresponder.h"
#include "guisupport/windowdriver.h"

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

QTEST_MAIN(TestGuiNetwork)
#include "tst_gui_network.moc"
