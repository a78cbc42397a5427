// What the probe costs per lookup over a bare blocking loop, against the same loopback
// responder (running in its own thread) in one run: raw sendto/recv lookups and Probe
// lookups are interleaved, so both see the same machine load.
//
//     bench_probe [lookups=2000]
//
// "probe (reported)" is the time the probe itself measures and reports; "probe (caller)"
// adds the event-loop hops from the MX_Query_Speed call to the finished() receiver.

#include "core/probe.h"
#include "dns/moddns.h"
#include "fixtures/fakeresponder.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::testing::FakeResponder;
using Clock = std::chrono::steady_clock;
namespace dns = tarnbell::dns;

namespace {

constexpr const char* kDomain = "bench.example";
constexpr quint16 kType = 1;
constexpr int kWarmUp = 200;

double microseconds(Clock::duration span) {
    return std::chrono::duration<double, std::micro>(span).count();
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats stats(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
        return values[i];
    };
    return {at(0.5), at(0.99)};
}

// The bare loop: build, send, block in recv until the answer, read it. The same work the
// probe does, minus the event loop.
class RawLookup {
public:
    explicit RawLookup(quint16 port) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        m_server.sin_family = AF_INET;
        m_server.sin_port = htons(port);
        m_server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~RawLookup() { ::close(m_fd); }
    bool ok() const { return m_fd >= 0; }

    // Microseconds for one lookup; negative on failure.
    double run() {
        const Clock::time_point start = Clock::now();
        const dns::Query query = dns::BuildQuery(kDomain, kType);
        if (::sendto(m_fd, query.datagram.data(), query.datagram.size(), 0,
                     reinterpret_cast<const sockaddr*>(&m_server), sizeof m_server) < 0)
            return -1;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t size = ::recvfrom(m_fd, m_reply, sizeof m_reply, 0,
                                            reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (size < 0)
                return -1;
            const dns::ByteView reply(m_reply, static_cast<std::size_t>(size));
            if (from.sin_port != m_server.sin_port || !dns::IsAnswerTo(reply, query.datagram))
                continue;
            m_sink += dns::InterpretReply(reply, kType).size();
            return microseconds(Clock::now() - start);
        }
    }

private:
    int m_fd = -1;
    sockaddr_in m_server{};
    std::uint8_t m_reply[4096];
    std::size_t m_sink = 0;
};

void print(const char* name, const Stats& s) {
    std::printf("  %-18s median %8.1f us   p99 %8.1f us\n", name, s.median, s.p99);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lookups = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    // The responder answers from its own thread, so the blocking loop has someone to hear.
    QThread responderThread;
    responderThread.start();
    QObject anchor;
    anchor.moveToThread(&responderThread);
    FakeResponder* responder = nullptr;
    QMetaObject::invokeMethod(
        &anchor, [&] { responder = new FakeResponder; }, Qt::BlockingQueuedConnection);
    if (!responder->isListening()) {
        std::fprintf(stderr, "the responder cannot listen on 127.0.0.1\n");
        return 1;
    }
    const QString server = responder->serverText();
    RawLookup raw(responder->port());
    if (!raw.ok()) {
        std::fprintf(stderr, "no raw UDP socket\n");
        return 1;
    }

    std::vector<double> rawTimes, reportedTimes, callerTimes;
    rawTimes.reserve(lookups);
    reportedTimes.reserve(lookups);
    callerTimes.reserve(lookups);
    int done = -kWarmUp;
    int failures = 0;
    Clock::time_point called;

    Probe probe;
    const auto next = [&] {
        const double rawMicros = raw.run();
        if (rawMicros < 0)
            ++failures;
        else if (done >= 0)
            rawTimes.push_back(rawMicros);
        called = Clock::now();
        probe.MX_Query_Speed(server, QString::fromLatin1(kDomain), kType);
    };
    QObject::connect(&probe, &Probe::finished, &app, [&](const ProbeResult& result) {
        const double callerMicros = microseconds(Clock::now() - called);
        if (result.outcome != ProbeOutcome::Answered) {
            ++failures;
        } else if (done >= 0) {
            reportedTimes.push_back(result.seconds * 1e6);
            callerTimes.push_back(callerMicros);
        }
        if (++done >= lookups)
            app.quit();
        else
            next();
    });
    QTimer::singleShot(0, &app, next);
    app.exec();

    QMetaObject::invokeMethod(
        &anchor, [&] { delete responder; }, Qt::BlockingQueuedConnection);
    responderThread.quit();
    responderThread.wait();

    if (rawTimes.empty() || reportedTimes.empty()) {
        std::fprintf(stderr, "no lookups measured (%d failures)\n", failures);
        return 1;
    }
    const Stats rawStats = stats(rawTimes);
    const Stats reported = stats(reportedTimes);
    const Stats caller = stats(callerTimes);
    std::printf("bench_probe: %zu lookups each, interleaved, loopback responder in its own "
                "thread (%d failures)\n",
                rawTimes.size(), failures);
    print("raw sendto/recv", rawStats);
    print("probe (reported)", reported);
    print("probe (caller)", caller);
    std::printf("  median ratio probe/raw: reported %.2f, caller %.2f\n",
                reported.median / rawStats.median, caller.median / rawStats.median);
    std::printf("  median added by the probe: reported %+.1f us, caller %+.1f us (target < 30)\n",
                reported.median - rawStats.median, caller.median - rawStats.median);
    return failures == 0 ? 0 : 2;
}
