// What a whole tarnbell-cli run costs per lookup over the bare blocking loop, against a real
// DNS server (NSD) on loopback: 99 servers x 99 domains (9,801 lookups) through the program
// as a user runs it, its start-up taken out by a 1 x 1 run, side by side with batches of the
// raw loop against the same server. With --strace (and strace installed) it also counts the
// program's system calls per lookup.
//
// With --checks, what --checks adds to a run of one lookup instead: against unbound answering
// from local data (its two designated endpoints verified over TLS), and against a validating
// unbound whose zones answer after 30 and 90 ms, the medians of `runs` runs with and without.
//
// With --against PATH, another build's tarnbell-cli runs the same lists in turn with this one,
// run by run, so both see the same machine load.
//
// The domains alternate between two names, so every lookup repeats a question asked two
// lookups before and most leave from a new socket (the worst case for the probe's rule);
// with --distinct they are 99 names, so a socket is only replaced when a server entry's
// first question was asked by the entry before it.
//
// Usage: bench_cli [runs=3] [--strace | --checks | --against PATH] [--distinct]

#include "benchstats.h"
#include "fixtures/realdnsserver.h"
#include "fixtures/realresolver.h"
#include "fixtures/recursiveresolver.h"
#include "rawlookup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using tarnbell::bench::RawLookup;
using tarnbell::testing::RealDnsServer;
using tarnbell::testing::RealResolver;
using tarnbell::testing::RecursiveResolver;

namespace {

constexpr int kSide = 99;
constexpr int kRawBatch = 1000;

bool writeLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(lines.join(u'\n').toUtf8() + '\n') > 0;
}

// Seconds for one run of the program, or a negative value when it failed.
double timedRun(const QStringList& args, const QString& program = TARNBELL_CLI_PATH) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    process.start(program, args);
    if (!process.waitForFinished(600'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return -1;
    return static_cast<double>(wall.nsecsElapsed()) / 1e9;
}

// The program's system calls per lookup, from strace's summary; negative without strace.
double syscallsPerLookup(const QStringList& args, const QString& dir) {
    const QString summary = dir + QStringLiteral("/strace.txt");
    if (timedRun(QStringList{"-f", "-c", "-o", summary, TARNBELL_CLI_PATH} + args,
                 QStringLiteral("strace")) < 0)
        return -1;
    QFile file(summary);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 4 && fields.constLast() == "total")
            return fields.at(3).toDouble() / (kSide * kSide);
    }
    return -1;
}

// Milliseconds that --checks adds to `args`, the median over `runs` runs of each.
void checksCost(const char* what, const QStringList& args, int runs) {
    std::vector<double> without;
    std::vector<double> with;
    for (int run = 0; run < runs; ++run) {
        without.push_back(timedRun(args) * 1e3);
        with.push_back(timedRun(args + QStringList{"--checks"}) * 1e3);
    }
    const double plain = tarnbell::bench::stats(without).median;
    const double checked = tarnbell::bench::stats(with).median;
    if (std::min(*std::min_element(without.begin(), without.end()),
                 *std::min_element(with.begin(), with.end())) < 0) {
        std::printf("  %-34s tarnbell-cli failed\n", what);
        return;
    }
    std::printf("  %-34s %7.1f ms without, %7.1f ms with: %+7.1f ms\n", what, plain, checked,
                checked - plain);
}

int checksBench(int runs) {
    RealResolver local(true);
    RecursiveResolver recursive(RecursiveResolver::Mode::Validating);
    if (!local.start() || !recursive.start()) {
        std::fprintf(stderr, "bench_cli: unbound cannot be started (%s%s)\n",
                     qPrintable(local.errorString()), qPrintable(recursive.errorString()));
        return 1;
    }
    std::printf("bench_cli --checks: one lookup, one server, %d runs each\n", runs);
    const QStringList common{"--type", "A", "--quiet", "--output", "/dev/null", "--timeout", "5"};
    checksCost("unbound, local data",
               QStringList{"--server", local.udpEntry(), "--domain", RealResolver::kZone,
                           "--ca-file", local.caFile(), "--dnssec-names",
                           "example.test,mail1.example.test", "--rebind-name", "www.example.test"} +
                   common,
               runs);
    checksCost("unbound, recursive over 30/90 ms",
               QStringList{"--server", recursive.serverText(), "--domain", "www.zone.tbtest",
                           "--dnssec-names", "www.zone.tbtest,bad.zone.tbtest", "--rebind-name",
                           "rebind.tbtest"} +
                   common,
               runs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool strace = args.contains(QStringLiteral("--strace"));
    const int runs =
        args.size() > 1 && !args.at(1).startsWith(u'-') ? std::max(1, args.at(1).toInt()) : 3;
    const qsizetype againstAt = args.indexOf(QStringLiteral("--against"));
    const QString other = againstAt > 0 ? args.value(againstAt + 1) : QString();
    if (args.contains(QStringLiteral("--checks")))
        return checksBench(runs);
    RealDnsServer server;
    if (RealDnsServer::programPath().isEmpty() || !server.start()) {
        std::fprintf(stderr, "bench_cli: NSD cannot be started (%s)\n",
                     qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir dir;
    QStringList servers;
    QStringList domains;
    for (int i = 0; i < kSide; ++i) {
        servers << server.serverText() + QStringLiteral(" - nsd %1").arg(i + 1);
        if (args.contains(QStringLiteral("--distinct")))
            domains << QStringLiteral("host%1.example.test").arg(i);
        else
            domains << (i % 2 ? QStringLiteral("www.example.test")
                              : QStringLiteral("example.test"));
    }
    const QString serversFile = dir.filePath(QStringLiteral("servers.txt"));
    const QString domainsFile = dir.filePath(QStringLiteral("domains.txt"));
    if (!writeLines(serversFile, servers) || !writeLines(domainsFile, domains))
        return 1;
    const QStringList common{"--type", "A", "--quiet", "--output", "/dev/null"};
    const QStringList whole =
        QStringList{"--servers", serversFile, "--domains", domainsFile} + common;
    const QStringList single =
        QStringList{"--server", server.serverText(), "--domain", "www.example.test"} + common;

    RawLookup raw(server.port(), "www.example.test", 1);
    std::vector<double> rawTimes;
    std::vector<double> perLookup;
    std::vector<double> otherPerLookup;
    for (int run = 0; run < runs; ++run) {
        if (!other.isEmpty()) {
            const double otherStartUp = timedRun(single, other);
            const double otherWall = timedRun(whole, other);
            if (otherStartUp < 0 || otherWall < 0) {
                std::fprintf(stderr, "bench_cli: %s failed\n", qPrintable(other));
                return 1;
            }
            otherPerLookup.push_back((otherWall - otherStartUp) / (kSide * kSide - 1) * 1e6);
        }
        for (int i = 0; i < kRawBatch; ++i)
            if (const double micros = raw.run(); micros >= 0)
                rawTimes.push_back(micros);
        const double startUp = timedRun(single);
        const double wall = timedRun(whole);
        if (startUp < 0 || wall < 0) {
            std::fprintf(stderr, "bench_cli: tarnbell-cli failed\n");
            return 1;
        }
        perLookup.push_back((wall - startUp) / (kSide * kSide - 1) * 1e6);
        std::printf("  run %d: %.3f s for %d lookups, start-up %.3f s\n", run + 1, wall,
                    kSide * kSide, startUp);
    }
    const auto rawStats = tarnbell::bench::stats(rawTimes);
    const auto cli = tarnbell::bench::stats(perLookup);
    std::printf("bench_cli: %d x %d lookups against NSD on loopback, %d runs\n", kSide, kSide,
                runs);
    std::printf("  raw sendto/recv      median %7.1f us per lookup\n", rawStats.median);
    std::printf("  tarnbell-cli         median %7.1f us per lookup\n", cli.median);
    std::printf("  over the raw loop    %+7.1f us per lookup (target <= 15)\n",
                cli.median - rawStats.median);
    if (!other.isEmpty()) {
        const auto against = tarnbell::bench::stats(otherPerLookup);
        std::printf("  %s\n                       median %7.1f us per lookup, %+7.1f us over the "
                    "raw loop; this build %+7.1f us per lookup against it\n",
                    qPrintable(other), against.median, against.median - rawStats.median,
                    cli.median - against.median);
    }
    if (strace) {
        const double calls = syscallsPerLookup(whole, dir.path());
        if (calls < 0)
            std::printf("  system calls: strace not available\n");
        else
            std::printf("  system calls         %7.1f per lookup (whole run, all threads)\n",
                        calls);
    }
    return 0;
}
