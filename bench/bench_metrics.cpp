// What a scrape of a probe over 99 servers costs: a registry holding 99 servers x 4 kinds,
// every server with three outcomes (answered, timed_out, error_reply) and a quarter of them
// over stream transports (connection set-up histograms), then the exposition in both formats
// built from it, and a whole scrape over HTTP on loopback from the listener on a thread of its
// own. Sizes in bytes and lines, times as medians and 99th percentiles in milliseconds.
//
// Usage: bench_metrics [repetitions=50]

#include "benchstats.h"
#include "core/metrics/metricsserver.h"
#include "core/metrics/metricstext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>

using namespace tarnbell;

namespace {

constexpr int kServers = 99;

// One run of 99 domains per server and kind; one lookup in 20 timed out, one in 50 refused.
QList<core::LookupRecord> oneRun() {
    static const char* const kSchemes[] = {"", "tcp://", "tls://", "https://"};
    QList<core::LookupRecord> lookups;
    for (int server = 0; server < kServers; ++server) {
        const QString entry = QStringLiteral("%1192.0.2.%2 - resolver number %2")
                                  .arg(QLatin1String(kSchemes[server % 8 < 6 ? 0 : server % 4]))
                                  .arg(server + 1);
        for (int kind = 0; kind < core::kQueryKindCount; ++kind) {
            for (int domain = 0; domain < 99; ++domain) {
                core::LookupRecord lookup;
                lookup.serverEntry = entry;
                lookup.queryKind = core::QueryKind(kind);
                lookup.outcome =
                    domain % 20 == 0 ? core::ProbeOutcome::TimedOut : core::ProbeOutcome::Answered;
                lookup.rcode = domain % 50 == 1 ? 5 : 0;
                lookup.seconds = lookup.outcome == core::ProbeOutcome::TimedOut || lookup.rcode
                                     ? 10.0
                                     : 0.0002 * (1 + domain % 40) * (1 + kind);
                lookup.newConnection = domain == 0 && !entry.startsWith('1');
                lookup.connectSeconds = 0.003;
                lookups.append(lookup);
            }
        }
    }
    return lookups;
}

double millisecondsSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void print(const char* what, const bench::Stats& times, const QByteArray& bytes) {
    std::printf("%-34s %9lld bytes %6lld lines   median %7.3f ms   p99 %7.3f ms\n", what,
                static_cast<long long>(bytes.size()), static_cast<long long>(bytes.count('\n')),
                times.median, times.p99);
}

// One GET /metrics on a new connection, as Prometheus scrapes; all the bytes it answers.
QByteArray scrape(quint16 port, const QByteArray& accept) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    socket.write("GET /metrics HTTP/1.1\r\nHost: bench\r\nAccept: " + accept + "\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    return reply + socket.readAll();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 50;
    core::MetricsRegistry registry;
    const QList<core::LookupRecord> run = oneRun();
    QElapsedTimer clock;
    clock.start();
    registry.addRun(run, 1.7e9);
    const double addMs = millisecondsSince(clock);
    std::printf("%d servers: %zu duration series, %zu outcome series, %zu set-up series; one "
                "run of %lld lookups added in %.2f ms\n",
                kServers, registry.durations().size(), registry.outcomes().size(),
                registry.setups().size(), static_cast<long long>(run.size()), addMs);

    for (const auto format : {core::MetricsFormat::Prometheus, core::MetricsFormat::OpenMetrics}) {
        std::vector<double> times;
        QByteArray text;
        for (int i = 0; i < repetitions; ++i) {
            clock.start();
            text = core::metricsText(registry, format);
            times.push_back(millisecondsSince(clock));
        }
        print(format == core::MetricsFormat::Prometheus ? "exposition, text 0.0.4"
                                                        : "exposition, OpenMetrics 1.0",
              bench::stats(times), text);
    }

    // The listener on a thread of its own, as it runs beside the probe's main loop.
    QThread thread;
    auto* server = new core::MetricsServer(
        [&registry](core::MetricsFormat format) { return core::metricsText(registry, format); });
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    thread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server,
        [server, &port] {
            server->listen(QHostAddress::LocalHost, 0);
            port = server->port();
        },
        Qt::BlockingQueuedConnection);
    for (const QByteArray& accept :
         {QByteArray("text/plain"), QByteArray("application/openmetrics-text;version=1.0.0")}) {
        std::vector<double> times;
        QByteArray reply;
        for (int i = 0; i < repetitions; ++i) {
            clock.start();
            reply = scrape(port, accept);
            times.push_back(millisecondsSince(clock));
        }
        print(accept.startsWith("text") ? "scrape over HTTP, text 0.0.4"
                                        : "scrape over HTTP, OpenMetrics 1.0",
              bench::stats(times), reply);
    }
    thread.quit();
    thread.wait();
    return 0;
}
