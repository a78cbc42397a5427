#include "historyview.h"

#include "core/probe/querykind.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/verdict.h"
#include "detailsview.h"
#include "historyworker.h"
#include "question.h"
#include "resultview.h"

#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTimeAxis>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace tarnbell::gui {

namespace {

enum RunColumn { When, Servers, Domains, Kinds, Winner };

QString kindsText(const QList<core::QueryKind>& kinds) {
    QStringList names;
    for (const core::QueryKind kind : kinds)
        names << core::queryKindName(kind);
    return names.join(QStringLiteral(", "));
}

// One name when the mean and the median agree, as the completion text says it.
QString winnerText(const core::PastRun& run) {
    if (run.fastestByMedian.isEmpty())
        return QStringLiteral("none answered");
    if (run.fastestByMean == run.fastestByMedian)
        return run.fastestByMedian;
    return run.fastestByMedian + QStringLiteral(" (median), ") + run.fastestByMean +
           QStringLiteral(" (mean)");
}

QString whenText(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

HistoryView::HistoryView(const QString& path, QWidget* parent)
    : QWidget(parent), m_worker(std::make_unique<HistoryWorker>(path)) {
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("historyProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    m_runs = new QTreeWidget;
    m_runs->setObjectName(QStringLiteral("historyRuns"));
    m_runs->setRootIsDecorated(false);
    m_runs->setUniformRowHeights(true);
    m_runs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_runs->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Servers"),
                             QStringLiteral("Domains"), QStringLiteral("Kinds"),
                             QStringLiteral("Fastest")});
    m_runs->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_runs->setAccessibleName(QStringLiteral("Past runs"));
    m_runs->setToolTip(QStringLiteral("The runs kept on this machine, newest first; pick one "
                                      "to see its summary and details as they were"));
    m_delete = new QPushButton(QStringLiteral("Delete runs"));
    m_delete->setObjectName(QStringLiteral("historyDelete"));
    m_delete->setEnabled(false);
    connect(m_delete, &QPushButton::clicked, this, &HistoryView::deleteSelected);
    connect(m_runs, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> picked = m_runs->selectedItems();
        m_delete->setEnabled(!picked.isEmpty());
        // A run picked before the last one came back is of no more interest.
        m_openTicket = picked.size() == 1
                           ? m_worker->open(picked.first()->data(When, Qt::UserRole).toLongLong())
                           : 0;
    });

    auto* chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    m_when = new QDateTimeAxis;
    m_when->setFormat(QStringLiteral("MM-dd HH:mm"));
    // A date axis drawn once without a range never draws its labels after (Qt 6.4): the
    // last day until the history is read.
    const QDateTime now = QDateTime::currentDateTime();
    m_when->setRange(now.addDays(-1), now);
    m_median = new QValueAxis;
    m_median->setTitleText(QStringLiteral("ms"));
    m_median->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(m_when, Qt::AlignBottom);
    chart->addAxis(m_median, Qt::AlignLeft);
    m_trend = new QChartView(chart);
    m_trend->setObjectName(QStringLiteral("historyTrend"));
    m_trend->setRenderHint(QPainter::Antialiasing);
    m_trend->setAccessibleName(QStringLiteral("Median per run"));
    m_trend->setToolTip(QStringLiteral("Each server's median, run after run"));

    m_openedText = new QLabel(QStringLiteral("Pick a run to see it as it ended."));
    m_openedText->setWordWrap(true);
    m_summary = new core::SummaryTableModel(this);
    m_summarySort = new core::ResultSortProxy(core::ResultSortProxy::List::Summary, this);
    m_summarySort->setSourceModel(m_summary);
    m_summaryView = new ResultView;
    m_summaryView->setSortedModel(m_summarySort, {220, 125, 0, 125, 0, 0});
    m_summaryView->followShownColumns(m_summary);
    m_details = new DetailsView;
    // The list above; below it the trend, and the picked run's summary and details.
    m_opened = new QTabWidget;
    m_opened->addTab(m_trend, QStringLiteral("Trend"));
    m_opened->addTab(m_summaryView, QStringLiteral("Summary"));
    m_opened->addTab(m_details, QStringLiteral("Details"));
    auto* listSide = new QWidget;
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(m_problem);
    listLayout->addWidget(m_runs, 1);
    listLayout->addWidget(m_delete, 0, Qt::AlignLeft);
    auto* openedSide = new QWidget;
    auto* openedLayout = new QVBoxLayout(openedSide);
    openedLayout->setContentsMargins(0, 0, 0, 0);
    openedLayout->addWidget(m_openedText);
    openedLayout->addWidget(m_opened, 1);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(listSide);
    split->addWidget(openedSide);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    connectWorker();
}

// The worker finishes a save under way (or queued) before the tab goes.
HistoryView::~HistoryView() = default;

void HistoryView::connectWorker() {
    connect(m_worker.get(), &HistoryWorker::saved, this,
            [this](quint64, bool ok, const QString& error) {
                showProblem(error);
                if (ok) {
                    m_stale = true;
                    if (isVisible())
                        reload();
                }
                Q_EMIT saveEnded(ok, error);
            });
    connect(m_worker.get(), &HistoryWorker::listRead, this,
            [this](quint64 ticket, bool ok, const QList<core::PastRun>& runs,
                   const QList<core::MedianPoint>& trend, const QString& error) {
                if (ticket != m_listTicket)
                    return; // a newer read is under way
                m_listTicket = 0;
                showProblem(error);
                if (ok) // else what was read before stays in sight
                    showList(runs, trend);
            });
    connect(m_worker.get(), &HistoryWorker::opened, this,
            [this](quint64 ticket, bool ok, const core::RunRecord& run, const QString& error) {
                if (ticket != m_openTicket)
                    return;
                m_openTicket = 0;
                showProblem(error);
                if (ok) {
                    showRun(run);
                    if (m_opened->currentWidget() == m_trend)
                        m_opened->setCurrentWidget(m_summaryView);
                }
                Q_EMIT runShown();
            });
    connect(m_worker.get(), &HistoryWorker::removed, this,
            [this](quint64, bool ok, const QString& error) {
                showProblem(error);
                if (ok)
                    reload();
            });
}

void HistoryView::save(const core::RunRecord& run) {
    m_worker->save(run);
}

void HistoryView::showProblem(const QString& error) {
    m_error = error;
    // While the list is read, the tab says so rather than leave the old one unexplained.
    const QString text =
        error.isEmpty() && isReading() ? QStringLiteral("Reading the history…") : error;
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

void HistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale)
        reload();
}

void HistoryView::reload() {
    m_stale = false;
    m_listTicket = m_worker->readList();
    showProblem(QString());
}

void HistoryView::showList(const QList<core::PastRun>& runs,
                           const QList<core::MedianPoint>& trend) {
    m_runs->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(runs.size());
    for (const core::PastRun& run : runs) {
        auto* item = new QTreeWidgetItem(
            {whenText(run.settings.startedAt) +
                 (run.settings.interrupted ? QStringLiteral(" (stopped)") : QString()),
             QString::number(run.serverCount), QString::number(run.domainCount),
             kindsText(run.settings.kinds), winnerText(run)});
        item->setData(When, Qt::UserRole, run.id);
        items.append(item);
    }
    m_runs->addTopLevelItems(items);
    m_trendPoints = trend;
    redrawTrend();
}

void HistoryView::redrawTrend() {
    QChart* chart = m_trend->chart();
    chart->removeAllSeries();
    // The window's scheme, light or dark; the theme gives each line its own colour from the
    // same set the other charts of that scheme use.
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(palette().color(QPalette::Base));
    // One line per server, in the order the servers first appear.
    QList<QLineSeries*> lines;
    QHash<QString, QLineSeries*> byEntry;
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    double highest = 0.0;
    for (const core::MedianPoint& point : std::as_const(m_trendPoints)) {
        if (point.answered == 0)
            continue; // no answer gives the time limit, not a speed
        QLineSeries*& line = byEntry[point.serverEntry];
        if (!line) {
            line = new QLineSeries;
            line->setName(point.serverEntry);
            line->setPointsVisible(true);
            connect(line, &QLineSeries::hovered, this, [line](const QPointF& at, bool over) {
                if (over)
                    QToolTip::showText(QCursor::pos(),
                                       QStringLiteral("%1: %2 ms").arg(line->name()).arg(at.y()));
            });
            lines.append(line);
        }
        const qint64 at = point.startedAt.toMSecsSinceEpoch();
        line->append(static_cast<double>(at), point.exactMedianMs);
        first = std::min(first, at);
        last = std::max(last, at);
        highest = std::max(highest, point.exactMedianMs);
    }
    for (QLineSeries* line : std::as_const(lines)) {
        chart->addSeries(line);
        line->attachAxis(m_when);
        line->attachAxis(m_median);
    }
    // Past a dozen servers the names would crowd out the lines: a line names itself when the
    // pointer is over it.
    chart->legend()->setVisible(!lines.isEmpty() && lines.size() <= 12);
    chart->legend()->setAlignment(Qt::AlignBottom);
    if (lines.isEmpty())
        return;
    // A single run still gets a day's width, so its points stand apart from the edges.
    constexpr qint64 kHalfDayMs = 12 * 3600 * 1000;
    if (last - first < 2 * kHalfDayMs) {
        first -= kHalfDayMs;
        last += kHalfDayMs;
    }
    m_when->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    m_median->setRange(0.0, highest * 1.1);
    m_median->applyNiceNumbers();
}

void HistoryView::showRun(const core::RunRecord& run) {
    const core::RunSettings& s = run.settings;
    const core::FastestServers fastest = core::fastestServers(run.figures);
    m_openedText->setText(
        QStringLiteral("%1, %2 servers x %3 domains, %4 records, %5 round(s), %6; %7 in %8 s%9. "
                       "Fastest: %10.")
            .arg(whenText(s.startedAt))
            .arg(run.servers.size())
            .arg(run.domains.size())
            .arg(s.recordType)
            .arg(s.rounds)
            .arg(kindsText(s.kinds))
            .arg(s.tool == core::RunTool::Window ? QStringLiteral("from the window")
                                                 : QStringLiteral("from tarnbell-cli"))
            .arg(s.startedAt.secsTo(s.endedAt))
            .arg(s.interrupted ? QStringLiteral(", stopped") : QString())
            .arg(fastest.any() ? fastest.byMedian : QStringLiteral("none answered")));
    m_summary->clear();
    m_summary->beginRun();
    QList<int> rows;
    for (const core::ServerFigures& server : run.figures)
        rows << m_summary->appendSummary({server.serverEntry, server.all.meanMs,
                                          server.all.medianMs, server.all.exactMedianMs,
                                          server.isLocal, QString()});
    // The same marks the run gave its rows when it ended.
    if (fastest.any()) {
        using core::SummaryTableModel;
        for (const auto& [position, column] :
             {std::pair{fastest.meanPosition, SummaryTableModel::MeanResponse},
              std::pair{fastest.medianPosition, SummaryTableModel::MedianResponse}}) {
            m_summary->setRowMark(rows.value(position, -1), core::Mark::Winner);
            m_summary->setCellMark(rows.value(position, -1), column, core::Mark::Winner);
        }
    }
    m_summarySort->resortByMean();
    m_details->setFigures(run.figures);
}

void HistoryView::deleteSelected() {
    QList<qint64> ids;
    for (const QTreeWidgetItem* item : m_runs->selectedItems())
        ids << item->data(When, Qt::UserRole).toLongLong();
    if (ids.isEmpty())
        return;
    AskFirst(this,
             ids.size() == 1
                 ? QStringLiteral("Delete this run from the history?")
                 : QStringLiteral("Delete these %1 runs from the history?").arg(ids.size()),
             QStringLiteral("Their lookups and figures go with them."), QStringLiteral("Delete"),
             [this, ids] { m_worker->remove(ids); });
}

void HistoryView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The chart follows the scheme: its lines are drawn again from the figures read last.
    if (event->type() == QEvent::PaletteChange && !m_stale)
        redrawTrend();
}

} // namespace tarnbell::gui
