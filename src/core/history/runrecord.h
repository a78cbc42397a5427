#pragma once
// A run as the history keeps it: what was asked and when, every lookup, and each server's
// figures as the run itself computed them (RunFigures), so a reopened run shows exactly what
// it showed when it ended.

#include "core/probe/querykind.h"
#include "core/results/figures.h"
#include "core/results/figurestablemodel.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarnbell::core {

class BenchmarkEngine;

// Which program wrote a run into the history.
enum class RunTool { Window, CommandLine };
// "window" or "cli", as the history names them.
QString runToolName(RunTool tool);

struct RunSettings {
    QDateTime startedAt{}; // kept to the millisecond, in UTC
    QDateTime endedAt{};
    RunTool tool = RunTool::CommandLine;
    QString recordType = QStringLiteral("MX"); // "A", "MX", "NS" or "SOA"
    int rounds = 1;
    QList<QueryKind> kinds = {QueryKind::Listed};
    double timeLimitSeconds = kUnansweredSeconds; // the wait for each answer
    bool interrupted = false;                     // stopped before its last lookup

    bool operator==(const RunSettings&) const = default;
};

struct RunRecord {
    RunSettings settings;
    // As the run asked them: servers in list order, discovered endpoints included, so that
    // every lookup's and figure's serverIndex is a position here.
    QStringList servers;
    QStringList domains;
    QList<LookupRecord> lookups;  // as RunFigures::lookups() gives them, cache checks made
    QList<ServerFigures> figures; // as RunFigures::servers() gives them, ties and chances set
};

// The run `engine` has just ended, for the history.
RunRecord recordOfRun(const BenchmarkEngine& engine, const QList<ServerFigures>& figures,
                      RunTool tool, const QDateTime& startedAt, double timeLimitSeconds);

// How much of a run to read back: its summary and details need its figures alone, a
// fraction of what its lookups take.
enum class RunParts { Whole, Figures };

// A run in the history's list: enough to show it in a list without reading its lookups.
struct PastRun {
    qint64 id = 0;
    RunSettings settings;
    int serverCount = 0;
    int domainCount = 0;
    int lookupCount = 0;
    QString fastestByMedian; // empty when no server answered
    QString fastestByMean;
};

// One point of a server's trend: its median over one set of lookups of one run.
struct MedianPoint {
    qint64 runId = 0;
    QDateTime startedAt;
    QString serverEntry;
    double exactMedianMs = 0.0;
    int answered = 0; // none: the median is the unanswered time, not a speed
};

} // namespace tarnbell::core
