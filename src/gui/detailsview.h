#pragma once
// The "Details" view beside the summary list: one row per server with every figure of the
// run and the tie mark, and a box plot of each server's lookup times, fastest first. It
// shows what it is given; the figures come from the core.

#include "core/results/figures.h"

#include <QList>
#include <QWidget>

class QBoxPlotSeries;
class QComboBox;
class QTableView;

namespace tarnbell::core {
class FiguresTableModel;
}

namespace tarnbell::gui {

class TimeChart;

class DetailsView final : public QWidget {
    Q_OBJECT
public:
    explicit DetailsView(QWidget* parent = nullptr);

    // Replaces what the table and the chart show.
    void setFigures(const QList<core::ServerFigures>& servers);

    core::FiguresTableModel* model() const { return m_model; }
    QBoxPlotSeries* boxes() const;
    TimeChart* chart() const { return m_chart; }

private:
    void redrawChart();

    core::FiguresTableModel* m_model = nullptr;
    QComboBox* m_set = nullptr;
    QTableView* m_table = nullptr;
    TimeChart* m_chart = nullptr;
};

} // namespace tarnbell::gui
