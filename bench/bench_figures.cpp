// The cost of recomputing every figure of a large run: 99 servers x 99 domains x 5 rounds
// (49,005 lookups, a few failed or timed out) through RunFigures::servers(), the call the
// window's details tab and the command-line tool make, and the fastest-first table built
// from it. Prints the median of several repetitions (target: under 50 ms).
//
// Usage: bench_figures [repetitions]

#include "core/results/figures.h"
#include "core/results/figurestablemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>
#include <algorithm>

using namespace tarnbell::core;

namespace {

constexpr int kServers = 99;
constexpr int kDomains = 99;
constexpr int kRounds = 5;

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const auto n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// A run as the engine records it: rounds outer, servers rotated, domains inner. Times
// from a fixed seed, each server around its own centre; one lookup in 200 times out and
// one in 200 is refused.
RunFigures largeRun() {
    QStringList servers;
    for (int i = 0; i < kServers; ++i)
        servers << QStringLiteral("10.0.%1.1 - bench").arg(i);
    RunFigures run;
    run.start(servers, QStringLiteral("10.0.0.1"));
    QRandomGenerator random(42);
    for (int round = 0; round < kRounds; ++round) {
        for (int position = 0; position < kServers; ++position) {
            const int server = (position + round) % kServers;
            for (int domain = 0; domain < kDomains; ++domain) {
                ProbeResult result;
                const quint32 draw = random.bounded(200u);
                result.outcome = draw == 0 ? ProbeOutcome::TimedOut : ProbeOutcome::Answered;
                result.seconds =
                    draw == 0 ? 10.0
                              : (5.0 + server * 0.2 + random.generateDouble() * 8.0) / 1000.0;
                result.rcode = draw == 1 ? 5 : 0;
                run.add(lookupRecord(servers.at(server), QStringLiteral("d%1.test").arg(domain),
                                     result, server, round));
            }
        }
    }
    return run;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;
    QTextStream out(stdout);
    const RunFigures run = largeRun();
    out << "bench_figures: " << kServers << " servers x " << kDomains << " domains x " << kRounds
        << " rounds = " << run.lookups().size() << " lookups, " << repetitions << " repetitions\n";

    QList<double> figures;
    QList<double> table;
    int tied = 0;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QList<ServerFigures> servers = run.servers();
        figures << static_cast<double>(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        FiguresTableModel model;
        model.setFigures(servers);
        table << static_cast<double>(clock.nsecsElapsed()) / 1e6;
        tied = static_cast<int>(
            std::count_if(servers.cbegin(), servers.cend(),
                          [](const ServerFigures& s) { return s.tiedWithFastest; }));
    }
    out << QStringLiteral("median: all figures %1 ms (target < 50), fastest-first table %2 ms; "
                          "%3 servers tied with the fastest\n")
               .arg(median(figures), 0, 'f', 2)
               .arg(median(table), 0, 'f', 2)
               .arg(tied);
    return 0;
}
