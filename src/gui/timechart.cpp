#include "timechart.h"

#include "readablecolour.h"

#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QEvent>
#include <QLogValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnbell::gui {

namespace {

// `share` of the way from `from` to `to`: grid lines between the background and the text.
QColor mixed(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

std::pair<double, double> DecadeRange(const QList<ChartBox>& boxes) {
    double lowest = std::numeric_limits<double>::infinity();
    double highest = 0.0;
    for (const ChartBox& box : boxes) {
        for (const double ms : {box.minMs, box.maxMs}) {
            if (box.empty || !(ms > 0.0))
                continue;
            lowest = std::min(lowest, ms);
            highest = std::max(highest, ms);
        }
    }
    if (highest <= 0.0)
        return {1.0, 10.0};
    const double low = std::pow(10.0, std::floor(std::log10(lowest)));
    const double high = std::pow(10.0, std::ceil(std::log10(highest)));
    return {low, std::max(high, low * 10.0)};
}

TimeChart::TimeChart(QWidget* parent) : QChartView(parent) {
    // The view's own chart: one set in its place would leave this one to nobody.
    QChart* chart = QChartView::chart();
    m_series = new QBoxPlotSeries;
    chart->addSeries(m_series);
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->setPlotAreaBackgroundVisible(false);
    m_servers = new QBarCategoryAxis;
    m_time = new QLogValueAxis;
    m_time->setBase(10.0);
    m_time->setLabelFormat(QStringLiteral("%g"));
    m_time->setMinorTickCount(8);               // 2 to 9 in each decade
    m_time->setTitleText(QStringLiteral("ms")); // the decades tell the scale
    chart->addAxis(m_servers, Qt::AlignBottom);
    chart->addAxis(m_time, Qt::AlignLeft);
    m_series->attachAxis(m_servers);
    m_series->attachAxis(m_time);
    setRenderHint(QPainter::Antialiasing);
    // Names turn into ranks when the boxes get too narrow for them; the axis tells after it
    // has laid them out, so the change waits for the event loop.
    connect(chart, &QChart::plotAreaChanged, this, &TimeChart::fitNames);
    connect(
        m_servers, &QAbstractAxis::labelsTruncatedChanged, this,
        [this](bool cut) {
            const double width = QChartView::chart()->plotArea().width();
            if (cut && width > m_namesCutAt) {
                m_namesCutAt = width;
                fitNames();
            }
        },
        Qt::QueuedConnection);
    applyPalette();
}

QSize TimeChart::sizeHint() const {
    const int line = fontMetrics().height();
    return {30 * line, 12 * line};
}

void TimeChart::setBoxes(const QList<ChartBox>& boxes) {
    const auto names = [](const QList<ChartBox>& list) {
        QStringList sorted;
        for (const ChartBox& box : list)
            sorted << box.name;
        sorted.sort();
        return sorted;
    };
    if (names(boxes) != names(m_boxes))
        m_namesCutAt = 0.0; // other servers: their names may fit
    m_boxes = boxes;
    redraw();
}

void TimeChart::redraw() {
    m_series->clear();
    const auto [low, high] = DecadeRange(m_boxes);
    m_time->setRange(low, high);
    const QColor base = palette().color(QPalette::Base);
    const QColor text = palette().color(QPalette::Text);
    for (const ChartBox& box : m_boxes) {
        // A box per server even without lookups in this set, so the axis stays aligned; an
        // empty one is not drawn. A time of 0 stands on the axis' floor.
        const auto at = [low](double ms) { return std::max(ms, low); };
        auto* set = new QBoxSet(at(box.minMs), at(box.q1Ms), at(box.medianMs), at(box.q3Ms),
                                at(box.maxMs), box.entry);
        if (box.empty) {
            set->setPen(Qt::NoPen);
            set->setBrush(Qt::NoBrush);
        } else {
            // The fill stands out from the background and the lines in the text colour
            // stand out from the fill, on a light scheme as on a dark one.
            set->setPen(QPen(text, 1.0));
            set->setBrush(Readable(Readable(box.fill, base), text));
        }
        m_series->append(set);
    }
    fitNames();
}

void TimeChart::fitNames() {
    // "1. fast resolver" under each box while the names fit, else the rank alone: the
    // server's row in the figures above. Names are tried again once the chart is wider than
    // where they were last cut.
    const double width = chart()->plotArea().width();
    const bool named = width > m_namesCutAt;
    QStringList labels;
    for (int i = 0; i < m_boxes.size(); ++i)
        labels << (named ? QStringLiteral("%1. %2").arg(i + 1).arg(m_boxes[i].name)
                         : QString::number(i + 1));
    if (labels != m_servers->categories()) {
        m_servers->clear();
        m_servers->append(labels);
    }
}

void TimeChart::applyPalette() {
    const QColor base = palette().color(QPalette::Base);
    const QColor text = palette().color(QPalette::Text);
    setBackgroundBrush(base);
    chart()->setBackgroundBrush(base);
    chart()->setBackgroundPen(Qt::NoPen);
    for (QAbstractAxis* axis : std::initializer_list<QAbstractAxis*>{m_servers, m_time}) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(mixed(base, text, 0.6));
        axis->setGridLineColor(mixed(base, text, 0.25));
        axis->setMinorGridLineColor(mixed(base, text, 0.1));
    }
    redraw();
}

void TimeChart::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
}

} // namespace tarnbell::gui
