#pragma once
// The two run timers of the window: the growing dots in the row under test, and the
// return of the status line to "Ready." about ten seconds after a run or a harvest.

#include <QObject>
#include <QString>
#include <QTimer>

namespace tarnbell::gui {

// Timer3: 0.4 dot per 100 ms tick, at most 25, restarting for every new row.
class DotAnimator {
public:
    // One tick with `currentRow` under test (-1: none). Returns the dots to show, or a
    // null QString when there is no row under test.
    QString tick(int currentRow);

private:
    double m_dotCount = 0.0;
    int m_dotRow = -1;
};

// Timer1: counts readyStep 0..99 on 100 ms ticks, then says "Ready." (step 100), collapses
// the bar (101), empties it (102) and stops. Shared by the run and the harvester.
class ReadyReset final : public QObject {
    Q_OBJECT
public:
    explicit ReadyReset(QObject* parent = nullptr);

    void setInterval(int milliseconds); // 100 ms unless a test injects another
    void restart();                     // readyStep = 0 and start ticking
    void stop();                        // stop ticking, readyStep unchanged
    void tick();                        // one Timer1 tick (public so tests can step it)
    int readyStep() const { return m_readyStep; }
    bool isActive() const { return m_timer.isActive(); }

Q_SIGNALS:
    void statusReady();     // the status line returns to "Ready."
    void progressCleared(); // the progress bar is emptied

private:
    QTimer m_timer;
    int m_readyStep = 0;
};

} // namespace tarnbell::gui
