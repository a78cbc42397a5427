// The growing dots of the row under test and the return to "Ready." after a run.

#include "runtimers.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::gui;

class TestRunTimers final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // 0.4 dots a tick, up to 25 on tick 62, restarted by every new row.
    void dots() {
        DotAnimator dots;
        QVERIFY(dots.tick(-1).isNull()); // no row under test: nothing to show
        QList<qsizetype> counts;
        for (int tick = 0; tick < 80; ++tick)
            counts << dots.tick(0).count(QLatin1Char('.'));
        QCOMPARE(counts.mid(0, 6), (QList<qsizetype>{0, 1, 1, 2, 2, 2}));
        QCOMPARE(counts.at(60), 24);
        QCOMPARE(counts.mid(61).count(25), 19);
        QCOMPARE(dots.tick(1), QString()); // a new row, also one that comes back
        QCOMPARE(dots.tick(0), QString());
        QVERIFY(dots.tick(-1).isNull());
        QCOMPARE(dots.tick(0), QStringLiteral(".")); // the gap between lookups keeps the count
    }

    void readyAfterHundredTicks() {
        ReadyReset reset;
        QSignalSpy ready(&reset, &ReadyReset::statusReady);
        QSignalSpy cleared(&reset, &ReadyReset::progressCleared);
        reset.restart();
        for (int tick = 0; tick < 100; ++tick)
            reset.tick();
        QCOMPARE(ready.count(), 0);
        reset.tick(); // "Ready."
        QCOMPARE(ready.count(), 1);
        reset.tick();
        QCOMPARE(cleared.count(), 0);
        reset.tick(); // the bar is emptied and the timer stops
        QCOMPARE(cleared.count(), 1);
        QVERIFY(!reset.isActive());
        QCOMPARE(reset.readyStep(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRunTimers)
#include "tst_gui_runtimers.moc"
