// tarnbell-cli as a probe for Prometheus. One probe runs every second for the whole test against
// a real resolver on loopback (UDP, TCP) and a port where nothing listens, and its metrics are
// read as a fleet reads them: by promtool, by a real Prometheus server scraping the listener,
// and from the file for node_exporter's textfile collector. The shipped rules are checked and
// tested with promtool.

#include "fixtures/realresolver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <csignal>
#include <sys/stat.h>

using namespace tarnbell;

namespace {

const QString kContrib = QStringLiteral(TARNBELL_CONTRIB "/prometheus");

quint16 freePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Exit status (-1 when it did not end in time) and all output of a program given `input`.
std::pair<int, QByteArray> run(const QString& program, const QStringList& arguments,
                               const QByteArray& input = {}, const QString& folder = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == 0;
    return {ended ? process.exitCode() : -1, process.readAll()};
}

// One request to the listener as raw bytes: all it answers, or "open" while it keeps the
// connection open for longer than its idle limit.
QByteArray ask(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(15000))
        reply += socket.readAll();
    return socket.state() == QAbstractSocket::ConnectedState ? "open" : reply;
}

QByteArray body(const QByteArray& response) {
    return response.mid(response.indexOf("\r\n\r\n") + 4);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMetrics final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void refusals_data();
    void refusals();
    void listener_data();
    void listener();
    void loopbackOnly();
    void textfileReplacedWhole();
    void promtoolReadsTextFormat_data();
    void promtoolReadsTextFormat();
    void prometheusScrapesOpenMetrics();
    void rules_data();
    void rules();

private:
    testing::RealResolver m_resolver;
    QTemporaryDir m_dir;
    QProcess m_probe;
    quint16 m_port = 0;
    QString m_udp; // its label needs escaping in both formats
    QString m_promtool;
};

void TestMetrics::initTestCase() {
    // Skipped without Debian's prometheus package, failed where every integration test must run.
    m_promtool = testing::ServerProcess::find("promtool");
    if (m_promtool.isEmpty() || testing::ServerProcess::find("prometheus").isEmpty()) {
        if (qEnvironmentVariableIntValue("TARNBELL_REQUIRE_INTEGRATION") == 1)
            QFAIL("prometheus is not installed (scripts/install-deps --test)");
        QSKIP("prometheus is not installed (scripts/install-deps --test)");
    }
    TARNBELL_START_SERVER(m_resolver);
    m_port = freePort();
    m_udp = m_resolver.udpEntry() + QStringLiteral(" - \"lab\" \\ one");
    const QString fixed = "--every 1s --quiet --domain example.test --kinds listed,cached "
                          "--timeout 1 --server 127.0.0.1:9";
    // A port alone: the listener stays on 127.0.0.1.
    m_probe.start(TARNBELL_CLI_PATH,
                  fixed.split(' ') + QStringList{"--metrics-listen", QString::number(m_port),
                                                 "--metrics-file", m_dir.filePath("tarnbell.prom"),
                                                 "--output", m_dir.filePath("last.csv"), "--server",
                                                 m_udp, "--server", m_resolver.tcpEntry()});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("tarnbell.prom")), 20000);
}

// SIGTERM ends the probe as it ends a single run, whether a run is under way or not. The probe
// must still be running: a process id of 0 would signal this test's whole process group.
void TestMetrics::cleanupTestCase() {
    if (m_port == 0)
        return; // skipped before the probe started
    QCOMPARE(m_probe.state(), QProcess::Running);
    ::kill(pid_t(m_probe.processId()), SIGTERM);
    QVERIFY(m_probe.waitForFinished(15000));
    QCOMPARE(m_probe.exitCode(), 128 + SIGTERM);
}

// Refused with one line before anything is sent: status 2, or 1 for a port already taken.
void TestMetrics::refusals_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fault");
    for (const char* every : {"0s", "5", "1.5m", "2d", "25h", "99999999999h", "-1m", "5 m", ""})
        QTest::addRow("--every %s", every)
            << QStringList{QStringLiteral("--every=") + every} << 2 << "bad --every";
    const QStringList every{"--every", "1m", "--metrics-listen"};
    QTest::newRow("listening for a single run")
        << QStringList{"--metrics-listen", "9153"} << 2 << "--metrics-listen needs --every";
    QTest::newRow("port 0") << every + QStringList{"127.0.0.1:0"} << 2 << "a port from 1 to";
    QTest::newRow("host name") << every + QStringList{"probe.test:9153"} << 2
                               << "probe.test is not an IP address";
    QTest::newRow("IPv6 without brackets") << every + QStringList{"::1:9153"} << 2 << "brackets";
    QTest::newRow("port taken") << every + QStringList{"%port"} << 1
                                << "cannot listen on 127.0.0.1";
}

void TestMetrics::refusals() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, fault);
    arguments.replaceInStrings("%port", QString::number(m_port));
    const auto [status, output] =
        run(TARNBELL_CLI_PATH, arguments + QStringList{"--server", "127.0.0.1:9", "-d", "a.test"});
    QCOMPARE(status, exitCode);
    QVERIFY2(QRegularExpression("\\Atarnbell-cli: [^\n]*" + QRegularExpression::escape(fault) +
                                "[^\n]*\n\\z")
                 .match(output)
                 .hasMatch(),
             output.constData());
}

// GET /metrics and nothing else; OpenMetrics when the Accept header ranks it first.
void TestMetrics::listener_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // the start of it, or "open"
    QTest::addColumn<QByteArray>("header");
    const QByteArray text = "Content-Type: text/plain; version=0.0.4; charset=utf-8";
    const QByteArray openMetrics =
        "Content-Type: application/openmetrics-text; version=1.0.0; charset=utf-8";
    QTest::newRow("no Accept") << QByteArray("GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n")
                               << QByteArray("HTTP/1.1 200 OK") << text;
    QTest::newRow("Prometheus' Accept")
        << QByteArray("GET /metrics HTTP/1.1\r\nAccept: application/openmetrics-text;"
                      "version=1.0.0,application/openmetrics-text;version=0.0.1;q=0.75,"
                      "text/plain;version=0.0.4;q=0.5,*/*;q=0.1\r\n\r\n")
        << QByteArray("HTTP/1.1 200 OK") << openMetrics;
    QTest::newRow("text ranked first")
        << QByteArray("GET /metrics?a=1 HTTP/1.0\nAccept: application/openmetrics-text;q=0.3\n"
                      "Accept: text/*\n\n")
        << QByteArray("HTTP/1.1 200 OK") << text;
    QTest::newRow("HEAD") << QByteArray("HEAD /metrics HTTP/1.1\r\n\r\n")
                          << QByteArray("HTTP/1.1 200 OK") << text;
    QTest::newRow("elsewhere") << QByteArray("GET / HTTP/1.1\r\n\r\n")
                               << QByteArray("HTTP/1.1 404 Not Found") << QByteArray();
    QTest::newRow("POST") << QByteArray("POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                          << QByteArray("HTTP/1.1 405") << QByteArray("Allow: GET, HEAD");
    QTest::newRow("HTTP/2 preface") << QByteArray("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n")
                                    << QByteArray("HTTP/1.1 400") << QByteArray();
    QTest::newRow("head over 8 KiB")
        << "GET /metrics HTTP/1.1\r\nX: " + QByteArray(8192, 'a') + "\r\n\r\n"
        << QByteArray("HTTP/1.1 431") << QByteArray();
    QTest::newRow("silent client, closed after the idle limit")
        << QByteArray() << QByteArray() << QByteArray();
}

void TestMetrics::listener() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, header);
    const QByteArray got = ask(m_port, request);
    QVERIFY2(reply.isEmpty() ? got.isEmpty() : got.startsWith(reply) && got.contains(header),
             got.left(300).constData());
    if (reply.endsWith("200 OK"))
        QCOMPARE(body(got).startsWith("# HELP"), !request.startsWith("HEAD"));
    QCOMPARE(body(got).endsWith("# EOF\n"),
             header.contains("openmetrics") && got.contains("# HELP"));
}

// A port given alone is served on 127.0.0.1 only: another loopback address finds no listener.
void TestMetrics::loopbackOnly() {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress("127.0.0.2"), m_port);
    QVERIFY(!socket.waitForConnected(5000));
}

// Each run replaces the file by a rename (a new inode); a reader never sees part of one.
void TestMetrics::textfileReplacedWhole() {
    const QString path = m_dir.filePath("tarnbell.prom");
    QSet<ino_t> inodes;
    QElapsedTimer clock;
    clock.start();
    while (inodes.size() < 3 && clock.elapsed() < 20000) {
        struct stat status {};
        if (::stat(QFile::encodeName(path).constData(), &status) == 0)
            inodes << status.st_ino;
        const QByteArray text = readAll(path);
        QVERIFY2(text.startsWith("# HELP") &&
                     text.endsWith("{version=\"" TARNBELL_VERSION "\"} 1\n"),
                 text.right(300).constData());
        QTest::qSleep(2);
    }
    QCOMPARE(inodes.size(), 3);
}

// The text format as node_exporter and promtool read it, from the file and the listener: no
// complaint from promtool's linter, every family there, label values escaped.
void TestMetrics::promtoolReadsTextFormat_data() {
    QTest::addColumn<bool>("fromFile");
    QTest::newRow("textfile") << true;
    QTest::newRow("listener") << false;
}

void TestMetrics::promtoolReadsTextFormat() {
    QFETCH(bool, fromFile);
    const QByteArray text = fromFile ? readAll(m_dir.filePath("tarnbell.prom"))
                                     : body(ask(m_port, "GET /metrics HTTP/1.1\r\n\r\n"));
    QCOMPARE(run(m_promtool, {"check", "metrics"}, text), std::make_pair(0, QByteArray()));
    const QByteArray udp = "server=\"" + m_udp.toUtf8().replace("\\", "\\\\").replace("\"", "\\\"");
    for (const QByteArray& sample :
         {"tarnbell_lookup_duration_seconds_bucket{" + udp +
              "\",transport=\"udp\",kind=\"cached\","
              "le=\"0.00025\"}",
          QByteArray("tarnbell_lookups_total{server=\"127.0.0.1:9\",transport=\"udp\","
                     "kind=\"listed\",outcome=\"unreachable\"}"),
          "tarnbell_connection_setup_seconds_count{server=\"" + m_resolver.tcpEntry().toUtf8() +
              "\",transport=\"tcp\"}",
          QByteArray("tarnbell_run_timestamp_seconds "), QByteArray("tarnbell_build_info{")})
        QVERIFY2(text.contains(sample), sample.constData());
    // Buckets are cumulative: the closed port's 10 s lookups are all in the last one too.
    const auto value = [&text](const QString& series) {
        return QRegularExpression("^" + QRegularExpression::escape(series) + " ([1-9]\\d*)$",
                                  QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(text))
            .captured(1);
    };
    const QString closed = "{server=\"127.0.0.1:9\",transport=\"udp\",kind=\"listed\"";
    QVERIFY(!value("tarnbell_lookup_duration_seconds_count" + closed + "}").isEmpty());
    QCOMPARE(value("tarnbell_lookup_duration_seconds_bucket" + closed + ",le=\"+Inf\"}"),
             value("tarnbell_lookup_duration_seconds_count" + closed + "}"));
}

// A real Prometheus scrapes the listener every second, asking for OpenMetrics first: it gets
// it (only OpenMetrics has `_created` samples) and answers queries over the histogram: a
// loopback resolver's median well under 100 ms, the closed port's within 5-10 s.
void TestMetrics::prometheusScrapesOpenMetrics() {
    const QString program = testing::ServerProcess::find("prometheus");
    const quint16 webPort = freePort();
    QFile config(m_dir.filePath("prometheus.yml"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\nscrape_configs:\n"
                 "  - job_name: tarnbell\n    static_configs: [{targets: ['127.0.0.1:" +
                 QByteArray::number(m_port) + "']}]\n");
    config.close();
    QProcess prometheus;
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.start(program, {"--config.file=" + config.fileName(),
                               "--storage.tsdb.path=" + m_dir.filePath("tsdb"),
                               QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(webPort)});
    QNetworkAccessManager network;
    const auto query = [&](const QString& promql) {
        QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(webPort));
        url.setQuery(QUrlQuery{{"query", promql}});
        const std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
        QSignalSpy(reply.get(), &QNetworkReply::finished).wait(5000);
        QMap<QString, double> values; // by server
        for (const QJsonValue& series :
             QJsonDocument::fromJson(reply->readAll())["data"]["result"].toArray())
            values[series["metric"]["server"].toString()] =
                series["value"][1].toString().toDouble();
        return values;
    };
    QMap<QString, double> medians;
    QTRY_VERIFY_WITH_TIMEOUT(
        (medians = query("histogram_quantile(0.5, sum by (server, le) (rate("
                         "tarnbell_lookup_duration_seconds_bucket{kind=\"listed\"}[10s])))"))
                .size() == 3,
        60000);
    QVERIFY2(medians[m_udp] > 0 && medians[m_udp] < 0.1,
             qPrintable(QString::number(medians[m_udp])));
    QVERIFY(medians["127.0.0.1:9"] > 5 && medians["127.0.0.1:9"] <= 10);
    QCOMPARE(query("tarnbell_lookups_created").size(), 3);
    QCOMPARE(query("tarnbell_build_info").size(), 1);
    prometheus.terminate();
    QVERIFY(prometheus.waitForFinished(15000));
}

// The shipped rules load, and their tests (each alert quiet, then firing) pass.
void TestMetrics::rules_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("check") << QStringList{"check", "rules", "tarnbell-rules.yml"};
    QTest::newRow("test") << QStringList{"test", "rules", "tarnbell-rules.test.yml"};
}

void TestMetrics::rules() {
    QFETCH(QStringList, arguments);
    const auto [status, output] = run(m_promtool, arguments, {}, kContrib);
    QVERIFY2(status == 0 && output.contains("SUCCESS"), output.constData());
}

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
