#pragma once
// The "History" tab: the runs kept in the history file, newest first, a chart of each
// server's median run after run, and the run picked in the list shown as it ended (its
// summary and details, read from its figures alone: its lookups stay in the file).
//
// The file is read when the tab is first shown, not when the window opens, so a long
// history never slows the start; a failure shows as one sentence above the list.

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
class HistoryStore;
class ResultSortProxy;
class SummaryTableModel;
} // namespace tarnbell::core

namespace tarnbell::gui {

class DetailsView;
class ResultView;

class HistoryView final : public QWidget {
    Q_OBJECT
public:
    // Keeps its runs in the file at `path`.
    explicit HistoryView(const QString& path, QWidget* parent = nullptr);
    ~HistoryView() override;

    // Appends `run` to the file; on failure the sentence is errorMessage() and nothing else
    // changes.
    bool save(const core::RunRecord& run);
    // Reads the list and the trend again (at once when the tab is in sight, else when shown).
    void reload();
    // Deletes the runs selected in the list, after a question.
    void deleteSelected();

    const QString& errorMessage() const;
    QTreeWidget* runList() const { return m_runs; }
    QChartView* trend() const { return m_trend; }
    QLabel* openedSummary() const { return m_openedText; }
    core::SummaryTableModel* openedServers() const { return m_summary; }
    DetailsView* openedDetails() const { return m_details; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool open(qint64 id);
    void showRun(const core::RunRecord& run);
    void redrawTrend(const QList<core::MedianPoint>& points);
    void showProblem();

    std::unique_ptr<core::HistoryStore> m_store;
    bool m_stale = true; // the file has changed since the list was read
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
