#pragma once
// The status strip along the bottom of the window (sProgressOut): the status line, the
// progress text, the progress fill and, under them, the tick scale of the run.

#include <QColor>
#include <QFrame>
#include <QPixmap>

class QLabel;

namespace tarnbell::gui {

class ProgressFill;

// The progress fill: red 150, green 155 + p, blue 255 - p (rounded halves to even), from
// light blue at 0 towards light green; (150, 255, 255) once the run is complete.
QColor progressFill(double percentDone);
QColor progressCompleteFill();

class StatusStrip final : public QFrame {
    Q_OBJECT
public:
    explicit StatusStrip(QWidget* parent = nullptr);

    QLabel* Label2() const { return m_label2; }
    QLabel* lS() const { return m_status; }
    QLabel* lProgress() const { return m_progressText; }
    QWidget* sProgress() const;

    // The tick scale for a run over `servers` x `domains` lookups; none while either is 0.
    void setTickCounts(int servers, int domains);
    // Fills `percent` of the strip's width in `colour`.
    void setProgress(double percent, const QColor& colour);
    // Empties the fill; it keeps its height and colour.
    void clearProgress();

    // The tick layer, drawn over the strip and over the fill.
    const QPixmap& tickLayer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeFill();

    QLabel* m_label2;
    QLabel* m_status;
    QLabel* m_progressText;
    ProgressFill* m_fill;
    int m_servers = 0;
    int m_domains = 0;
    double m_percent = -1.0; // < 0: the fill's design width of one pixel
    QPixmap m_ticks;
    bool m_ticksValid = false;
};

} // namespace tarnbell::gui
