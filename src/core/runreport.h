#pragma once
// What a run measured, lookup by lookup and server by server, with the figures the result
// lists do not show (minimum, maximum, spread, counts of timeouts and errors). Kept beside
// the lists for callers that want the numbers at full precision, such as the command-line
// tool's JSON.

#include "core/lookupprobe.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

namespace tarnbell::core {

class BenchmarkEngine;
class SummaryTableModel;

struct LookupRecord {
    QString serverEntry;
    QString domain;
    // Seconds as the figures count them: the measured time, 10 for a timeout, and 10 for a
    // lookup that failed outright (it never got an answer either).
    double seconds = 10.0;
    ProbeOutcome outcome = ProbeOutcome::TimedOut;
    QString errorText; // plain words for a failed lookup
};

LookupRecord lookupRecord(const QString& serverEntry, const QString& domain,
                          const ProbeResult& result);

struct ServerFigures {
    QString serverEntry;
    double meanMs = 0.0;   // from the exact seconds, as the summary list's mean
    double medianMs = 0.0; // of the whole milliseconds, as the summary list's median
    double minMs = 0.0;    // exact
    double maxMs = 0.0;    // exact
    double stddevMs = 0.0; // population standard deviation of the exact times
    int lookups = 0;
    int timeouts = 0;
    int errors = 0;
    bool isLocal = false;
};

// The figures of one server from its lookups (at least one).
ServerFigures serverFigures(const QString& serverEntry, const QList<LookupRecord>& lookups,
                            bool isLocal);

// The run's fastest servers by the summary's rules: the lowest exact mean, and the lowest
// median in whole milliseconds; on a tie the earlier server keeps the title.
struct FastestServers {
    QString byMean;
    QString byMedian;
};
FastestServers fastestServers(const QList<ServerFigures>& servers);

// Listens to a run and keeps its lookups and, after each server, that server's figures.
class RunRecorder final : public QObject {
    Q_OBJECT
public:
    RunRecorder(const BenchmarkEngine* engine, const SummaryTableModel* summary,
                QObject* parent = nullptr);

    const QList<LookupRecord>& lookups() const { return m_lookups; }
    const QList<ServerFigures>& servers() const { return m_servers; } // in run order

private:
    const SummaryTableModel* m_summary;
    QList<LookupRecord> m_lookups;
    QList<ServerFigures> m_servers;
    qsizetype m_serverStart = 0; // first lookup of the server under test
};

// The whole result as JSON: "record_type", "lookups" (server, domain, record_type, seconds,
// timed_out, outcome, and error for a failed one), "servers" in run order (server, mean_ms,
// median_ms, min_ms, max_ms, stddev_ms, lookups, timeouts, errors, is_local) and "fastest"
// (by_mean, by_median). Numbers keep full double precision.
QJsonObject runReportJson(const QString& recordType, const QList<LookupRecord>& lookups,
                          const QList<ServerFigures>& servers);

} // namespace tarnbell::core
