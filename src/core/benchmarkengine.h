#pragma once
// The benchmark run: every server asked about every domain, servers outer, domains inner,
// one lookup at a time. Event-driven on the one thread: each lookup starts from the event
// loop and ends on the probe's finished(); nothing nests the event loop.

#include "core/figures.h"
#include "core/lookupprobe.h"
#include "core/resultmodels.h"
#include "core/statistics.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace tarnbell::core {

class ReadyReset;

struct RunRequest {
    QStringList servers;      // server entries as the user sees them ("1.2.3.4 - label")
    QStringList domains;      // used exactly as typed
    QString recordTypeChoice; // "A 1", "MX 15", "NS 2" or "SOA 6"
    // How often the domain list is asked of every server. Each round after the first starts
    // one server further down the list, so no server always goes first.
    int rounds = 1;
};

class BenchmarkEngine final : public QObject {
    Q_OBJECT
public:
    BenchmarkEngine(LookupProbe* probe, LookupTableModel* lookups, SummaryTableModel* summary,
                    QObject* parent = nullptr);
    ~BenchmarkEngine() override;

    // Where the machine's own resolver comes from (GetLocalDNS unless a test injects one).
    void setLocalResolverSource(std::function<QString()> source);
    // The status reset that the run stops at its start and restarts at its end.
    void setReadyReset(ReadyReset* reset);
    // Interval of the dots timer (100 ms unless a test injects another).
    void setDotInterval(int milliseconds);

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
    // The lookups of the current (or last) run and every figure made from them.
    const RunFigures& figures() const;

Q_SIGNALS:
    void statusChanged(const QString& text);           // lS
    void serverUnderTestChanged(const QString& entry); // lDNS
    void serverIndexChanged(int index);                // lServers selection
    void domainIndexChanged(int index);                // lDomains selection
    void progressChanged(const QString& text, double percent, tarnbell::core::Rgb fill);
    // lProgress alone, the bar unchanged: "0% complete" at the start, "" before the marking.
    void progressTextChanged(const QString& text);
    void lookupRowAdded(int sourceRow); // select and scroll into view
    void lookupFinished(int sourceRow);
    // Every lookup's full measurement, for callers that keep more than the rows show.
    void lookupMeasured(int sourceRow, const QString& serverEntry, const QString& domain,
                        const tarnbell::core::ProbeResult& result);
    void countsChanged();                            // DoCount
    void fastestServerChanged(const QString& entry); // lwhowon
    void summaryRowAdded(int sourceRow);             // select and scroll into view
    void summaryResortRequested();                   // re-sort by mean key
    void pauseButtonChanged(const QString& caption, bool enabled);
    void skipButtonChanged(bool enabled);
    // The run has ended: the completion status is already on the status line.
    void finished(const QString& completionText);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tarnbell::core
