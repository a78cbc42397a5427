#pragma once
// The time limit of one lookup on the measurement thread, name resolution included. It is
// counted in ticks (one second unless set otherwise) and a last, shorter tick for the rest,
// so a limit such as 15 ms ends after 15 ms and a ten-second one wakes the thread ten times.

#include "core/probe/lookupprobe.h"

#include <QObject>
#include <QTimer>
#include <chrono>

namespace tarnbell::core {

class LookupDeadline final : public QObject {
    Q_OBJECT
public:
    explicit LookupDeadline(QObject* parent = nullptr);

    void setLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick);
    void start(); // the whole limit from now
    void stop();

Q_SIGNALS:
    void expired();

private:
    void arm();
    void onTick();

    std::chrono::milliseconds m_limit{kLookupTimeLimit};
    std::chrono::milliseconds m_tick{1000};
    std::chrono::milliseconds m_remaining{0};
    QTimer m_timer{this}; // a child, so it moves to the measurement thread with its owner
};

} // namespace tarnbell::core
