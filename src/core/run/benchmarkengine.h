#pragma once
// The benchmark run: every server asked about every domain, servers outer, domains inner,
// and each domain as every kind asked, one lookup at a time. Event-driven on the one thread: each
// lookup starts from the event loop and ends on the probe's finished(); nothing nests the event
// loop. It tells what the run does; which control shows it, and in what words or colours, is its
// caller's business.

#include "core/checks/serverchecks.h"
#include "core/probe/lookupprobe.h"
#include "core/results/resultmodels.h"
#include "core/results/statistics.h"
#include "core/results/verdict.h"
#include "core/run/runwording.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace tarnbell::core {

struct RunRequest {
    QStringList servers;      // server entries as the user sees them ("1.2.3.4 - label")
    QStringList domains;      // used exactly as typed
    QString recordTypeChoice; // "A 1", "MX 15", "NS 2" or "SOA 6"
    // How often the domain list is asked of every server. Each round after the first starts
    // one server further down the list, so no server always goes first.
    int rounds = 1;
    // What each domain is asked as, in this order for every domain (listed first, so that its
    // first ask is the run's first of that name); none means listed only.
    QList<QueryKind> kinds = {QueryKind::Listed};
    // Each server checked before its timed lookups (never timed itself), about these names;
    // endpoints a server designates for itself verified against these authorities too, within
    // this limit, and with `discover` added to the run as servers of their own.
    bool checks = false;
    CheckNames checkNames = {};
    QList<QSslCertificate> trustedCas = {};
    std::chrono::milliseconds checkLimit{10'000};
    bool discover = false;
};

// Where a pause stands: none, asked for and waiting for the lookup under way, or in force.
enum class PauseState { Running, Requested, Paused };

class BenchmarkEngine final : public QObject {
    Q_OBJECT
public:
    BenchmarkEngine(LookupProbe* probe, LookupTableModel* lookups, SummaryTableModel* summary,
                    QObject* parent = nullptr);
    ~BenchmarkEngine() override;

    // Where the machine's own resolver comes from (none unless set); read once per run.
    void setLocalResolverSource(std::function<QString()> source);

    // Starts a run (BenchmarkDNS). The caller has checked that both lists are non-empty.
    // Returns false, doing nothing, while a run is under way.
    bool BenchmarkDNS(const RunRequest& request);
    bool isRunning() const;

    // The Pause/Resume button: requests a pause when none is pending, otherwise resumes.
    void cmdPause_Click();
    // The Skip button: the rest of the current server's domains are skipped after the
    // lookup under way.
    void cmdSkip_Click();
    // Ends the run after the lookup under way, as Skip does for one server: that server is
    // summarised with the lookups it measured, nothing further starts, the fastest of the
    // summarised servers are marked and finished() follows, the status line saying
    // "Stopped.". Does nothing while no run is under way.
    void stop();
    // True from a stop() until the next run starts.
    bool wasStopped() const;

    int pauseFlag() const;
    bool skipFlag() const;
    int currentRow() const; // source row of the lookup under way, -1 for none
    // The run under way (or the last one), as asked for.
    const RunRequest& request() const;
    // The share of the run's lookups made so far, 0 to 100; after a stop, the share of the
    // plan the run got through.
    double percentDone() const;
    // The fastest of the servers summarised so far.
    const FastestServers& fastest() const;
    // How the last run ended; meaningful once finished() was emitted.
    RunOutcome outcome() const;
    // The lookups of the current (or last) run and every figure made from them.
    const RunFigures& figures() const;
    // The checks of the current (or last) run's servers, in list order; none unless asked.
    const QList<ServerChecks>& checks() const;

Q_SIGNALS:
    void runStarted();
    // The checks of the request's server at `serverIndex` are under way.
    void serverChecking(int serverIndex);
    void serverStarted(int serverIndex); // its index in the request's list
    // A lookup of the request's domain at `domainIndex` is under way in the lookups' `row`.
    void lookupStarted(int row, int domainIndex);
    // The lookup in `row` ended: the row shows its result, `record` is all it measured.
    void lookupMeasured(int row, const tarnbell::core::LookupRecord& record);
    // A server's summary is in the summary's `row`; fastest() may have changed.
    void serverSummarised(int row);
    void pauseStateChanged(tarnbell::core::PauseState state);
    void skipPendingChanged(bool pending); // a skip waits for the lookup under way
    // The run has ended; outcome() tells how.
    void finished();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tarnbell::core
Q_DECLARE_METATYPE(tarnbell::core::PauseState)
