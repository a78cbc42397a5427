#pragma once
// Tarnbell's one window: the server and domain lists, the run buttons, the two result lists
// and the status strip. It owns the run engine and wires the widgets to its signals; all the
// arithmetic and wording live in the core library.

#include "core/checks/serverchecks.h"
#include "core/lists/randomsource.h"
#include "harvestcontrol.h"
#include "runtimers.h"
#include "transportchoice.h"
#include "windowcontrols.h"

#include <QDateTime>
#include <QMainWindow>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QSettings;

namespace tarnbell::core {
class BenchmarkEngine;
class LookupProbe;
class LookupTableModel;
class ResultSortProxy;
class SummaryTableModel;
} // namespace tarnbell::core

namespace tarnbell::gui {

class ChecksView;
class CloseGuard;
class DetailsView;
class EntryList;
class FileChooser;
class HistoryView;
class ReadyReset;
class RowBatchProxy;

// What the window is built from. The program uses WindowSeams::production(); tests put a
// scripted probe, a fixed local resolver, short timer intervals, a loopback search host and
// their own quit in place.
struct WindowSeams {
    std::unique_ptr<core::LookupProbe> probe;
    std::function<QString()> localResolver; // the machine's own resolver, "" for none
    int readyResetInterval = 100;           // ms per tick of the "Ready." countdown
    int dotInterval = 100;                  // ms per tick of the waiting dots
    std::function<void()> quit;             // ends the program; QCoreApplication::quit if unset
    HarvestTarget harvest;                  // the search host of "Get URLs" and its time limit
    // Where the window's lists, choices and layout are remembered; nothing is remembered
    // when unset.
    std::function<std::unique_ptr<QSettings>()> settings;
    PickFile pickCaFile; // "Trusted CA file…"; the open-file dialog when unset
    // The history file every finished or stopped run is added to, shown in the "History"
    // tab; without one no run is kept and the tab is left out.
    QString historyFile;

    // The UDP probe and the machine's resolver configuration.
    static WindowSeams production();
};

} // namespace tarnbell::gui

class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    // The program's window, with the real probe and resolver configuration.
    explicit frmMain(QWidget* parent = nullptr);
    explicit frmMain(tarnbell::gui::WindowSeams seams, QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Hooks for the parts that plug into the window (export, harvester, tests) ----

    const tarnbell::gui::WindowControls& controls() const { return m_ui; }
    tarnbell::gui::EntryList* serverList() const { return m_servers; }
    tarnbell::gui::EntryList* domainList() const { return m_domains; }
    tarnbell::core::LookupTableModel* lookupModel() const { return m_lookups; }
    tarnbell::core::SummaryTableModel* summaryModel() const { return m_summary; }
    tarnbell::core::ResultSortProxy* lookupSort() const { return m_lookupSort; }
    tarnbell::core::ResultSortProxy* summarySort() const { return m_summarySort; }
    tarnbell::core::BenchmarkEngine* engine() const { return m_engine; }
    // The "Details" tab: the run's figures and chart.
    tarnbell::gui::DetailsView* details() const { return m_details; }
    // The "History" tab; null when the window keeps no history.
    tarnbell::gui::HistoryView* history() const { return m_history; }
    // The "Checks" tab: what each server's checks found, when the run was asked to check.
    tarnbell::gui::ChecksView* checks() const { return m_checks; }
    // The names the checks ask about: the defaults, or those of the settings file.
    const tarnbell::core::CheckNames& checkNames() const { return m_checkNames; }
    void setCheckNames(const tarnbell::core::CheckNames& names) { m_checkNames = names; }
    // Timer1: returns the status line to "Ready." after a run or a harvest (restart()).
    tarnbell::gui::ReadyReset* Timer1() const { return m_timer1; }
    // The stream transports' settings for the next run.
    tarnbell::gui::TransportChoice* transports() const { return m_transports; }
    // The window's one harvester, behind cmdConnect.
    tarnbell::core::Harvester* harvester() const;
    tarnbell::core::RandomSource& random() { return m_random; }
    // The machine's own resolver, as the window and the run see it.
    QString localResolver() const;
    // True from the lock of a run to its unlock (the completion box included).
    bool isRunning() const { return m_running; }
    // During a run the lookup list and the list selections follow a few dozen times a second;
    // this brings them up to date at once (done at the end of every run).
    void flushDisplay();
    // Asks before a close that would end a run or lose results not yet exported.
    tarnbell::gui::CloseGuard* closeGuard() const { return m_closeGuard; }
    // The dialogs of every export and import, and the folder they start in.
    tarnbell::gui::FileChooser* files() const { return m_files; }

public Q_SLOTS:
    // Redraws the two list counts and the tick scale of the status strip.
    void DoCount();
    // Puts a new three-letter search seed into `rand`.
    void randomseed();
    // Starts a run unless a list is empty; the completion text shows in a box at its end.
    void cmdDoGo();
    // The run's lock and unlock of the controls, in their fixed order.
    void lockForRun();
    void unlockAfterRun();

    void cmdGo_Click();
    void cmdPause_Click();
    void cmdSkip_Click();
    void cmdStop_Click();
    void cDomain_Click();
    void cDomainD_Click();
    void cmdRandomN_Click();
    void cServers_Click();
    void cServersD_Click();
    void cmdRandomD_Click();
    void reseed_Click();
    void cmdConnect_Click();
    void cmdExport_Click();
    void lvDNS_ColumnClick(int section);
    void lvSummary_ColumnClick(int section);
    // Empties both result lists and what was shown from them: the details, the labels, the
    // progress and the status line (refused during a run).
    void cmdClear_Click();

Q_SIGNALS:
    // The run has ended; its completion status is on the status line. With `msg` the
    // completion box opens right after this, and the window stays locked until it closes.
    void runFinished(const QString& completionText);
    // The controls are unlocked again after a run.
    void runUnlocked();
    // The window is closing and the program ends next: sockets are to be closed now.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void connectControls();
    void connectEngine();
    void runEnded();
    void scheduleFlush();
    void refreshDetails();
    void showChecks();
    void addEndpoints(const QString& server, const QStringList& entries);
    QList<QWidget*> runLockedControls() const;

    tarnbell::gui::WindowControls m_ui;
    std::function<QString()> m_localResolver;
    std::function<void()> m_quit;
    tarnbell::core::RandomSource m_random;
    tarnbell::gui::EntryList* m_servers = nullptr;
    tarnbell::gui::EntryList* m_domains = nullptr;
    tarnbell::core::LookupTableModel* m_lookups = nullptr;
    tarnbell::core::SummaryTableModel* m_summary = nullptr;
    tarnbell::gui::RowBatchProxy* m_lookupBatch = nullptr;
    tarnbell::core::ResultSortProxy* m_lookupSort = nullptr;
    tarnbell::core::ResultSortProxy* m_summarySort = nullptr;
    tarnbell::core::LookupProbe* m_probe = nullptr;
    tarnbell::core::BenchmarkEngine* m_engine = nullptr;
    tarnbell::gui::ReadyReset* m_timer1 = nullptr;
    QTimer* m_dotTimer = nullptr; // the dots in the time cell of the lookup under way
    tarnbell::gui::DotAnimator m_dots;
    tarnbell::gui::HarvestControl* m_harvest = nullptr;
    tarnbell::gui::TransportChoice* m_transports = nullptr;
    tarnbell::gui::CloseGuard* m_closeGuard = nullptr;
    tarnbell::gui::FileChooser* m_files = nullptr;
    std::unique_ptr<QSettings> m_settings;
    QTimer* m_frame = nullptr; // paces flushDisplay() during a run
    tarnbell::gui::DetailsView* m_details = nullptr;
    QTimer* m_detailsPace = nullptr; // the details follow a run a few times a second
    tarnbell::gui::HistoryView* m_history = nullptr;
    // The status line as each run ended, for the saves not yet answered, oldest first: a
    // save's failure is added to it only while it is still shown.
    QQueue<QString> m_statusAtSave;
    QDateTime m_runStartedAt;
    tarnbell::gui::ChecksView* m_checks = nullptr;
    tarnbell::core::CheckNames m_checkNames;
    int m_pendingLookupRow = -1;
    int m_pendingServer = -1;
    int m_pendingDomain = -1;
    bool m_running = false;
    bool m_closeConfirmed = false;
};
