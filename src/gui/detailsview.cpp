#include "detailsview.h"

#include "core/results/figurestablemodel.h"
#include "markcolourproxy.h"
#include "timechart.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace tarnbell::gui {

namespace {

// The list colours, lightened for a filled box: the tie group blue, the local resolver red.
QColor boxColour(const core::ServerFigures& server) {
    if (server.tiedWithFastest)
        return QColor(140, 160, 255);
    if (server.isLocal)
        return QColor(255, 140, 140);
    return QColor(200, 200, 200);
}

// A box's name under the chart: the entry's label ("fast" of "1.2.3.4 - fast"), or the
// entry itself; the chart puts the rank in front, which keeps equal labels apart and matches
// the table's order.
QString shortName(const QString& entry) {
    const qsizetype dash = entry.indexOf(QStringLiteral(" - "));
    return dash < 0 ? entry : entry.mid(dash + 3);
}

} // namespace

DetailsView::DetailsView(QWidget* parent) : QWidget(parent) {
    m_model = new core::FiguresTableModel(this);
    auto* colours = new MarkColourProxy(this, this);
    colours->setSourceModel(m_model);

    m_set = new QComboBox;
    m_set->setObjectName(QStringLiteral("detailsSet"));
    using core::LookupSet;
    for (const auto& [text, set] : {std::pair{"All lookups", LookupSet::All},
                                    {"First asks of a name", LookupSet::First},
                                    {"Repeated asks (later rounds)", LookupSet::Repeat},
                                    {"Listed names", LookupSet::Listed},
                                    {"Cached", LookupSet::Cached},
                                    {"Uncached", LookupSet::Uncached},
                                    {"Top-level", LookupSet::TopLevel}})
        m_set->addItem(QString::fromLatin1(text), static_cast<int>(set));
    m_set->setAccessibleName(QStringLiteral("Lookups shown"));
    m_set->setToolTip(QStringLiteral(
        "The figures of all lookups, of the first ask of each listed name or its repeats, or "
        "of one kind of lookup: listed names, cached (asked right after an untimed ask), "
        "uncached (a random name under the listed one) or top-level (a random name under its "
        "top-level domain)"));
    auto* legend = new QLabel(QStringLiteral(
        "Blue: tied with the fastest (Mann-Whitney, 5 % level). Red: this machine's resolver."));
    legend->setWordWrap(true);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("detailsTable"));
    m_table->setModel(colours);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAccessibleName(QStringLiteral("Figures per server"));
    m_table->setToolTip(QStringLiteral("Every server's figures, fastest first"));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Rows a line high, as in the result lists; at least two of them in sight, with the
    // titles and the scroll bar.
    const int line = m_table->fontMetrics().height() + 6;
    m_table->verticalHeader()->setDefaultSectionSize(line);
    m_table->setMinimumHeight(2 * line + m_table->horizontalHeader()->sizeHint().height() +
                              m_table->horizontalScrollBar()->sizeHint().height() +
                              2 * m_table->frameWidth());

    m_chart = new TimeChart;
    m_chart->setObjectName(QStringLiteral("detailsChart"));
    m_chart->setAccessibleName(QStringLiteral("Lookup times per server"));
    m_chart->setToolTip(
        QStringLiteral("Each server's lookup times as a box plot, in ms on a logarithmic scale"));

    // The chart under the table, as wide as the tab: each box needs room for its name.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_table);
    splitter->addWidget(m_chart);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({2, 3}); // in proportion until the splitter first lays out
    // Room for the time axis' labels of two decades and the names under the boxes.
    m_chart->setMinimumHeight(8 * m_chart->fontMetrics().height());

    auto* top = new QHBoxLayout;
    top->addWidget(m_set);
    top->addWidget(legend, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    connect(m_set, &QComboBox::currentIndexChanged, this, [this] {
        m_model->setLookupSet(static_cast<core::LookupSet>(m_set->currentData().toInt()));
        redrawChart();
    });
}

QBoxPlotSeries* DetailsView::boxes() const {
    return m_chart->series();
}

void DetailsView::setFigures(const QList<core::ServerFigures>& servers) {
    m_model->setFigures(servers);
    redrawChart();
}

void DetailsView::redrawChart() {
    QList<ChartBox> boxes;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const core::ServerFigures& server = m_model->serverAt(row);
        const core::TimeFigures& f = core::figuresOf(server, m_model->lookupSet());
        boxes.append({server.serverEntry, shortName(server.serverEntry), f.minMs, f.q1Ms,
                      f.exactMedianMs, f.q3Ms, f.maxMs, f.lookups == 0, boxColour(server)});
    }
    m_chart->setBoxes(boxes);
}

} // namespace tarnbell::gui
