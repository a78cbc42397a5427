#include "repaintthrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace tarnbell::gui {

RepaintThrottle::RepaintThrottle(QWidget* window, int intervalMs)
    : QObject(window), m_window(window), m_intervalMs(intervalMs) {
    m_deferred.setSingleShot(true);
    // The put-off request is sent again once the interval is over; everything that became
    // dirty meanwhile is painted with it.
    connect(&m_deferred, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    });
    window->installEventFilter(this);
}

bool RepaintThrottle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (m_sinceLastPaint.isValid()) {
        const qint64 elapsed = m_sinceLastPaint.elapsed();
        if (elapsed < m_intervalMs) {
            if (!m_deferred.isActive())
                m_deferred.start(static_cast<int>(m_intervalMs - elapsed));
            return true;
        }
    }
    m_deferred.stop();
    m_sinceLastPaint.start();
    return false;
}

} // namespace tarnbell::gui
