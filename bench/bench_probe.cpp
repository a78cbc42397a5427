// What the probe costs per lookup over a bare blocking loop, against the same loopback
// responder (running in its own thread) in one run: raw sendto/recv lookups and Probe
// lookups are interleaved, so both see the same machine load.
//
//     bench_probe [lookups=2000]
//
// "probe (reported)" is the time the probe itself measures and reports, from the kernel's
// receive stamp where there is one; "probe (caller)" adds the hops to and from the
// measurement thread, from the MX_Query_Speed call to the finished() receiver. Every other
// probe lookup asks the same name again, which the probe sends from a new socket (a late or
// duplicated answer to the earlier ask must not be taken for this one's); the others ask a
// new name each and keep the socket. "new socket" against "kept socket" is what that costs.

#include "benchstats.h"
#include "core/probe/probe.h"
#include "fixtures/fakeresponder.h"
#include "rawlookup.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <map>

using tarnbell::bench::RawLookup;
using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::core::TimeSource;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kDomain = "bench.example";
constexpr quint16 kType = 1;
constexpr int kWarmUp = 200;

void print(const char* name, const tarnbell::bench::Stats& s) {
    std::printf("  %-18s median %8.1f us   p99 %8.1f us\n", name, s.median, s.p99);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lookups = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    // The responder answers from its own thread, so the blocking loop has someone to hear.
    const tarnbell::testing::ResponderThread served;
    const tarnbell::testing::FakeResponder& responder = served.responder();
    if (!responder.isListening()) {
        std::fprintf(stderr, "the responder cannot listen on 127.0.0.1\n");
        return 1;
    }
    const QString server = responder.serverText();
    RawLookup raw(responder.port(), kDomain, kType);
    if (!raw.ok()) {
        std::fprintf(stderr, "no raw UDP socket\n");
        return 1;
    }

    std::vector<double> rawTimes, reportedTimes, callerTimes;
    std::vector<double> keptCaller, freshCaller;
    std::map<TimeSource, int> sources;
    int done = -kWarmUp;
    int failures = 0;
    Clock::time_point called;
    bool repeated = false;

    Probe probe;
    const auto next = [&] {
        const double rawMicros = raw.run();
        if (rawMicros < 0)
            ++failures;
        else if (done >= 0)
            rawTimes.push_back(rawMicros);
        repeated = done % 2 == 0;
        const QString domain = repeated ? QString::fromLatin1(kDomain)
                                        : QStringLiteral("n%1.%2").arg(done + kWarmUp).arg(kDomain);
        called = Clock::now();
        probe.MX_Query_Speed(server, domain, kType);
    };
    QObject::connect(&probe, &Probe::finished, &app, [&](const ProbeResult& result) {
        const double callerMicros =
            std::chrono::duration<double, std::micro>(Clock::now() - called).count();
        if (result.outcome != ProbeOutcome::Answered) {
            ++failures;
        } else if (done >= 0) {
            reportedTimes.push_back(result.seconds * 1e6);
            callerTimes.push_back(callerMicros);
            (repeated ? freshCaller : keptCaller).push_back(callerMicros);
            ++sources[result.timeSource];
        }
        if (++done >= lookups)
            app.quit();
        else
            next();
    });
    QTimer::singleShot(0, &app, next);
    app.exec();

    // A planned run: the measurement thread starts each lookup the moment the one before
    // ends, and the caller only follows. Wall time per lookup, against raw lookups timed
    // just before it.
    QList<tarnbell::core::PlannedLookup> plan(lookups,
                                              {server, QString::fromLatin1(kDomain), kType});
    const auto hold = std::make_shared<std::atomic<bool>>(false);
    Probe planned;
    planned.planRun(plan, hold);
    qsizetype plannedIndex = 0;
    const Clock::time_point plannedStart = Clock::now();
    QObject::connect(&planned, &Probe::finished, &app, [&](const ProbeResult& result) {
        if (result.outcome != ProbeOutcome::Answered)
            ++failures;
        if (++plannedIndex >= lookups)
            app.quit();
        else
            planned.lookUpPlanned(plannedIndex, server, QString::fromLatin1(kDomain), kType);
    });
    planned.lookUpPlanned(0, server, QString::fromLatin1(kDomain), kType);
    app.exec();
    const double plannedMicros =
        std::chrono::duration<double, std::micro>(Clock::now() - plannedStart).count() / lookups;

    if (rawTimes.empty() || reportedTimes.empty()) {
        std::fprintf(stderr, "no lookups measured (%d failures)\n", failures);
        return 1;
    }
    const auto rawStats = tarnbell::bench::stats(rawTimes);
    const auto reported = tarnbell::bench::stats(reportedTimes);
    const auto caller = tarnbell::bench::stats(callerTimes);
    std::printf("bench_probe: %zu lookups each, interleaved, loopback responder in its own "
                "thread (%d failures); arrival from the kernel stamp in %d, the monotonic "
                "clock in %d\n",
                rawTimes.size(), failures, sources[TimeSource::Kernel],
                sources[TimeSource::Monotonic]);
    print("raw sendto/recv", rawStats);
    print("probe (reported)", reported);
    print("probe (caller)", caller);
    print("probe, kept socket", tarnbell::bench::stats(keptCaller));
    print("probe, new socket", tarnbell::bench::stats(freshCaller));
    std::printf("  %-18s mean     %8.1f us per lookup, wall\n", "probe (planned)", plannedMicros);
    std::printf("  median ratio probe/raw: reported %.2f, caller %.2f\n",
                reported.median / rawStats.median, caller.median / rawStats.median);
    std::printf("  median added by the probe: reported %+.1f us (target <= 5), caller %+.1f us\n",
                reported.median - rawStats.median, caller.median - rawStats.median);
    std::printf("  median added by a new socket (caller): %+.1f us\n",
                tarnbell::bench::stats(freshCaller).median -
                    tarnbell::bench::stats(keptCaller).median);
    return failures == 0 ? 0 : 2;
}
