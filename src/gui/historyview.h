#pragma once
// The "History" tab: the runs kept in the history file, newest first, a chart of each
// server's median run after run, and the run picked in the list shown as it ended (its
// summary and details, read from its figures alone: its lookups stay in the file).
//
// The file is read when the tab is first shown, not when the window opens, so a long
// history never slows the start; a failure shows as one sentence above the list. Every read
// and write is done on a thread of the tab's own (HistoryWorker): the window never waits for
// the file, and its answers are shown as they come.

#include "core/history/runrecord.h"

#include <QWidget>
#include <memory>

class QChartView;
class QDateTimeAxis;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QValueAxis;

namespace tarnbell::core {
class ResultSortProxy;
class SummaryTableModel;
} // namespace tarnbell::core

namespace tarnbell::gui {

class DetailsView;
class HistoryWorker;
class ResultView;

class HistoryView final : public QWidget {
    Q_OBJECT
public:
    // Keeps its runs in the file at `path`.
    explicit HistoryView(const QString& path, QWidget* parent = nullptr);
    ~HistoryView() override;

    // Appends `run` to the file; saveEnded() tells how that went. On failure the sentence is
    // also errorMessage() and nothing else changes. A save asked for is finished even when
    // the tab goes first.
    void save(const core::RunRecord& run);
    // Reads the list and the trend again (at once when the tab is in sight, else when shown);
    // the list read before stays in sight until the new one has come.
    void reload();
    // Deletes the runs selected in the list, after a question.
    void deleteSelected();

    // The failure's sentence of the last answer; empty after a success and while reading.
    const QString& errorMessage() const { return m_error; }
    // True from reload() until its list is shown.
    bool isReading() const { return m_listTicket != 0; }
    QTreeWidget* runList() const { return m_runs; }
    QChartView* trend() const { return m_trend; }
    QLabel* openedSummary() const { return m_openedText; }
    core::SummaryTableModel* openedServers() const { return m_summary; }
    DetailsView* openedDetails() const { return m_details; }

Q_SIGNALS:
    // One for each save(), in the same order.
    void saveEnded(bool saved, const QString& error);
    // The run picked in the list is shown (or could not be read).
    void runShown();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void connectWorker();
    void showList(const QList<core::PastRun>& runs, const QList<core::MedianPoint>& trend);
    void showRun(const core::RunRecord& run);
    void redrawTrend();
    void showProblem(const QString& error);

    std::unique_ptr<HistoryWorker> m_worker;
    bool m_stale = true;      // the file has changed since the list was read
    quint64 m_listTicket = 0; // the read whose list is awaited; none when 0
    quint64 m_openTicket = 0; // the run picked last, while it is read
    QString m_error;
    QList<core::MedianPoint> m_trendPoints; // as read last, drawn again in another scheme
    QLabel* m_problem = nullptr;
    QTreeWidget* m_runs = nullptr;
    QPushButton* m_delete = nullptr;
    QChartView* m_trend = nullptr;
    QDateTimeAxis* m_when = nullptr;
    QValueAxis* m_median = nullptr;
    QTabWidget* m_opened = nullptr; // the trend, the picked run's summary and details
    QLabel* m_openedText = nullptr;
    core::SummaryTableModel* m_summary = nullptr;
    core::ResultSortProxy* m_summarySort = nullptr;
    ResultView* m_summaryView = nullptr;
    DetailsView* m_details = nullptr;
};

} // namespace tarnbell::gui
