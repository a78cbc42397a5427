// The memory of a probe left running: tarnbell-cli with --every 1s, --metrics-listen and
// --metrics-file, asking 10 servers (9 entries of a responder on loopback, one closed port)
// about 20 domains as listed, cached and uncached lookups, and scraped once a second as
// Prometheus would. Every `step` seconds a line gives the time, the runs so far (from the
// metrics) and the probe's resident memory (VmRSS) and peak (VmHWM) from /proc; at the end,
// the growth of the resident memory from the first minute to the last.
//
// Usage: bench_probe_memory [seconds=600] [step=10]

#include "fixtures/fakeresponder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>

using tarnbell::testing::ResponderThread;

namespace {

// A field of /proc/PID/status in KiB, 0 when it cannot be read.
long statusKiB(qint64 pid, const char* field) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression pattern(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(field),
                                     QRegularExpression::MultilineOption);
    return pattern.match(QString::fromLatin1(file.readAll())).captured(1).toLong();
}

QByteArray scrape(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(2000);
    socket.write("GET /metrics HTTP/1.1\r\nAccept: application/openmetrics-text;version=1.0.0,"
                 "text/plain;version=0.0.4;q=0.5\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(2000))
        reply += socket.readAll();
    return reply;
}

// The runs so far: the lookups counted, over one run's.
long long lookupsCounted(const QByteArray& metrics) {
    static const QRegularExpression sample(
        QStringLiteral("^tarnbell_lookups_total\\{.*\\} (\\d+)$"),
        QRegularExpression::MultilineOption);
    long long total = 0;
    for (auto it = sample.globalMatch(QString::fromUtf8(metrics)); it.hasNext();)
        total += it.next().captured(1).toLongLong();
    return total;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, QByteArray(argv[1]).toInt()) : 600;
    const int step = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 10;
    const ResponderThread responder;
    QTemporaryDir dir;
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QStringList arguments{"--every",
                          "1s",
                          "--quiet",
                          "--metrics-listen",
                          QStringLiteral("127.0.0.1:%1").arg(port),
                          "--metrics-file",
                          dir.filePath("tarnbell.prom"),
                          "--output",
                          dir.filePath("last.csv"),
                          "--json",
                          dir.filePath("last.json"),
                          "--kinds",
                          "listed,cached,uncached",
                          "--timeout",
                          "1",
                          "--server",
                          "127.0.0.1:9 - closed"};
    for (int i = 1; i <= 9; ++i)
        arguments << "--server"
                  << responder.responder().serverText() + QStringLiteral(" - r%1").arg(i);
    for (int i = 1; i <= 20; ++i)
        arguments << "--domain" << QStringLiteral("name%1.example.test").arg(i);
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedChannels);
    probe.start(QStringLiteral(TARNBELL_CLI_PATH), arguments);
    if (!probe.waitForStarted())
        return 1;
    const qint64 perRun = 10 * 20 * 3;
    std::printf("%8s %6s %10s %10s\n", "seconds", "runs", "VmRSS KiB", "VmHWM KiB");
    QElapsedTimer clock;
    clock.start();
    long firstMinute = 0;
    long rss = 0;
    for (int next = step; next <= seconds; next += step) {
        QByteArray metrics;
        while (clock.elapsed() < next * 1000LL) {
            metrics = scrape(port);
            QThread::msleep(1000);
        }
        rss = statusKiB(probe.processId(), "VmRSS");
        if (next <= 60)
            firstMinute = std::max(firstMinute, rss);
        std::printf("%8d %6lld %10ld %10ld\n", next, lookupsCounted(metrics) / perRun, rss,
                    statusKiB(probe.processId(), "VmHWM"));
        std::fflush(stdout);
    }
    const long peak = statusKiB(probe.processId(), "VmHWM");
    // A probe that ended on its own has no process id left: kill(0) would hit this program too.
    if (probe.state() == QProcess::Running)
        ::kill(pid_t(probe.processId()), SIGTERM);
    probe.waitForFinished(30000);
    std::printf("peak %ld KiB; resident at the end %ld KiB, %+ld KiB against the first "
                "minute's largest; exit status %d\n",
                peak, rss, rss - firstMinute, probe.exitCode());
    return 0;
}
