// What hostile servers cost tarnbell-cli: for each of HostileServer's modes, the program asked
// about one domain twice, a good UDP responder listed first, a few runs per time limit. One
// line per mode and limit: median wall and CPU seconds, the largest peak resident memory, and
// the hostile server's lookups (outcome, error, seconds to 0.1) as each different one was seen
// over the runs, or how a run ended when it did not exit with status 0. A normal run, against
// a second good responder and without --ca-file (which alone loads TLS, some 5 MB), comes first.
//
// Usage: bench_hostile [runs=3]

#include "benchstats.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/hostileserver.h"
#include "fixtures/measuredrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

using tarnbell::testing::HostileServer;
using tarnbell::testing::MeasuredRun;
using tarnbell::testing::ResponderThread;
using Mode = HostileServer::Mode;

namespace {

// The lookups of `server` in the run's JSON, as "outcome (error) seconds".
QStringList lookupsOf(const QString& jsonPath, const QString& server) {
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("no JSON written")};
    QStringList seen;
    for (const QJsonValue& lookup : QJsonDocument::fromJson(file.readAll())["lookups"].toArray()) {
        if (lookup["server"].toString() != server)
            continue;
        const QString error = lookup["error"].toString();
        seen << QStringLiteral("%1%2 %3 s")
                    .arg(lookup["outcome"].toString(), error.isEmpty() ? "" : " (" + error + ")")
                    .arg(lookup["seconds"].toDouble(), 0, 'f', 1);
    }
    return seen;
}

// How the run ended when it did not exit with status 0, else the lookups of `server`.
QStringList endOf(const MeasuredRun& run, const QString& jsonPath, const QString& server) {
    if (run.signal != 0)
        return {
            QStringLiteral("killed by signal %1 (%2)").arg(run.signal).arg(strsignal(run.signal))};
    if (run.exitCode != 0)
        return {QStringLiteral("exit status %1").arg(run.exitCode)};
    return lookupsOf(jsonPath, server);
}

void measure(const char* label, const QString& entry, const QString& caFile, int timeout,
             int runs) {
    const ResponderThread good;
    std::vector<double> wall;
    std::vector<double> cpu;
    long peakKiB = 0;
    QStringList seen;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        const QString json = dir.filePath(QStringLiteral("run.json"));
        QStringList arguments{"--server",  good.responder().serverText(),
                              "--server",  entry,
                              "--domain",  "example.test",
                              "--domain",  "example.test",
                              "--type",    "A",
                              "--timeout", QString::number(timeout),
                              "--json",    json,
                              "--quiet",   "-o",
                              "/dev/null"};
        if (!caFile.isEmpty())
            arguments << "--ca-file" << caFile;
        const MeasuredRun run = tarnbell::testing::runMeasured(TARNBELL_CLI_PATH, arguments);
        wall.push_back(run.wallSeconds);
        cpu.push_back(run.cpuSeconds);
        peakKiB = std::max(peakKiB, run.peakRssKiB);
        const QStringList lookups = endOf(run, json, entry);
        for (const QString& text : lookups)
            if (!seen.contains(text))
                seen << text;
    }
    std::printf("%-17s %3d s %8.2f %8.2f %8.1f  %s\n", label, timeout,
                tarnbell::bench::stats(wall).median, tarnbell::bench::stats(cpu).median,
                static_cast<double>(peakKiB) / 1024, qPrintable(seen.join(QStringLiteral("; "))));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 3;
    struct Case {
        const char* label;
        Mode mode;
        bool alsoLongLimit; // the floods: how far past a 10 s limit do they go?
    };
    const Case cases[] = {
        {"SettingsFlood", Mode::SettingsFlood, true},
        {"DataFlood", Mode::DataFlood, true},
        {"JunkStream", Mode::JunkStream, true},
        {"DuplicateUdp", Mode::DuplicateUdp, false},
        {"UnsolicitedHttp1", Mode::UnsolicitedHttp1, false},
        {"Continue100", Mode::Continue100, false},
        {"ClosedPort", Mode::ClosedPort, false},
    };
    std::printf("bench_hostile: tarnbell-cli, 2 lookups of each server, %d runs per line\n"
                "mode              limit   wall s    CPU s  peak MB  hostile server's lookups\n",
                runs);
    {
        const ResponderThread normal;
        measure("normal, no CA", normal.responder().serverText(), {}, 2, runs);
    }
    for (const Case& c : cases) {
        for (const int timeout : {2, 10}) {
            if (timeout == 10 && !c.alsoLongLimit)
                continue;
            const HostileServer server(c.mode);
            measure(c.label, server.entry(), server.caFile(), timeout, runs);
        }
    }
    return 0;
}
