#pragma once
// The details' box plot: each server's lookup times, fastest first, on a logarithmic time
// axis, so that a failed lookup's ten seconds and a tenth of a millisecond on loopback both
// leave every box readable. Drawn in the window's colour scheme, light or dark.

#include <QChartView>
#include <QColor>
#include <QList>

class QBarCategoryAxis;
class QBoxPlotSeries;
class QLogValueAxis;

namespace tarnbell::gui {

struct ChartBox {
    QString entry; // the server entry
    QString name;  // its label under the box
    double minMs = 0.0;
    double q1Ms = 0.0;
    double medianMs = 0.0;
    double q3Ms = 0.0;
    double maxMs = 0.0;
    bool empty = false; // no lookups of this server in the set shown
    QColor fill;        // as written: the tie group blue, the local resolver red, or grey
};

class TimeChart final : public QChartView {
    Q_OBJECT
public:
    explicit TimeChart(QWidget* parent = nullptr);

    void setBoxes(const QList<ChartBox>& boxes);
    // Room for a few named boxes, not the size of the whole scene: the tab gives it the rest.
    QSize sizeHint() const override;

    QBoxPlotSeries* series() const { return m_series; }
    QLogValueAxis* timeAxis() const { return m_time; }
    QBarCategoryAxis* serverAxis() const { return m_servers; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void redraw();
    void applyPalette();
    void fitNames();

    QList<ChartBox> m_boxes;
    QBoxPlotSeries* m_series = nullptr;
    QLogValueAxis* m_time = nullptr;
    QBarCategoryAxis* m_servers = nullptr;
    double m_namesCutAt = 0.0; // the plot's width when the names were last cut
};

// The time axis' range: whole decades around the boxes' lowest and highest times, at least
// one decade; times of 0 are left out (they cannot stand on a logarithmic axis).
std::pair<double, double> DecadeRange(const QList<ChartBox>& boxes);

} // namespace tarnbell::gui
