#pragma once
// A short watch for a reply that keeps the measurement thread awake. Sleeping in the event
// loop right after a send means that a near server's reply must first wake a halted CPU,
// which on a virtual machine costs tens of microseconds per lookup. For a short window after
// each send the thread instead calls `check` over and over, yielding the CPU between calls so
// that a server on this machine, woken on this very CPU, still goes first. It runs in slices
// between turns of the event loop, so calls queued to the thread wait no longer than a slice.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace tarnbell::core {

class BusyWait final : public QObject {
    Q_OBJECT
public:
    explicit BusyWait(QObject* parent = nullptr);

    // Zero turns the watch off.
    void setWindow(std::chrono::microseconds window) { m_window = window; }
    // Watches from `sentNs` (the monotonic clock) until `check` returns true or the window
    // ends; a watch under way is replaced. For a socket, `check` reads what has arrived, or
    // tells that something has, so that the event loop's next turn reads it without sleeping.
    void start(qint64 sentNs, std::function<bool()> check);
    void stop();

private:
    void watchSlice();

    std::chrono::microseconds m_window{0};
    qint64 m_endsNs = 0;
    std::function<bool()> m_check; // true when the watch is over
    quint64 m_watch = 0;
    QTimer m_turn{this}; // zero interval: one slice per turn of the event loop
};

} // namespace tarnbell::core
