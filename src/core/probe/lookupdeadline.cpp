#include "core/probe/lookupdeadline.h"

#include <algorithm>

namespace tarnbell::core {

LookupDeadline::LookupDeadline(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LookupDeadline::onTick);
}

void LookupDeadline::setLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick) {
    m_limit = std::max(limit, std::chrono::milliseconds(1));
    m_tick = std::max(tick, std::chrono::milliseconds(1));
}

void LookupDeadline::start() {
    m_remaining = m_limit;
    arm();
}

void LookupDeadline::stop() {
    m_timer.stop();
}

void LookupDeadline::arm() {
    m_timer.start(std::min(m_tick, m_remaining));
}

void LookupDeadline::onTick() {
    m_remaining -= std::min(m_tick, m_remaining);
    if (m_remaining.count() > 0) {
        arm();
        return;
    }
    emit expired();
}

} // namespace tarnbell::core
