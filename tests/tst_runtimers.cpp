// The growing dots of the row under test and the return to "Ready." after a run.

#include "core/runtimers.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;

class TestRunTimers final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dotsGrowToTwentyFive();
    void dotsRestartOnEveryNewRow();
    void readyAfterHundredTicks();
};

void TestRunTimers::dotsGrowToTwentyFive() {
    DotAnimator dots;
    QList<qsizetype> counts;
    for (int tick = 0; tick < 80; ++tick) {
        const QString text = dots.tick(7);
        QVERIFY(!text.isNull());
        QCOMPARE(text, QString(text.size(), QLatin1Char('.')));
        counts << text.size();
    }
    QCOMPARE(counts.mid(0, 12), (QList<qsizetype>{0, 1, 1, 2, 2, 2, 3, 3, 4, 4, 4, 5}));
    // 0.4 a tick reaches 24 on tick 60 and 25 on tick 62, and never goes beyond.
    QCOMPARE(counts.at(59), 24);
    QCOMPARE(counts.at(60), 24);
    QCOMPARE(counts.at(61), 25);
    for (int tick = 61; tick < counts.size(); ++tick)
        QCOMPARE(counts.at(tick), 25);
}

void TestRunTimers::dotsRestartOnEveryNewRow() {
    DotAnimator dots;
    QVERIFY(dots.tick(-1).isNull()); // no row under test: nothing to show
    for (int tick = 0; tick < 10; ++tick)
        dots.tick(3);
    QVERIFY(dots.tick(-1).isNull());
    // The gap between lookups does not restart the row's count.
    QCOMPARE(dots.tick(3), QStringLiteral("...."));
    QCOMPARE(dots.tick(4), QString()); // new row: back to 0.4
    QCOMPARE(dots.tick(4), QStringLiteral("."));
    // Coming back to an earlier row is a new row too.
    QCOMPARE(dots.tick(3), QString());
    QCOMPARE(dots.tick(3), QStringLiteral("."));
    // Row 0 is a row like any other, also as the very first.
    DotAnimator first;
    QVERIFY(!first.tick(0).isNull());
}

void TestRunTimers::readyAfterHundredTicks() {
    ReadyReset reset;
    QSignalSpy ready(&reset, &ReadyReset::statusReady);
    QSignalSpy cleared(&reset, &ReadyReset::progressCleared);
    reset.restart();
    QVERIFY(reset.isActive());
    for (int tick = 0; tick < 100; ++tick)
        reset.tick();
    QCOMPARE(reset.readyStep(), 100);
    QCOMPARE(ready.count(), 0);

    reset.tick(); // "Ready."
    QCOMPARE(ready.count(), 1);
    QCOMPARE(reset.readyStep(), 101);
    reset.tick(); // the bar keeps its height; only the step moves on
    QCOMPARE(reset.readyStep(), 102);
    QCOMPARE(cleared.count(), 0);
    reset.tick(); // the bar is emptied and the timer stops
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(reset.readyStep(), 0);
    QVERIFY(!reset.isActive());
    QCOMPARE(ready.count(), 1);
}

QTEST_GUILESS_MAIN(TestRunTimers)
#include "tst_runtimers.moc"
