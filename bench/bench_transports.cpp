// Per-lookup time of each transport against one real resolver (unbound on loopback, local
// data), in one run: UDP, and TCP, TLS and HTTPS on a kept connection, the lookups of the
// four interleaved so all see the same machine load. Then every transport's set-up time
// (TCP connect, TLS handshake, HTTP/2 settings) over fresh connections.
//
//     bench_transports [lookups per transport=1000] [set-ups per transport=50]
//
// The times are the probe's own figures: the kernel's receive stamp for UDP where there is
// one, the monotonic clock at the read of the whole reply on a stream.

#include "benchstats.h"
#include "core/probe/probe.h"
#include "fixtures/realresolver.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <cstdio>
#include <map>

using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::core::TimeSource;
using tarnbell::testing::RealResolver;

namespace {

constexpr int kWarmUp = 50; // per transport, not counted

struct Transport {
    const char* name;
    QString entry;
    Probe* probe;
    std::vector<double> lookupUs;
    std::vector<double> setupUs;
    std::map<TimeSource, int> sources;
    int failed = 0;
};

const char* sourceName(TimeSource source) {
    switch (source) {
    case TimeSource::Kernel:
        return "kernel";
    case TimeSource::Monotonic:
        return "monotonic";
    case TimeSource::None:
        break;
    }
    return "none";
}

// Runs `rounds` rounds of one lookup per transport, in turn, and records what `take` wants.
void run(std::vector<Transport>& transports, int rounds,
         const std::function<void(Transport&, const ProbeResult&, bool counted)>& take) {
    const int total = rounds * static_cast<int>(transports.size());
    int done = 0;
    QList<QMetaObject::Connection> connections;
    const auto next = [&] {
        Transport& t = transports[static_cast<std::size_t>(done) % transports.size()];
        t.probe->MX_Query_Speed(t.entry, QString::fromLatin1(RealResolver::kZone), 1);
    };
    const auto finished = [&](const ProbeResult& result) {
        Transport& t = transports[static_cast<std::size_t>(done) % transports.size()];
        if (result.outcome != ProbeOutcome::Answered)
            ++t.failed;
        else
            take(t, result, done >= kWarmUp * static_cast<int>(transports.size()));
        if (++done < total)
            next();
        else
            QCoreApplication::exit(0);
    };
    for (const Transport& t : transports) {
        if (std::none_of(transports.begin(), transports.begin() + (&t - transports.data()),
                         [&](const Transport& other) { return other.probe == t.probe; }))
            connections << QObject::connect(t.probe, &Probe::finished, finished);
    }
    next();
    QCoreApplication::exec();
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lookups = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int setups = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;

    RealResolver resolver;
    if (RealResolver::programPath().isEmpty() || !resolver.start()) {
        std::fprintf(stderr, "no loopback unbound: %s\n", qPrintable(resolver.errorString()));
        return 1;
    }
    const QList<QSslCertificate> ca = QSslCertificate::fromPath(resolver.caFile());
    Probe probe;
    probe.setExtraCertificates(ca);
    Probe readClock; // UDP timed at the read, as the streams are
    readClock.setKernelTimestamps(false);
    // UDP twice: as the program times it (the kernel's receive stamp) and by the clock at
    // the read, the fair base of the ratios.
    std::vector<Transport> transports{{"UDP", resolver.udpEntry(), &probe, {}, {}, {}, 0},
                                      {"UDP@read", resolver.udpEntry(), &readClock, {}, {}, {}, 0},
                                      {"TCP", resolver.tcpEntry(), &probe, {}, {}, {}, 0},
                                      {"TLS", resolver.tlsEntry(), &probe, {}, {}, {}, 0},
                                      {"HTTPS", resolver.httpsEntry(), &probe, {}, {}, {}, 0}};
    run(transports, lookups + kWarmUp, [](Transport& t, const ProbeResult& result, bool counted) {
        if (!counted)
            return;
        t.lookupUs.push_back(result.seconds * 1e6);
        ++t.sources[result.timeSource];
    });
    probe.setFreshConnections(true);
    std::vector<Transport> streams(transports.begin() + 2, transports.end());
    run(streams, setups + kWarmUp, [](Transport& t, const ProbeResult& result, bool counted) {
        if (counted && result.newConnection)
            t.setupUs.push_back(result.connectSeconds * 1e6);
    });

    const tarnbell::bench::Stats udp = tarnbell::bench::stats(transports[1].lookupUs);
    const tarnbell::bench::Stats udpReported = tarnbell::bench::stats(transports[0].lookupUs);
    std::printf("%d lookups per transport on a kept connection (unbound, loopback, A %s):\n",
                lookups, RealResolver::kZone);
    for (const Transport& t : transports) {
        const tarnbell::bench::Stats s = tarnbell::bench::stats(t.lookupUs);
        std::printf("  %-6s median %7.1f us   p99 %7.1f us   %4.2fx UDP@read   %4.2fx UDP   failed "
                    "%d   clock:",
                    t.name, s.median, s.p99, udp.median > 0 ? s.median / udp.median : 0.0,
                    udpReported.median > 0 ? s.median / udpReported.median : 0.0, t.failed);
        for (const auto& [source, count] : t.sources)
            std::printf(" %s %d", sourceName(source), count);
        std::printf("\n");
    }
    std::printf("set-up per new connection (%d each, monotonic clock):\n", setups);
    for (const Transport& t : streams) {
        const tarnbell::bench::Stats s = tarnbell::bench::stats(t.setupUs);
        std::printf("  %-8s median %7.1f us   p99 %7.1f us   failed %d\n", t.name, s.median, s.p99,
                    t.failed);
    }
    return 0;
}
