// The run engine's own cost: 99 servers x 99 domains (9,801 lookups) against a probe that
// answers at once. Prints lookups per second and the engine's overhead per lookup (wall
// time minus the time spent inside the probe), as medians over several runs.
//
// Usage: bench_engine [repetitions]

#include "core/benchmarkengine.h"
#include "fixtures/scriptedprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <algorithm>

using namespace tarnbell::core;
using tarnbell::testing::ScriptedProbe;

namespace {

constexpr int kServers = 99;
constexpr int kDomains = 99;

struct Figures {
    double lookupsPerSecond = 0.0;
    double overheadMicroseconds = 0.0; // per lookup
    double wallSeconds = 0.0;
};

Figures runOnce() {
    RunRequest request;
    for (int i = 0; i < kServers; ++i)
        request.servers << QStringLiteral("192.0.2.%1 - bench").arg(i + 1);
    for (int i = 0; i < kDomains; ++i)
        request.domains << QStringLiteral("d%1.bench.test").arg(i + 1);
    request.recordTypeChoice = QStringLiteral("MX 15");

    ScriptedProbe probe;
    probe.setMeasuring(true); // seconds = the real time from the call to the answer
    LookupTableModel lookups;
    SummaryTableModel summary;
    BenchmarkEngine engine(&probe, &lookups, &summary);
    QEventLoop loop;
    QObject::connect(&engine, &BenchmarkEngine::finished, &loop, &QEventLoop::quit);

    QElapsedTimer wall;
    wall.start();
    if (!engine.BenchmarkDNS(request))
        return {};
    loop.exec();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;

    const double lookupsDone = static_cast<double>(lookups.rowCount());
    return {lookupsDone / seconds, (seconds - probe.measuredSeconds()) / lookupsDone * 1e6,
            seconds};
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const auto n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTextStream out(stdout);
    out << "bench_engine: " << kServers << " x " << kDomains << " = " << kServers * kDomains
        << " lookups, scripted probe answering after 0 ms, " << repetitions << " runs\n";

    QList<double> rates;
    QList<double> overheads;
    QList<double> walls;
    for (int run = 0; run < repetitions; ++run) {
        const Figures figures = runOnce();
        rates << figures.lookupsPerSecond;
        overheads << figures.overheadMicroseconds;
        walls << figures.wallSeconds;
        out << QStringLiteral("  run %1: %2 s, %3 lookups/s, overhead %4 us/lookup\n")
                   .arg(run + 1)
                   .arg(figures.wallSeconds, 0, 'f', 3)
                   .arg(figures.lookupsPerSecond, 0, 'f', 0)
                   .arg(figures.overheadMicroseconds, 0, 'f', 1);
        out.flush();
    }
    out << QStringLiteral("median: %1 s wall, %2 lookups/s, engine overhead %3 us/lookup "
                          "(target < 100)\n")
               .arg(median(walls), 0, 'f', 3)
               .arg(median(rates), 0, 'f', 0)
               .arg(median(overheads), 0, 'f', 1);
    return 0;
}
