// tarnbell-cli run as a program: its command line and exit statuses, its CSV and JSON
// against the in-process fake responder and a real DNS server, and its progress bar on a
// terminal. The responder answers from this test's event loop, so every wait for the
// program is a signal-spy wait, never a blocking one.

#include "core/csvexport.h"
#include "core/resultmodels.h"
#include "core/resultsortproxy.h"
#include "core/statistics.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/readonlydir.h"
#include "fixtures/realdnsserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace tarnbell;
using tarnbell::testing::FakeResponder;

namespace {

struct CliResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

void startAndWait(QProcess& process, const QStringList& arguments, CliResult& result) {
    process.setProgram(QStringLiteral(TARNBELL_CLI_PATH));
    process.setArguments(arguments);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start();
    result.finished = finished.wait(60000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
}

CliResult runCli(const QStringList& arguments) {
    QProcess process;
    CliResult result;
    startAndWait(process, arguments, result);
    return result;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(lines.join(QLatin1Char('\n')).toUtf8());
    return path;
}

QStringList numberedEntries(const QString& pattern, int count) {
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries.append(pattern.arg(i));
    return entries;
}

// The export the window makes of the same run: the rows rebuilt from the JSON's measured
// seconds into the result models, through the sort proxies and the core export.
QByteArray windowExportOf(const QJsonObject& json) {
    core::LookupTableModel lookups;
    core::SummaryTableModel summary;
    core::ResultSortProxy lookupOrder(core::ResultSortProxy::List::Lookups);
    core::ResultSortProxy summaryOrder(core::ResultSortProxy::List::Summary);
    lookupOrder.setSourceModel(&lookups);
    summaryOrder.setSourceModel(&summary);
    for (const QJsonValue& value : json["lookups"].toArray()) {
        const QJsonObject lookup = value.toObject();
        const double ms = core::wholeMilliseconds(lookup["seconds"].toDouble());
        const int row =
            lookups.appendLookup(lookup["server"].toString(), lookup["domain"].toString());
        lookups.setResult(row, core::millisecondsText(ms), core::ExtremeRound(ms));
    }
    for (const QJsonValue& value : json["servers"].toArray()) {
        const QJsonObject server = value.toObject();
        const double mean = server["mean_ms"].toDouble();
        const double median = server["median_ms"].toDouble();
        summary.appendSummary({server["server"].toString(), core::millisecondsText(mean),
                               core::ExtremeRound(mean), core::millisecondsText(median),
                               core::ExtremeRound(median), server["is_local"].toBool()});
        summaryOrder.resortByMean();
    }
    return core::exportFileBytes(
        core::exportText(core::snapshotTable(lookupOrder, core::kLookupColumnWidths),
                         core::snapshotTable(summaryOrder, core::kSummaryColumnWidths)));
}

// The lines of a CSV whose every line ends in CR LF; empty when one does not.
QList<QByteArray> csvLines(const QByteArray& csv) {
    QList<QByteArray> lines = csv.split('\n');
    if (lines.takeLast() != QByteArray())
        return {};
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            return {}; // a line end without CR: the shape is wrong
        line.chop(1);
    }
    return lines;
}

} // namespace

class TestCli final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void helpAndVersion();
    void badInput_data();
    void badInput();
    void unwritableOutput_data();
    void unwritableOutput();

    void runAgainstFakeResponder();
    void csvOnStandardOutputMatchesFile();
    void silentServerCountsTenSeconds();
    void listFilesSkipBlankAndComments();
    void progressBarOnlyOnTerminal_data();
    void progressBarOnlyOnTerminal();

    void runAgainstRealDnsServer_data();
    void runAgainstRealDnsServer();
};

void TestCli::helpAndVersion() {
    const CliResult help = runCli({"--help"});
    QCOMPARE(help.exitCode, 0);
    for (const char* needle :
         {"--server <entry>", "--servers <file>", "--domain <name>", "--domains <file>",
          "--type <type>", "--timeout <seconds>", "--output <file>", "--json <file>", "--defaults",
          "--quiet", "counts as 10 s", "Exit status"})
        QVERIFY2(help.out.contains(needle), needle);
    QVERIFY(help.err.isEmpty());

    const CliResult version = runCli({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("tarnbell-cli " TARNBELL_VERSION "\n"));
}

void TestCli::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // the whole line after "tarnbell-cli: ", as a pattern

    const QStringList run{"--server", "127.0.0.1:9", "--domain", "example.test"};
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'\\.";
    QTest::newRow("missing value")
        << QStringList{"--domain", "x.test", "--server"} << "Missing value after '--server'\\.";
    QTest::newRow("stray argument")
        << (run + QStringList{"8.8.8.8"}) << "unexpected argument 8\\.8\\.8\\.8: .*";
    QTest::newRow("missing servers file")
        << QStringList{"--servers", "/nonexistent/servers.txt", "--domain", "x.test"}
        << "cannot read the --servers file /nonexistent/servers.txt: No such file or "
           "directory";
    QTest::newRow("missing domains file")
        << QStringList{"--server", "127.0.0.1:9", "--domains", "/nonexistent/d.txt"}
        << "cannot read the --domains file /nonexistent/d.txt: No such file or directory";
    QTest::newRow("domains file is a folder")
        << QStringList{"--server", "127.0.0.1:9", "--domains", "/tmp"}
        << "cannot read the --domains file /tmp: it is a folder";
    QTest::newRow("no servers") << QStringList{"--domain", "x.test"}
                                << "no DNS servers given: use --server, --servers or --defaults";
    QTest::newRow("no domains") << QStringList{"--server", "127.0.0.1:9"}
                                << "no domains given: use --domain or --domains";
    QTest::newRow("empty server") << QStringList{"--server", " ", "--domain", "x.test"}
                                  << "an empty --server value";
    QTest::newRow("unknown type") << (run + QStringList{"--type", "AAAA"})
                                  << "unknown record type AAAA: use A, MX, NS or SOA";
    for (const char* timeout : {"abc", "0", "-1", "10.5", "nan", "inf", ""}) {
        QTest::addRow("timeout '%s'", timeout)
            << (run + QStringList{"--timeout", timeout})
            << QString("bad --timeout %1: give seconds above 0 and at most 10").arg(timeout);
    }
    QTest::newRow("100 servers")
        << QStringList{"--servers", "@100servers", "--domain", "x.test"}
        << "100 DNS Servers given\\. You have too many DNS Servers! I can't process more "
           "than 99 DNS Servers.*not DOSing\\.";
    QTest::newRow("100 domains")
        << QStringList{"--server", "127.0.0.1:9", "--domains", "@100domains"}
        << "100 domains given\\. You have too many domains!.*not DOSing\\.";
    QTest::newRow("defaults and 99 servers")
        << QStringList{"--defaults", "--servers", "@99servers", "--domain", "x.test"}
        << "1[12]\\d DNS Servers given\\. You have too many DNS Servers!.*";
    QTest::newRow("same file twice") << (run + QStringList{"--output", "@same", "--json", "@same"})
                                     << "--output and --json name the same file";
}

void TestCli::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeLines(dir.filePath("100servers"), numberedEntries("127.0.0.%1:9", 100));
    writeLines(dir.filePath("99servers"), numberedEntries("127.0.0.%1:9", 99));
    writeLines(dir.filePath("100domains"), numberedEntries("d%1.test", 100));
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir.filePath(argument.mid(1));
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    const QString out = dir.filePath("out.csv");
    const QString json = dir.filePath("out.json");
    if (!arguments.contains("--output"))
        arguments = QStringList{"--output", out, "--json", json} + arguments;

    const CliResult result = runCli(arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(QRegularExpression("\\Atarnbell-cli: " + message + "\n\\z").match(err).hasMatch(),
             qPrintable(err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
}

void TestCli::unwritableOutput_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("target"); // relative to a fresh folder
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("--output in a read-only folder") << "--output"
                                                    << "ro/out.csv" << true;
    QTest::newRow("--output under a file") << "--output"
                                           << "file/out.csv" << false;
    QTest::newRow("--output is a folder") << "--output"
                                          << "ro" << false;
    QTest::newRow("--json in a read-only folder") << "--json"
                                                  << "ro/out.json" << true;
}

void TestCli::unwritableOutput() {
    QFETCH(QString, option);
    QFETCH(QString, target);
    QFETCH(bool, readOnly);
    FakeResponder responder;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    writeLines(dir.filePath("file"), {"a file"});
    std::optional<testing::ReadOnlyDir> guard;
    if (readOnly) {
        guard.emplace(dir.filePath("ro"));
        if (!guard->isReadOnly())
            QSKIP("cannot make a folder read-only here");
    }
    const CliResult result = runCli(
        {"--server", responder.serverText(), "--domain", "a.test", option, dir.filePath(target)});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.startsWith("tarnbell-cli: The file " + dir.filePath(target).toUtf8() +
                                   " could not be written: "),
             result.err.constData());
    QCOMPARE(result.err.count('\n'), 1);
    // Checked before the run: not one query was sent for results that could not be kept.
    QCOMPARE(responder.queryCount(), 0);
    guard.reset();
    QCOMPARE(QDir(dir.filePath("ro")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void TestCli::runAgainstFakeResponder() {
    // The first server is the slower one, so the summary's order by mean is not run order.
    FakeResponder slowResponder;
    slowResponder.setDefaultBehaviour({.delay = std::chrono::milliseconds(30)});
    FakeResponder fastResponder;
    const QString slow = slowResponder.serverText() + " - \"quoted\" lab";
    const QString fast = fastResponder.serverText() + " - fast";
    QTemporaryDir dir;
    const QString csvPath = dir.filePath("run.csv");
    const QString jsonPath = dir.filePath("run.json");
    const CliResult result =
        runCli({"--server", slow, "--server", fast, "--domain", "a.test", "--domain", "b.test",
                "--type", "ns", "--output", csvPath, "--json", jsonPath});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(slowResponder.queryCount(), 2);
    QCOMPARE(fastResponder.queryCount(), 2);

    // The CSV's shape: lookups in run order, two empty lines, the summary, a final CR LF.
    const QByteArray csv = readAll(csvPath);
    const QList<QByteArray> lines = csvLines(csv);
    QCOMPARE(lines.size(), 11);
    const QByteArray slowField = "\"" + slow.toUtf8().replace("\"", "\"\"") + "\"";
    const QByteArray fastField = "\"" + fast.toUtf8() + "\"";
    QCOMPARE(lines[0], QByteArray("\"Domain\",\"DNS Server\",\"Response Time\""));
    const QRegularExpression row("\\A\"([ab])\\.test\",(\".*\"),\"(\\d+) ms\"\\z");
    for (int i = 0; i < 4; ++i) {
        const auto match = row.match(QString::fromUtf8(lines[1 + i]));
        QVERIFY2(match.hasMatch(), lines[1 + i].constData());
        QCOMPARE(match.captured(1), QString(i % 2 == 0 ? "a" : "b"));
        QCOMPARE(match.captured(2).toUtf8(), i < 2 ? slowField : fastField);
        if (i < 2)
            QVERIFY(match.captured(3).toInt() >= 30);
    }
    QVERIFY(lines[5].isEmpty() && lines[6].isEmpty());
    QCOMPARE(lines[7], QByteArray("\"DNS Server\",\"Mean Response\",\"Median Response\""));
    QVERIFY(lines[8].startsWith(fastField + ","));
    QVERIFY(lines[9].startsWith(slowField + ","));
    QVERIFY(lines[10].isEmpty());

    // The JSON agrees with the CSV, and the CSV is the window's export of those rows.
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(readAll(jsonPath), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json["record_type"].toString(), QString("NS"));
    QCOMPARE(json["timeout_seconds"].toDouble(), 10.0);
    const QJsonArray lookups = json["lookups"].toArray();
    QCOMPARE(lookups.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QJsonObject lookup = lookups[i].toObject();
        QCOMPARE(lookup["record_type"].toString(), QString("NS"));
        QCOMPARE(lookup["timed_out"].toBool(), false);
        QCOMPARE(lookup["outcome"].toString(), QString("answered"));
        const double ms = std::floor(lookup["seconds"].toDouble() * 1000.0);
        QVERIFY2(lines[1 + i].endsWith(",\"" + QByteArray::number(ms, 'f', 0) + " ms\""),
                 lines[1 + i].constData());
    }
    const QJsonArray servers = json["servers"].toArray();
    QCOMPARE(servers.size(), 2);
    for (const QJsonValue& value : servers) {
        const QJsonObject server = value.toObject();
        QCOMPARE(server["lookups"].toInt(), 2);
        QCOMPARE(server["timeouts"].toInt(), 0);
        QCOMPARE(server["is_local"].toBool(), false);
        QVERIFY(server["min_ms"].toDouble() <= server["mean_ms"].toDouble());
        QVERIFY(server["mean_ms"].toDouble() <= server["max_ms"].toDouble());
        const QByteArray summaryLine =
            "\"" + server["server"].toString().toUtf8().replace("\"", "\"\"") + "\",\"" +
            QByteArray::number(std::floor(server["mean_ms"].toDouble()), 'f', 0) + " ms\",\"" +
            QByteArray::number(std::floor(server["median_ms"].toDouble()), 'f', 0) + " ms\"";
        QVERIFY2(lines.mid(8, 2).contains(summaryLine), summaryLine.constData());
    }
    QCOMPARE(json["fastest"]["by_mean"].toString(), fast);
    QCOMPARE(csv, windowExportOf(json));

    // The completion text, with plain line ends, and nothing else without a terminal.
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(QRegularExpression("\\ACompleted!\n\nFastest servers? (was|were):\n.+\n(\\(mean "
                                "average/median average\\)\n)?\\z")
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QVERIFY(err.contains(fast));
}

void TestCli::csvOnStandardOutputMatchesFile() {
    FakeResponder responder;
    QTemporaryDir dir;
    const CliResult result = runCli({"--server", responder.serverText(), "--domain", "a.test",
                                     "--json", dir.filePath("r.json")});
    QCOMPARE(result.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(readAll(dir.filePath("r.json"))).object();
    QCOMPARE(result.out, windowExportOf(json));
    QCOMPARE(json["record_type"].toString(), QString("MX")); // the window's default
}

void TestCli::silentServerCountsTenSeconds() {
    FakeResponder responder;
    responder.setBehaviour("dead.test", {.reply = FakeResponder::Reply::Silent});
    QTemporaryDir dir;
    const CliResult result =
        runCli({"--server", responder.serverText(), "--domain", "dead.test", "--timeout", "0.2",
                "--quiet", "--json", dir.filePath("r.json")});
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = csvLines(result.out);
    QCOMPARE(lines.value(1),
             "\"dead.test\",\"" + responder.serverText().toUtf8() + "\",\"10000 ms\"");
    QCOMPARE(lines.value(5),
             "\"" + responder.serverText().toUtf8() + "\",\"10000 ms\",\"10000 ms\"");
    const QJsonObject json = QJsonDocument::fromJson(readAll(dir.filePath("r.json"))).object();
    const QJsonObject lookup = json["lookups"][0].toObject();
    QCOMPARE(lookup["timed_out"].toBool(), true);
    QCOMPARE(lookup["seconds"].toDouble(), 10.0);
    QCOMPARE(json["servers"][0]["timeouts"].toInt(), 1);
    QCOMPARE(json["servers"][0]["mean_ms"].toDouble(), 10000.0);
    QCOMPARE(json["timeout_seconds"].toDouble(), 0.2);
}

void TestCli::listFilesSkipBlankAndComments() {
    FakeResponder responder;
    QTemporaryDir dir;
    const QString servers =
        writeLines(dir.filePath("servers.txt"),
                   {"# resolvers to compare", "", "  " + responder.serverText() + " - first  \r",
                    "   # indented comment", responder.serverText() + " - second"});
    const QString domains = writeLines(dir.filePath("domains.txt"), {"a.test", "", "b.test"});
    const CliResult result = runCli({"--servers", servers, "--domains", domains, "--domain",
                                     "c.test", "--server", responder.serverText() + " - third"});
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = csvLines(result.out);
    QCOMPARE(lines.size(), 1 + 9 + 2 + 1 + 3 + 1);
    const QByteArray server = responder.serverText().toUtf8();
    QVERIFY(lines[1].startsWith("\"a.test\",\"" + server + " - first\""));
    QVERIFY(lines[3].startsWith("\"c.test\",\"" + server + " - first\""));
    QVERIFY(lines[4].startsWith("\"a.test\",\"" + server + " - second\""));
    QVERIFY(lines[9].startsWith("\"c.test\",\"" + server + " - third\""));
    QCOMPARE(responder.queryCount(), 9);
}

void TestCli::progressBarOnlyOnTerminal_data() {
    QTest::addColumn<bool>("quiet");
    QTest::newRow("terminal") << false;
    QTest::newRow("terminal, --quiet") << true;
}

void TestCli::progressBarOnlyOnTerminal() {
    QFETCH(bool, quiet);
    FakeResponder responder;
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = 60;
    size.ws_row = 24;
    QVERIFY(::openpty(&master, &slave, nullptr, nullptr, &size) == 0);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    QByteArray terminal;
    QSocketNotifier reader(master, QSocketNotifier::Read);
    connect(&reader, &QSocketNotifier::activated, this, [&] {
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0)
            terminal.append(buffer, got);
        else
            reader.setEnabled(false); // the program has gone and closed its side
    });

    QProcess process;
    process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    CliResult result;
    QStringList arguments{"--server", responder.serverText() + " - a rather long label here",
                          "--domain", "a.test",
                          "--domain", "b.test"};
    if (quiet)
        arguments << "--quiet";
    startAndWait(process, arguments, result);
    ::close(slave);
    QTRY_VERIFY(!reader.isEnabled());
    ::close(master);

    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty()); // it all went to the terminal
    QVERIFY(terminal.contains("Completed!"));
    const bool drewBar = terminal.contains("\r\x1b[K[");
    QCOMPARE(drewBar, !quiet);
    if (!quiet) {
        QVERIFY(terminal.contains("[##########          ]  50.00% Querying "));
        // Every drawn line fits the 60 columns, so it never wraps.
        for (const QByteArray& drawn : terminal.split('\x1b')) {
            const QByteArray line = drawn.left(drawn.indexOf('\r'));
            QVERIFY2(line.size() <= 60 + 2, line.constData());
        }
    }
}

void TestCli::runAgainstRealDnsServer_data() {
    QTest::addColumn<QString>("type");
    QTest::newRow("MX") << "MX";
    QTest::newRow("A") << "A";
    QTest::newRow("SOA") << "SOA";
}

void TestCli::runAgainstRealDnsServer() {
    QFETCH(QString, type);
    testing::RealDnsServer server;
    TARNBELL_START_REAL_DNS_SERVER(server);
    QTemporaryDir dir;
    const QString entry = server.serverText() + " - nsd";
    const CliResult result = runCli({"--server", entry, "--domain", testing::RealDnsServer::kZone,
                                     "--domain", testing::RealDnsServer::kHostWithAddress, "--type",
                                     type, "--timeout", "5", "--json", dir.filePath("r.json")});
    QCOMPARE(result.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(readAll(dir.filePath("r.json"))).object();
    for (const QJsonValue& lookup : json["lookups"].toArray())
        QCOMPARE(lookup["outcome"].toString(), QString("answered"));
    QCOMPARE(json["fastest"]["by_mean"].toString(), entry);
    QCOMPARE(result.out, windowExportOf(json));
    QVERIFY(result.err.endsWith("Fastest server was:\n" + entry.toUtf8() + "\n"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
