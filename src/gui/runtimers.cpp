#include "runtimers.h"

#include "core/results/statistics.h"

namespace tarnbell::gui {

using core::roundHalfEven;

namespace {
constexpr double kDotsPerTick = 0.4;
constexpr double kMaxDots = 25.0;
constexpr int kReadyStep = 100;
constexpr int kCollapseStep = 101;
constexpr int kClearStep = 102;
} // namespace

QString DotAnimator::tick(int currentRow) {
    if (currentRow < 0)
        return {};
    if (currentRow != m_dotRow)
        m_dotCount = 0.0;
    if (m_dotCount < kMaxDots)
        m_dotCount += kDotsPerTick;
    m_dotRow = currentRow;
    // Steps of 0.4 never land on a half, so the rounding rule only matters for drift.
    return QString(static_cast<qsizetype>(roundHalfEven(m_dotCount)), QLatin1Char('.'));
}

ReadyReset::ReadyReset(QObject* parent) : QObject(parent) {
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &ReadyReset::tick);
}

void ReadyReset::setInterval(int milliseconds) {
    m_timer.setInterval(milliseconds);
}

void ReadyReset::restart() {
    m_readyStep = 0;
    m_timer.start();
}

void ReadyReset::stop() {
    m_timer.stop();
}

void ReadyReset::tick() {
    switch (m_readyStep) {
    case kReadyStep:
        m_readyStep = kCollapseStep;
        Q_EMIT statusReady();
        break;
    case kCollapseStep:
        // The bar keeps its height: a collapsed bar would leave later runs a sliver to
        // draw into. This step only spaces the emptying one tick after "Ready.".
        m_readyStep = kClearStep;
        break;
    case kClearStep:
        m_readyStep = 0;
        m_timer.stop();
        Q_EMIT progressCleared();
        break;
    default:
        ++m_readyStep;
        break;
    }
}

} // namespace tarnbell::gui
