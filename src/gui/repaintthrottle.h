#pragma once
// Paces the repaints of a window. A run can finish a lookup every few hundred microseconds,
// and Qt would repaint the window after every one; the eye sees no more than a few dozen
// frames a second, so repaints closer together than the interval are put off and merged.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace tarnbell::gui {

class RepaintThrottle final : public QObject {
    Q_OBJECT
public:
    RepaintThrottle(QWidget* window, int intervalMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    int m_intervalMs;
    QElapsedTimer m_sinceLastPaint;
    QTimer m_deferred;
};

} // namespace tarnbell::gui
