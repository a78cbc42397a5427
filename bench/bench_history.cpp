// The history file at the size a long-kept one reaches: runs of 99 servers x 99 domains
// (9,801 lookups each, a few timed out or refused, figures and P(fastest) as a run makes
// them) written one after another into a temporary file, then opened as the window opens
// it. Prints the file's size per run, the time to write one run, and the times to list
// every run, to read every server's trend, to reopen one run as the History tab does (its
// figures) and whole (its lookups too); the tab's list, trend and reopened run together must
// take under a second.
//
// Usage: bench_history [runs]   (default 1000; writing them takes minutes)

#include "benchstats.h"
#include "core/history/historystore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

using namespace tarnbell::core;

namespace {

constexpr int kServers = 99;
constexpr int kDomains = 99;

// One run as the engine records it: servers outer, domains inner, each server around its
// own centre; one lookup in 200 times out and one in 200 is refused.
RunRecord largeRun() {
    RunRecord run;
    for (int i = 0; i < kServers; ++i)
        run.servers << QStringLiteral("10.0.%1.1 - resolver %1").arg(i);
    for (int i = 0; i < kDomains; ++i)
        run.domains << QStringLiteral("www.domain-%1.example").arg(i);
    RunFigures figures;
    figures.start(run.servers, QStringLiteral("10.0.0.1"));
    QRandomGenerator random(42);
    for (int server = 0; server < kServers; ++server) {
        for (const QString& domain : std::as_const(run.domains)) {
            ProbeResult result;
            const quint32 draw = random.bounded(200u);
            result.outcome = draw == 0 ? ProbeOutcome::TimedOut : ProbeOutcome::Answered;
            result.seconds =
                draw == 0 ? 10.0 : (5.0 + server * 0.2 + random.generateDouble() * 8.0) / 1000.0;
            result.rcode = draw == 0 ? -1 : draw == 1 ? 5 : 0;
            result.timeSource = TimeSource::Kernel;
            figures.add(lookupRecord(run.servers.at(server), domain, result, server));
        }
    }
    run.lookups = figures.lookups();
    run.figures = figures.servers(RunFigures::Chances::Estimate);
    run.settings.startedAt = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    run.settings.recordType = QStringLiteral("A");
    return run;
}

double millisecondsOf(const std::function<bool()>& work, bool* ok) {
    QElapsedTimer clock;
    clock.start();
    *ok = work() && *ok;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.db"));
    RunRecord run = largeRun();
    out << "Writing " << count << " runs of " << kServers << " x " << kDomains << " ("
        << run.lookups.size() << " lookups each) to " << path << Qt::endl;

    std::vector<double> writeMs;
    bool ok = true;
    {
        HistoryStore store(path);
        for (int i = 0; i < count && ok; ++i) {
            run.settings.startedAt = run.settings.startedAt.addSecs(3600);
            run.settings.endedAt = run.settings.startedAt.addSecs(600);
            writeMs.push_back(millisecondsOf([&] { return store.save(run).has_value(); }, &ok));
            if (!ok)
                out << store.errorMessage() << Qt::endl;
            if ((i + 1) % 50 == 0 || i + 1 == count)
                out << "  " << i + 1 << " runs written" << Qt::endl;
        }
    }
    const auto written = tarnbell::bench::stats(writeMs);
    const double sizeMiB = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    out << "file size            " << sizeMiB << " MiB, " << sizeMiB * 1024.0 / count
        << " KiB per run" << Qt::endl;
    out << "write one run        median " << written.median << " ms, p99 " << written.p99
        << " ms, first " << writeMs.front() << " ms, last " << writeMs.back() << " ms" << Qt::endl;

    // As the window opens its history: a store of its own, the list, the trend, then one run.
    HistoryStore store(path);
    QList<PastRun> runs;
    std::optional<RunRecord> reopened;
    QList<MedianPoint> trend;
    QList<MedianPoint> oneServer;
    const double listMs = millisecondsOf(
        [&] { return (runs = store.runs().value_or(QList<PastRun>{})).size() == count; }, &ok);
    const qint64 middle = runs.value(runs.size() / 2).id;
    const double reopenMs = millisecondsOf(
        [&] { return (reopened = store.run(middle)) && reopened->lookups.size() == 9801; }, &ok);
    const double trendMs = millisecondsOf(
        [&] { return (trend = store.medians().value_or(QList<MedianPoint>{})).size() > 0; }, &ok);
    const double oneServerMs = millisecondsOf(
        [&] {
            oneServer = store.medians(LookupSet::All, run.servers.constFirst())
                            .value_or(QList<MedianPoint>{});
            return oneServer.size() == count;
        },
        &ok);
    std::optional<RunRecord> figuresOnly;
    const double figuresMs = millisecondsOf(
        [&] {
            return (figuresOnly = store.run(middle, RunParts::Figures)) &&
                   figuresOnly->figures.size() == kServers;
        },
        &ok);
    const double tabMs = listMs + trendMs + figuresMs;
    out << "list " << count << " runs        " << listMs << " ms" << Qt::endl;
    out << "every server's trend " << trendMs << " ms (" << trend.size() << " points)" << Qt::endl;
    out << "reopen one run       " << figuresMs << " ms its figures, " << reopenMs << " ms whole"
        << Qt::endl;
    out << "History tab opened   " << tabMs
        << " ms (list + trend + figures): " << (tabMs < 1000.0 ? "under" : "OVER") << " a second"
        << Qt::endl;
    out << "one server's trend   " << oneServerMs << " ms (" << oneServer.size() << " points)"
        << Qt::endl;
    if (!ok)
        out << "FAILED: " << store.errorMessage() << Qt::endl;
    return ok ? 0 : 1;
}
