// The run engine's own cost: 99 servers x 99 domains (9,801 lookups), once with the real UDP
// probe against a loopback responder that answers at once, once with a scripted probe that
// answers at once, side by side in one run. Prints lookups per second and the engine's
// overhead per lookup (wall time minus the time the probe measured), as medians.
//
// Usage: bench_engine [repetitions]

#include "core/probe/probe.h"
#include "core/run/benchmarkengine.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/scriptedprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <algorithm>

using namespace tarnbell::core;
using tarnbell::testing::FakeResponder;
using tarnbell::testing::ScriptedProbe;

namespace {

constexpr int kServers = 99;
constexpr int kDomains = 99;

struct Figures {
    double lookupsPerSecond = 0.0;
    double overheadMicroseconds = 0.0; // per lookup
    double wallSeconds = 0.0;
};

Figures runOnce(LookupProbe& probe, const QString& serverAddress) {
    RunRequest request;
    for (int i = 0; i < kServers; ++i)
        request.servers << QStringLiteral("%1 - bench %2").arg(serverAddress).arg(i + 1);
    for (int i = 0; i < kDomains; ++i)
        request.domains << QStringLiteral("d%1.bench.test").arg(i + 1);
    request.recordTypeChoice = QStringLiteral("MX 15");

    LookupTableModel lookups;
    SummaryTableModel summary;
    BenchmarkEngine engine(&probe, &lookups, &summary);
    double probeSeconds = 0.0;
    QObject::connect(&engine, &BenchmarkEngine::lookupMeasured,
                     [&](int, const LookupRecord& record) { probeSeconds += record.seconds; });
    QEventLoop loop;
    QObject::connect(&engine, &BenchmarkEngine::finished, &loop, &QEventLoop::quit);

    QElapsedTimer wall;
    wall.start();
    if (!engine.BenchmarkDNS(request))
        return {};
    loop.exec();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;

    const double lookupsDone = static_cast<double>(lookups.rowCount());
    return {lookupsDone / seconds, (seconds - probeSeconds) / lookupsDone * 1e6, seconds};
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
        << " lookups, probes answering after 0 ms, " << repetitions << " runs each\n";

    FakeResponder responder;
    Probe udpProbe;
    ScriptedProbe scriptedProbe;
    scriptedProbe.setMeasuring(true); // seconds = the real time from the call to the answer

    QList<double> rates[2];
    QList<double> overheads[2];
    QList<double> walls[2];
    const char* names[2] = {"udp probe + loopback responder", "scripted probe"};
    for (int run = 0; run < repetitions; ++run) {
        for (int kind = 0; kind < 2; ++kind) { // interleaved, so both see the same machine
            const Figures figures = kind == 0 ? runOnce(udpProbe, responder.serverText())
                                              : runOnce(scriptedProbe, QStringLiteral("192.0.2.1"));
            rates[kind] << figures.lookupsPerSecond;
            overheads[kind] << figures.overheadMicroseconds;
            walls[kind] << figures.wallSeconds;
            out << QStringLiteral("  run %1, %2: %3 s, %4 lookups/s, overhead %5 us/lookup\n")
                       .arg(run + 1)
                       .arg(QString::fromLatin1(names[kind]))
                       .arg(figures.wallSeconds, 0, 'f', 3)
                       .arg(figures.lookupsPerSecond, 0, 'f', 0)
                       .arg(figures.overheadMicroseconds, 0, 'f', 1);
            out.flush();
        }
    }
    for (int kind = 0; kind < 2; ++kind)
        out << QStringLiteral("median, %1: %2 s wall, %3 lookups/s, engine overhead %4 us/lookup "
                              "(target < 100)\n")
                   .arg(QString::fromLatin1(names[kind]))
                   .arg(median(walls[kind]), 0, 'f', 3)
                   .arg(median(rates[kind]), 0, 'f', 0)
                   .arg(median(overheads[kind]), 0, 'f', 1);
    return 0;
}
