#include "frmMain.h"

#include "checksview.h"
#include "closeguard.h"
#include "controlhelp.h"
#include "core/checks/checkstablemodel.h"
#include "core/export/csvexport.h"
#include "core/history/runrecord.h"
#include "core/lists/defaultservers.h"
#include "core/lists/listlimits.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/statistics.h"
#include "core/run/benchmarkengine.h"
#include "core/run/recordtypes.h"
#include "core/run/runwording.h"
#include "detailsview.h"
#include "dialogs.h"
#include "entrylist.h"
#include "filechooser.h"
#include "harvestcontrol.h"
#include "historyview.h"
#include "listactions.h"
#include "listundo.h"
#include "menubar.h"
#include "repaintthrottle.h"
#include "resultview.h"
#include "rowbatchproxy.h"
#include "statusstrip.h"
#include "windowsettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <cmath>

using namespace tarnbell;

namespace {

constexpr int kDefaultResultCount = 3; // "20"

} // namespace

frmMain::frmMain(gui::WindowSeams seams, QWidget* parent)
    : QMainWindow(parent), m_localResolver(std::move(seams.localResolver)),
      m_quit(std::move(seams.quit)) {
    Q_ASSERT(seams.probe);
    if (!m_localResolver)
        m_localResolver = [] { return QString(); };
    if (!m_quit)
        m_quit = [] { QCoreApplication::quit(); };

    setWindowTitle(QString::fromLatin1(gui::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarnbell.svg")));
    m_lookups = new core::LookupTableModel(this);
    m_summary = new core::SummaryTableModel(this);
    m_lookupBatch = new gui::RowBatchProxy(this);
    m_lookupBatch->setSourceModel(m_lookups);
    m_lookupSort = new core::ResultSortProxy(core::ResultSortProxy::List::Lookups, this);
    m_lookupSort->setSourceModel(m_lookupBatch);
    m_summarySort = new core::ResultSortProxy(core::ResultSortProxy::List::Summary, this);
    m_summarySort->setSourceModel(m_summary);

    m_probe = seams.probe.release();
    m_probe->setParent(this);
    m_engine = new core::BenchmarkEngine(m_probe, m_lookups, m_summary, this);
    m_engine->setLocalResolverSource(m_localResolver);
    m_dotTimer = new QTimer(this);
    m_dotTimer->setInterval(seams.dotInterval);

    // Timer1 runs from window start, so the status line also says "Ready." once after it.
    m_timer1 = new gui::ReadyReset(this);
    m_timer1->setInterval(seams.readyResetInterval);

    auto* central = new QWidget(this);
    m_ui = gui::BuildWindowControls(central);
    setCentralWidget(central);
    // Room for a server's label and for the sort arrow beside a time's title; the sort-key
    // columns are hidden.
    m_ui.lvDNS->setSortedModel(m_lookupSort, {160, 200, 110, 0, 0, 0});
    m_ui.lvSummary->setSortedModel(m_summarySort, {220, 125, 0, 125, 0, 0});
    m_ui.lvDNS->followShownColumns(m_lookups);
    m_ui.lvSummary->followShownColumns(m_summary);
    m_ui.cmdGo->setDefault(true);
    m_servers = new gui::EntryList(m_ui.lServers, core::ListKind::Servers, m_random, this);
    m_domains = new gui::EntryList(m_ui.lDomains, core::ListKind::Domains, m_random, this);
    m_harvest = new gui::HarvestControl(*this, seams.harvest);
    m_transports = new gui::TransportChoice(m_ui, std::move(seams.pickCaFile), this);
    m_closeGuard = new gui::CloseGuard(this, m_lookups);
    m_files = new gui::FileChooser(this, m_ui.lS);
    const auto* serverActions = new gui::ListActions(
        m_servers, m_ui.cServers, m_ui.cServersD,
        [this] { return core::InitialServers(m_localResolver()); }, m_files, this);
    const auto* domainActions = new gui::ListActions(
        m_domains, m_ui.cDomain, m_ui.cDomainD, [] { return core::DefaultDomains(); }, m_files,
        this);
    auto* undo = new gui::ListUndo({m_servers, m_domains}, m_ui.cServers, this);
    gui::AddResultActions(m_ui.lvDNS, m_ui.cmdClear);
    gui::AddResultActions(m_ui.lvSummary, m_ui.cmdClear);
    // Room for the default result columns without a horizontal scroll bar, as far as the
    // screen allows.
    resize(gui::StartSize(*this));
    // At most 40 frames a second, and the lookup list and the list selections at the same
    // pace: a fast run must not spend its time redrawing.
    constexpr int kFrameMs = 25;
    new gui::RepaintThrottle(this, kFrameMs);
    m_frame = new QTimer(this);
    m_frame->setSingleShot(true);
    m_frame->setInterval(kFrameMs);
    connect(m_frame, &QTimer::timeout, this, &frmMain::flushDisplay);
    connect(m_lookupBatch, &gui::RowBatchProxy::pending, this, &frmMain::scheduleFlush);
    // Recomputing every figure and redrawing the chart is paced, so a fast run spends its
    // time on lookups, not on the picture.
    m_details = new gui::DetailsView;
    m_details->setObjectName(QStringLiteral("details"));
    m_ui.resultTabs->addTab(m_details, QStringLiteral("Details"));
    m_detailsPace = new QTimer(this);
    m_detailsPace->setSingleShot(true);
    m_detailsPace->setInterval(250);
    connect(m_detailsPace, &QTimer::timeout, this, &frmMain::refreshDetails);
    if (!seams.historyFile.isEmpty()) {
        m_history = new gui::HistoryView(seams.historyFile);
        m_history->setObjectName(QStringLiteral("history"));
        m_ui.resultTabs->addTab(m_history, QStringLiteral("History"));
        connect(m_history, &gui::HistoryView::saveEnded, this,
                [this](bool saved, const QString& error) {
                    const QString status = m_statusAtSave.dequeue();
                    if (!saved && m_ui.lS->text() == status)
                        m_ui.lS->setText(status + QStringLiteral(". ") + error);
                });
    }
    m_checks = new gui::ChecksView;
    m_checks->setObjectName(QStringLiteral("checks"));
    m_ui.resultTabs->addTab(m_checks, QStringLiteral("Checks"));
    gui::AddResultActions(m_checks->table(), m_ui.cmdClear);
    connect(m_checks, &gui::ChecksView::addRequested, this, &frmMain::addEndpoints);

    connectControls();
    connectEngine();
    gui::BuildMenuBar(*this, *serverActions, *domainActions, undo->action());
    Form_Load();
    if (seams.settings) {
        m_settings = seams.settings();
        gui::RestoreWindowSettings(*this, *m_settings);
    }
    m_timer1->restart();
}

frmMain::~frmMain() {
    // The run goes first: it holds the probe and writes into the models.
    delete m_engine;
    delete m_probe;
}

core::Harvester* frmMain::harvester() const {
    return m_harvest->harvester();
}

QString frmMain::localResolver() const {
    return m_localResolver();
}

void frmMain::connectControls() {
    connect(m_ui.cmdGo, &QPushButton::clicked, this, &frmMain::cmdGo_Click);
    connect(m_ui.cmdPause, &QPushButton::clicked, this, &frmMain::cmdPause_Click);
    connect(m_ui.cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
    connect(m_ui.cmdSkip, &QPushButton::clicked, this, &frmMain::cmdSkip_Click);
    connect(m_ui.cDomain, &QPushButton::clicked, this, &frmMain::cDomain_Click);
    connect(m_ui.cDomainD, &QPushButton::clicked, this, &frmMain::cDomainD_Click);
    connect(m_ui.cmdRandomN, &QPushButton::clicked, this, &frmMain::cmdRandomN_Click);
    connect(m_ui.cServers, &QPushButton::clicked, this, &frmMain::cServers_Click);
    connect(m_ui.cServersD, &QPushButton::clicked, this, &frmMain::cServersD_Click);
    connect(m_ui.cmdRandomD, &QPushButton::clicked, this, &frmMain::cmdRandomD_Click);
    connect(m_ui.reseed, &QPushButton::clicked, this, &frmMain::reseed_Click);
    connect(m_ui.cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(m_ui.cmdExport, &QPushButton::clicked, this, &frmMain::cmdExport_Click);
    connect(m_ui.cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(m_ui.lvDNS->header(), &QHeaderView::sectionClicked, this, &frmMain::lvDNS_ColumnClick);
    connect(m_ui.lvSummary->header(), &QHeaderView::sectionClicked, this,
            &frmMain::lvSummary_ColumnClick);
    connect(m_servers, &gui::EntryList::countsChanged, this, &frmMain::DoCount);
    connect(m_domains, &gui::EntryList::countsChanged, this, &frmMain::DoCount);
    connect(m_timer1, &gui::ReadyReset::statusReady, m_ui.lS,
            [this] { m_ui.lS->setText(QStringLiteral("Ready.")); });
    connect(m_timer1, &gui::ReadyReset::progressCleared, m_ui.sProgressOut,
            &gui::StatusStrip::clearProgress);
}

void frmMain::connectEngine() {
    using core::BenchmarkEngine;
    connect(m_engine, &BenchmarkEngine::runStarted, this, [this] {
        m_timer1->stop();
        m_runStartedAt = QDateTime::currentDateTimeUtc();
        m_ui.lS->setText(QStringLiteral("Adding domains to list..."));
        m_ui.lProgress->setText(QStringLiteral("0% complete"));
        m_dotTimer->start();
        // A run that checks shows its own servers' checks; one that does not keeps the last.
        if (m_engine->request().checks)
            m_checks->setChecks({});
    });
    connect(m_engine, &BenchmarkEngine::serverChecking, this, [this](int index) {
        const QString& entry = m_engine->request().servers.at(index);
        m_ui.lS->setText(QStringLiteral("Checking DNS Server ") + entry);
        m_ui.lDNS->setText(entry);
        showChecks();
    });
    connect(m_engine, &BenchmarkEngine::serverStarted, this, [this](int index) {
        const QString& entry = m_engine->request().servers.at(index);
        m_ui.lS->setText(QStringLiteral("Getting ready to connect to DNS Server ") + entry);
        m_ui.lDNS->setText(entry);
        m_pendingServer = index;
        scheduleFlush();
        showChecks();
    });
    connect(m_engine, &BenchmarkEngine::lookupStarted, this, [this](int row, int domainIndex) {
        const core::RunRequest& run = m_engine->request();
        const QModelIndex server = m_lookups->index(row, core::LookupTableModel::DnsServer);
        m_ui.lS->setText(core::queryingText(server.data().toString(),
                                            core::recordTypeMnemonic(run.recordTypeChoice),
                                            run.domains.at(domainIndex)));
        m_pendingDomain = domainIndex;
        m_pendingLookupRow = row;
        scheduleFlush();
    });
    connect(m_engine, &BenchmarkEngine::lookupMeasured, this, [this] {
        const double percent = m_engine->percentDone();
        m_ui.lProgress->setText(core::progressText(percent));
        m_ui.sProgressOut->setProgress(percent, gui::progressFill(percent));
        DoCount();
        if (!m_detailsPace->isActive())
            m_detailsPace->start();
    });
    connect(m_engine, &BenchmarkEngine::serverSummarised, this, [this](int row) {
        m_ui.lS->setText(QStringLiteral("Calculating average response time..."));
        // The same names the completion text gives: one, or the mean's and the median's.
        const core::FastestServers& fastest = m_engine->fastest();
        m_ui.lwhowon->setText(core::completionWording(fastest.byMean, fastest.byMedian).names);
        m_ui.lvSummary->showSourceRow(row);
        m_summarySort->resortByMean();
        m_ui.lvSummary->header()->setSortIndicator(core::SummaryTableModel::MeanResponse,
                                                   m_summarySort->currentOrder());
        m_ui.lvSummary->scrollTo(m_ui.lvSummary->currentIndex()); // the new row moved
    });
    connect(m_engine, &BenchmarkEngine::pauseStateChanged, this, [this](core::PauseState state) {
        const bool paused = state == core::PauseState::Paused;
        gui::ShowPauseCaption(m_ui.cmdPause, paused);
        m_ui.cmdPause->setEnabled(state != core::PauseState::Requested);
        if (state == core::PauseState::Requested)
            m_ui.lS->setText(QStringLiteral("Finishing current lookup before pausing..."));
        else if (paused)
            m_ui.lS->setText(QStringLiteral("Paused!"));
    });
    // A skip waits for the lookup under way: the button and the status line say so meanwhile.
    connect(m_engine, &BenchmarkEngine::skipPendingChanged, this, [this](bool pending) {
        m_ui.cmdSkip->setEnabled(!pending);
        m_ui.cmdSkip->setText(pending ? QStringLiteral("Skipping…") : QStringLiteral("&Skip"));
        if (pending && m_engine->pauseFlag() == 0)
            m_ui.lS->setText(QStringLiteral("Skipping after the lookup under way…"));
    });
    connect(m_engine, &BenchmarkEngine::finished, this, &frmMain::runEnded);
    // The dots grow in the time cell of the lookup under way.
    connect(m_dotTimer, &QTimer::timeout, this, [this] {
        const int row = m_engine->currentRow();
        const QString text = m_dots.tick(row);
        if (!text.isNull() &&
            m_lookups->data(m_lookups->index(row, core::LookupTableModel::ResponseTime))
                    .toString() != text)
            m_lookups->setResponseText(row, text);
    });
}

// ---- Start-up and the shared displays -----------------------------------------------------

void frmMain::Form_Load() {
    m_random.Randomize(core::RandomSource::TimeOfDaySeed());
    // No row is under test and no skip is pending: the engine starts that way.
    randomseed();
    m_ui.lServers->addItems(core::InitialServers(m_localResolver()));
    m_ui.lDomains->addItems(core::DefaultDomains());
    m_ui.cDNST->addItems(core::RecordTypeChoices());
    m_ui.cDNST->setCurrentIndex(core::kDefaultRecordTypeIndex);
    for (int count = 5; count <= 50; count += 5)
        m_ui.cGResults->addItem(QString::number(count));
    m_ui.cGResults->setCurrentIndex(kDefaultResultCount);
    DoCount();
}

void frmMain::DoCount() {
    const int servers = m_ui.lServers->count();
    const int domains = m_ui.lDomains->count();
    m_ui.dcount->setText(QString::number(servers));
    m_ui.ncount->setText(QString::number(domains));
    m_ui.sProgressOut->setTickCounts(servers, domains);
}

void frmMain::randomseed() {
    m_ui.rand->setText(core::RandomSeedWord(m_random));
}

void frmMain::reseed_Click() {
    randomseed();
}

// ---- Lists -----------------------------------------------------------------------------------

void frmMain::cDomain_Click() {
    m_domains->add();
}
void frmMain::cDomainD_Click() {
    m_domains->removeSelected();
}
void frmMain::cmdRandomN_Click() {
    m_domains->shuffle();
}
void frmMain::cServers_Click() {
    m_servers->add();
}
void frmMain::cServersD_Click() {
    m_servers->removeSelected();
}
void frmMain::cmdRandomD_Click() {
    m_servers->shuffle();
}

// ---- Run control -----------------------------------------------------------------------------

void frmMain::cmdGo_Click() {
    cmdDoGo();
}

void frmMain::cmdDoGo() {
    if (m_running)
        return;
    if (m_domains->count() == 0) {
        gui::ShowMessage(this, core::EmptyListMessage(core::ListKind::Domains));
        return;
    }
    if (m_servers->count() == 0) {
        gui::ShowMessage(this, core::EmptyListMessage(core::ListKind::Servers));
        return;
    }
    QList<core::QueryKind> kinds;
    for (int k = 0; k < core::kQueryKindCount; ++k) {
        if (m_ui.kinds[static_cast<std::size_t>(k)]->isChecked())
            kinds.append(static_cast<core::QueryKind>(k));
    }
    if (kinds.isEmpty()) {
        gui::ShowMessage(this, QStringLiteral("Choose what to ask at least: listed, cached, "
                                              "uncached or top-level lookups."));
        return;
    }
    if (!m_transports->applyTo(*m_probe))
        return;
    // As tarnbell-cli's --timeout: to the millisecond, for the lookups and the server checks.
    const std::chrono::milliseconds limit(std::lround(m_ui.timeLimit->value() * 1000.0));
    m_probe->setTimeLimit(limit);
    lockForRun();
    core::RunRequest request{m_servers->entries(), m_domains->entries(), m_ui.cDNST->currentText(),
                             m_ui.rounds->value(), kinds};
    request.checkLimit = limit;
    request.checks = m_ui.chkChecks->isChecked();
    request.checkNames = m_checkNames;
    request.trustedCas = m_transports->certificates();
    m_engine->BenchmarkDNS(request);
}

QList<QWidget*> frmMain::runLockedControls() const {
    // Everything that could start a second run or a harvest, or change the lists, the record
    // type, the transports' or the harvester's settings, in the order they are locked and
    // unlocked.
    QList<QWidget*> controls{m_ui.cmdRandomD, m_ui.cServersD, m_ui.cServers,   m_ui.cmdRandomN,
                             m_ui.cDomainD,   m_ui.cDomain,   m_ui.cmdConnect, m_ui.cGResults,
                             m_ui.cDNST,      m_ui.rounds,    m_ui.rand,       m_ui.cmdGo,
                             m_ui.timeLimit};
    controls << m_ui.chkFreshConnections << m_ui.cmdCaFile << m_ui.cmdClearCaFile << m_ui.chkChecks;
    for (QCheckBox* kind : m_ui.kinds)
        controls << kind;
    return controls;
}

void frmMain::lockForRun() {
    m_running = true;
    m_ui.cmdPause->setEnabled(true);
    // The result lists stay enabled: they can be read, scrolled and copied from during a
    // run, paused or not.
    for (QWidget* control : runLockedControls())
        control->setEnabled(false);
    m_ui.cmdSkip->setEnabled(true);
    m_ui.cmdStop->setEnabled(true);
    m_ui.cmdClear->setEnabled(false);
    m_checks->setLocked(true);
}

void frmMain::unlockAfterRun() {
    for (QWidget* control : runLockedControls())
        control->setEnabled(true);
    m_ui.cmdSkip->setEnabled(false);
    m_ui.cmdPause->setEnabled(false);
    m_ui.cmdStop->setEnabled(false);
    m_ui.cmdStop->setText(QStringLiteral("S&top"));
    m_ui.cmdClear->setEnabled(true);
    m_checks->setLocked(false);
    m_running = false;
}

void frmMain::scheduleFlush() {
    if (!m_frame->isActive())
        m_frame->start();
}

void frmMain::flushDisplay() {
    m_frame->stop();
    m_lookupBatch->flush();
    if (m_pendingLookupRow >= 0)
        m_ui.lvDNS->showSourceRow(std::exchange(m_pendingLookupRow, -1));
    if (m_pendingServer >= 0)
        m_servers->select(std::exchange(m_pendingServer, -1));
    if (m_pendingDomain >= 0)
        m_domains->select(std::exchange(m_pendingDomain, -1));
}

void frmMain::refreshDetails() {
    m_detailsPace->stop();
    // Each server's chance of being the fastest is estimated once the run is over: a
    // thousand resamples are not worth repeating four times a second.
    m_details->setFigures(m_engine->figures().servers(m_engine->isRunning()
                                                          ? core::RunFigures::Chances::Skip
                                                          : core::RunFigures::Chances::Estimate));
}

// The checks made so far, as each server's are done; a run that does not check leaves the
// last run's in place.
void frmMain::showChecks() {
    const QList<core::ServerChecks>& checks = m_engine->checks();
    if (m_engine->request().checks && checks.size() != m_checks->model()->rowCount())
        m_checks->setChecks(checks);
}

void frmMain::addEndpoints(const QString& server, const QStringList& entries) {
    if (m_running)
        return;
    const int added = m_servers->appendMissing(entries);
    const qsizetype left = entries.size() - added;
    QString text = (added == 1 ? QStringLiteral("Added 1 encrypted endpoint")
                               : QStringLiteral("Added %1 encrypted endpoints").arg(added)) +
                   QStringLiteral(" of ") + server;
    if (left > 0) {
        text += (m_servers->isFull() ? QStringLiteral("; %1 left out: the list is full")
                                     : QStringLiteral("; %1 already listed"))
                    .arg(left);
    }
    m_ui.lS->setText(text + QLatin1Char('.'));
    m_timer1->restart();
}

void frmMain::runEnded() {
    m_dotTimer->stop();
    const core::RunOutcome outcome = m_engine->outcome();
    // A stopped run shows how far it got.
    const double percent = m_engine->percentDone();
    m_ui.lProgress->setText(outcome.stopped ? core::progressText(percent)
                                            : core::progressCompleteText());
    m_ui.sProgressOut->setProgress(percent, outcome.stopped ? gui::progressFill(percent)
                                                            : gui::progressCompleteFill());
    m_ui.lS->setText(core::completionStatusText(outcome));
    m_ui.lDNS->clear(); // no server is under test any more
    m_timer1->restart();
    flushDisplay();
    // The chances are estimated once, for the details and the history alike.
    m_detailsPace->stop();
    const QList<core::ServerFigures> figures =
        m_engine->figures().servers(core::RunFigures::Chances::Estimate);
    m_details->setFigures(figures);
    // A history that cannot take the run says so on the status line and in its tab, once the
    // file has answered; the run's rows and figures stay as they are.
    if (m_history) {
        m_statusAtSave.enqueue(m_ui.lS->text());
        m_history->save(core::recordOfRun(*m_engine, figures, core::RunTool::Window, m_runStartedAt,
                                          core::kUnansweredSeconds));
    }
    showChecks();
    m_ui.cmdConnect->setEnabled(true); // the run's own last step
    const QString completionText = core::completionMessageText(outcome);
    emit runFinished(completionText);
    // A stopped run has said "Stopped." and shows what it measured; no completion box.
    if (outcome.stopped) {
        unlockAfterRun();
        emit runUnlocked();
        return;
    }
    // The box is modal: the window stays locked until it is dismissed.
    gui::ShowMessage(this, completionText, QMessageBox::Information, [this] {
        unlockAfterRun();
        emit runUnlocked();
    });
}

void frmMain::cmdPause_Click() {
    m_engine->cmdPause_Click();
}

void frmMain::cmdStop_Click() {
    m_ui.cmdStop->setEnabled(false);
    if (!m_engine->isRunning())
        return;
    // Said before the engine is told: a paused run ends at once, and says "Stopped." itself.
    m_ui.cmdStop->setText(QStringLiteral("Stopping…"));
    m_ui.lS->setText(QStringLiteral("Stopping after the lookup under way…"));
    m_engine->stop();
}

void frmMain::cmdSkip_Click() {
    m_engine->cmdSkip_Click();
}

void frmMain::cmdConnect_Click() {
    m_harvest->start();
}

// The CSV export, cmdExport_Click, is in export.cpp.

void frmMain::cmdClear_Click() {
    if (m_running)
        return;
    flushDisplay();
    m_lookups->clear();
    m_summary->clear();
    // What described the cleared rows goes with them.
    m_detailsPace->stop();
    m_details->setFigures({});
    m_checks->setChecks({});
    m_ui.lDNS->clear();
    m_ui.lwhowon->clear();
    m_ui.lProgress->clear();
    m_ui.sProgressOut->clearProgress();
    m_timer1->stop();
    m_ui.lS->setText(QStringLiteral("Ready."));
}

// ---- Sorting ---------------------------------------------------------------------------------

void frmMain::lvDNS_ColumnClick(int section) {
    m_lookupSort->columnClicked(section);
}

void frmMain::lvSummary_ColumnClick(int section) {
    m_summarySort->columnClicked(section);
}

// ---- Keyboard and closing --------------------------------------------------------------------

void frmMain::keyPressEvent(QKeyEvent* event) {
    // Outside dialogs Qt has no default button: Enter presses the focused button, or else
    // "Benchmark!" as long as it can be pressed.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused ? focused : m_ui.cmdGo;
        if (target->isEnabled())
            target->click();
        event->accept();
        return;
    }
    // Escape stops a run, wherever the focus is.
    if (event->key() == Qt::Key_Escape && m_ui.cmdStop->isEnabled()) {
        m_ui.cmdStop->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    const bool mayClose = m_closeConfirmed || m_closeGuard->mayClose(m_running, [this] {
        m_closeConfirmed = true;
        close();
    });
    if (!mayClose) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    // The program ends at once, also in the middle of a run: the run is cut off where it
    // is (no summary, no completion) and nothing it has queued reaches the window.
    emit closing();
    if (m_settings) {
        gui::SaveWindowSettings(*this, *m_settings);
        m_settings->sync();
    }
    m_timer1->stop();
    m_probe->blockSignals(true);
    m_engine->blockSignals(true);
    m_quit();
}
