#include "core/probe/busywait.h"

#include "core/probe/arrivalclock.h"

#include <QThread>
#include <algorithm>

namespace tarnbell::core {
namespace {

constexpr qint64 kSliceNs = 50'000;

} // namespace

BusyWait::BusyWait(QObject* parent) : QObject(parent) {
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, &BusyWait::watchSlice);
}

void BusyWait::start(qint64 sentNs, std::function<bool()> check) {
    if (m_window.count() <= 0)
        return;
    m_endsNs = sentNs + std::chrono::duration_cast<std::chrono::nanoseconds>(m_window).count();
    m_check = std::move(check);
    ++m_watch;
    m_turn.start();
}

void BusyWait::stop() {
    m_turn.stop();
    m_check = nullptr;
}

void BusyWait::watchSlice() {
    const qint64 sliceEndsNs = readClocks().monotonicNs + kSliceNs;
    while (m_check) {
        // The check may end the lookup, and the next lookup may start its own watch from
        // inside it: a copy keeps this call alive, the count tells whose watch ends.
        const quint64 watch = m_watch;
        const std::function<bool()> check = m_check;
        if (check()) {
            if (watch == m_watch)
                stop();
            return;
        }
        const qint64 now = readClocks().monotonicNs;
        if (now >= m_endsNs) {
            stop();
            return;
        }
        if (now >= sliceEndsNs)
            return;
        QThread::yieldCurrentThread();
    }
}

} // namespace tarnbell::core
