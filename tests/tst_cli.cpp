// tarnbell-cli run as a program: its refusals and exit statuses, its CSV and JSON against
// in-process fake responders and a real resolver over TLS, signals and its progress bar on a
// terminal. The responders answer from this test's event loop, so every wait for the
// program is a signal-spy wait, never a blocking one.

#include "core/export/csvexport.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/statistics.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/readonlydir.h"
#include "fixtures/realresolver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnbell;
using namespace std::chrono_literals;
using tarnbell::testing::FakeResponder;

namespace {

struct CliResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program to its end; `childSetup` runs in the child before the program starts,
// `started` in the test once it runs.
CliResult runCli(const QStringList& arguments, const std::function<void()>& childSetup = {},
                 const std::function<void(QProcess&)>& started = {}) {
    QProcess process;
    process.setProgram(QStringLiteral(TARNBELL_CLI_PATH));
    process.setArguments(arguments);
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start();
    if (started && process.waitForStarted())
        started(process);
    CliResult result;
    result.finished = finished.wait(60000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QJsonObject readJson(const QString& path) {
    return QJsonDocument::fromJson(readAll(path)).object();
}

// One field of every object in a JSON array.
QStringList fieldOf(const QJsonValue& array, const char* key) {
    QStringList values;
    for (const QJsonValue& item : array.toArray())
        values << item[QLatin1String(key)].toVariant().toString();
    return values;
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
        const double ms = core::wholeMilliseconds(value["seconds"].toDouble());
        const int row =
            lookups.appendLookup(value["server"].toString(), value["domain"].toString());
        lookups.setResult(row, core::millisecondsText(ms), core::ExtremeRound(ms));
    }
    for (const QJsonValue& server : json["servers"].toArray()) {
        const double mean = server["mean_ms"].toDouble();
        const double median = server["median_ms"].toDouble();
        summary.appendSummary({server["server"].toString(), core::millisecondsText(mean),
                               core::ExtremeRound(mean), core::millisecondsText(median),
                               core::ExtremeRound(median), server["is_local"].toBool()});
        summaryOrder.resortByMean();
    }
    return core::exportFileBytes(
        core::exportText(core::snapshotTable(lookupOrder), core::snapshotTable(summaryOrder)));
}

} // namespace

class TestCli final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void badInput_data();
    void badInput();
    void runWritesWindowExport();
    void streamOptions_data();
    void streamOptions();
    void closedStandardOutput();
    void stopSignal_data();
    void stopSignal();
};

// Refused before anything is sent (status 2 for bad input, 1 for an output that cannot be
// written), with one last line naming the fault, no file written, no old one touched. Only
// a device that takes the file but not its bytes fails after the run.
void TestCli::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fault"); // a pattern within the last line
    const QStringList run{"--server", "%responder", "--domain", "example.test"};
    const QStringList domain{"--domain", "x.test"};
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("no servers") << domain << 2 << "no DNS servers given";
    for (const char* timeout : {"0", "10.5", "nan"})
        QTest::addRow("timeout %s", timeout) << (run + QStringList{"--timeout", timeout}) << 2
                                             << QStringLiteral("bad --timeout %1").arg(timeout);
    QTest::newRow("21 rounds") << (run + QStringList{"--rounds", "21"}) << 2 << "bad --rounds 21";
    QTest::newRow("defaults count towards 99 servers")
        << (QStringList{"--defaults", "--servers", "@99servers"} + domain) << 2
        << "1[12]\\d DNS Servers given";
    QTest::newRow("bad entry after a good one")
        << (QStringList{"--server", "%responder", "--server", "127.0.0.1:99999"} + domain) << 2
        << "--server number 2.*the port must be";
    QTest::newRow("bad entry by its line")
        << (QStringList{"--servers", "@listed"} + domain) << 2 << "/listed, line 4.*hexadecimal";
    QTest::newRow("escape sequence shown escaped")
        << (QStringList{"--server", "%responder \x1b]0;owned\x07"} + domain) << 2
        << "\\\\x1b\\]0;owned\\\\x07.*control character";
    QTest::newRow("UTF-16 list") << (QStringList{"--servers", "@utf16"} + domain) << 2
                                 << "not UTF-8 text";
    QTest::newRow("FIFO list, never opened for a blocking read")
        << (run + QStringList{"--domains", "@fifo"}) << 2 << "not a regular file";
    QTest::newRow("CA file without a certificate")
        << (run + QStringList{"--ca-file", "@old.csv"}) << 2 << "no PEM certificate";
    QTest::newRow("same file through a link")
        << (run + QStringList{"--output", "@old.csv", "--json", "@link"}) << 2
        << "name the same file";
    QTest::newRow("a link to a file not yet there")
        << (run + QStringList{"--output", "@dangling", "--json", "@new.json"}) << 2
        << "name the same file";
    QTest::newRow("standard output twice")
        << (run + QStringList{"--output", "-", "--json", "-"}) << 2 << "both be standard output";
    QTest::newRow("--json is a folder")
        << (run + QStringList{"--json", "@ro"}) << 1 << "The file .*/ro could not be written: ";
    QTest::newRow("--output in a read-only folder")
        << (run + QStringList{"--output", "@ro/out.csv"}) << 1 << "/ro/out.csv could not be";
    QTest::newRow("--output on a full disk")
        << (run + QStringList{"--output", "/dev/full"}) << 1 << "/dev/full could not be written";
}

void TestCli::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, fault);
    FakeResponder responder;
    QTemporaryDir dir;
    QStringList servers;
    for (int i = 0; i < 99; ++i)
        servers << QStringLiteral("127.0.0.%1:9").arg(i);
    writeBytes(dir.filePath("99servers"), servers.join('\n').toUtf8());
    writeBytes(dir.filePath("listed"),
               "# good ones first\n" + responder.serverText().toUtf8() + "\n\n0x7f000001 - hex");
    writeBytes(dir.filePath("utf16"), QByteArray("\xff\xfe"
                                                 "1\0.\0",
                                                 6));
    writeBytes(dir.filePath("old.csv"), "kept");
    QVERIFY(QFile::link(dir.filePath("old.csv"), dir.filePath("link")));
    QVERIFY(QFile::link(dir.filePath("new.json"), dir.filePath("dangling")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    const testing::ReadOnlyDir readOnly(dir.filePath("ro"));
    if (fault.contains("/ro/") && !readOnly.isReadOnly())
        QSKIP("cannot make a folder read-only here");
    if (arguments.contains("/dev/full") && !QFile::exists("/dev/full"))
        QSKIP("no such device here");
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir.filePath(argument.mid(1));
        argument.replace("%responder", responder.serverText());
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const CliResult result = runCli(arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(QRegularExpression("(\\A|\n)tarnbell-cli: [^\n]*" + fault + "[^\n]*\n\\z")
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(QDir(dir.filePath("ro")).entryList(QDir::Files), QStringList());
    QCOMPARE(readAll(dir.filePath("old.csv")), QByteArray("kept"));
    QCOMPARE(responder.queryCount(), arguments.contains("/dev/full") ? 1 : 0);
}

// Servers come from each --servers file, then each --server; domains likewise. The first
// server is the slower one, so the summary's order by mean is not run order; its reply to
// b.test comes after --timeout and counts 10 s. The second round starts with the other server.
void TestCli::runWritesWindowExport() {
    FakeResponder slowResponder;
    slowResponder.setDefaultBehaviour({.delay = 30ms});
    slowResponder.setBehaviour("b.test", {.delay = 600ms});
    FakeResponder fastResponder;
    const QString slow = slowResponder.serverText() + " - \"quoted\" lab";
    const QString fast = fastResponder.serverText() + " - fast";
    QTemporaryDir dir;
    const QString servers = writeBytes(
        dir.filePath("servers.txt"), "\xEF\xBB\xBF# after a BOM\n\n  " + slow.toUtf8() + "  \r\n");
    const QString domains = writeBytes(dir.filePath("domains.txt"), "\na.test\n");
    const QString csvPath = dir.filePath("run.csv");
    const CliResult result = runCli({"--server", fast, "--servers", servers, "--domain", "b.test",
                                     "--domains", domains, "--type", "ns", "--timeout", "0.2",
                                     "--rounds", "2", "--output", csvPath, "--json", "-"});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(slowResponder.queryCount() + fastResponder.queryCount(), 8);

    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(json["interrupted"].toBool(true), false);
    QCOMPARE(json["record_type"].toString(), QString("NS"));
    QCOMPARE(fieldOf(json["lookups"], "server"),
             (QStringList{slow, slow, fast, fast, fast, fast, slow, slow}));
    QCOMPARE(fieldOf(json["lookups"], "domain").mid(0, 2), (QStringList{"a.test", "b.test"}));
    QCOMPARE(fieldOf(json["lookups"], "round").mid(3, 2), (QStringList{"1", "2"}));
    QVERIFY(json["lookups"][0]["seconds"].toDouble() >= 0.03);
    QCOMPARE(json["lookups"][1]["timed_out"].toBool(), true);
    QCOMPARE(json["lookups"][1]["seconds"].toDouble(), 10.0);
    QCOMPARE(json["fastest"]["by_mean"].toString(), fast);
    QCOMPARE(readAll(csvPath), windowExportOf(json));
    QVERIFY2(result.err.startsWith("Completed!\n") && result.err.contains(fast.toUtf8()),
             result.err.constData());
}

// Over TLS to the real resolver: its throwaway authority is trusted only through --ca-file;
// one kept connection serves every lookup unless --fresh-connections opens one each.
void TestCli::streamOptions_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("connections");
    QTest::newRow("unknown authority") << QStringList() << "socket_error" << 0;
    QTest::newRow("--ca-file") << QStringList{"--ca-file", "%ca"} << "answered" << 1;
    QTest::newRow("--ca-file, --fresh-connections")
        << QStringList{"--ca-file", "%ca", "--fresh-connections"} << "answered" << 3;
}

void TestCli::streamOptions() {
    QFETCH(QStringList, options);
    QFETCH(QString, outcome);
    QFETCH(int, connections);
    testing::RealResolver resolver;
    TARNBELL_START_SERVER(resolver);
    options.replaceInStrings("%ca", resolver.caFile());
    const CliResult result =
        runCli(QStringList{"--server", resolver.tlsEntry(), "--domain", "example.test", "--domain",
                           "example.test", "--domain", "example.test", "--json", "-"} +
               options);
    QCOMPARE(result.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(fieldOf(json["lookups"], "outcome"), QStringList(3, outcome));
    QCOMPARE(json["servers"][0]["connections"].toInt(), connections);
}

// A reader that has gone (`| head -c 100`): the JSON file is still written whole, and the
// failed standard output is reported with status 1 instead of a silent SIGPIPE death.
void TestCli::closedStandardOutput() {
    FakeResponder responder;
    QTemporaryDir dir;
    const CliResult result = runCli({"--server", responder.serverText(), "--domain", "a.test",
                                     "--domain", "b.test", "--json", dir.filePath("r.json")},
                                    [] {
                                        int ends[2];
                                        if (::pipe(ends) == 0) {
                                            ::close(ends[0]);
                                            ::dup2(ends[1], STDOUT_FILENO);
                                        }
                                    });
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readJson(dir.filePath("r.json"))["lookups"].toArray().size(), 2);
    QVERIFY2(result.err.endsWith("standard output could not be written: Broken pipe.\n"),
             result.err.constData());
}

void TestCli::stopSignal_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("twice"); // again once the program says it is stopping
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << SIGINT << false << 130;
    QTest::newRow("SIGHUP") << SIGHUP << false << 129;
    QTest::newRow("SIGTERM twice: at once, nothing written") << SIGTERM << true << 143;
}

// The signal comes as the second query arrives: the run ends once its answer is in, and the
// outputs hold both lookups, the first server's figures and its mark.
void TestCli::stopSignal() {
    QFETCH(int, signalNumber);
    QFETCH(bool, twice);
    QFETCH(int, exitCode);
    const bool again = twice;
    FakeResponder responder;
    QProcess* running = nullptr;
    const auto send = [&] { ::kill(static_cast<pid_t>(running->processId()), signalNumber); };
    // Twice: the lookup under way lasts far beyond the second signal.
    responder.setBehaviour("b.test", {.reply = FakeResponder::Reply::Custom,
                                      .delay = twice ? 60000ms : 100ms,
                                      .craft = [&](const QByteArray& query) {
                                          send();
                                          return FakeResponder::answer(query);
                                      }});
    const auto watch = [&](QProcess& process) {
        running = &process;
        connect(&process, &QProcess::readyReadStandardError, &process, [&] {
            process.setReadChannel(QProcess::StandardError);
            if (process.peek(4096).contains("stopping after the lookup under way") &&
                std::exchange(twice, false))
                send();
        });
    };
    QTemporaryDir dir;
    const QString csvPath = dir.filePath("r.csv");
    const QString jsonPath = dir.filePath("r.json");
    const QString server = responder.serverText();
    const CliResult result = runCli({"--server", server + " - one", "--server", server + " - two",
                                     "--domain", "=cmd.test", "--domain", "b.test", "--domain",
                                     "c.test", "--output", csvPath, "--json", jsonPath},
                                    {}, watch);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(responder.queryCount(), 2);
    // No temporary file is left beside the outputs, nor are they written after a second signal.
    const QStringList written = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(written, again ? QStringList() : (QStringList{"r.csv", "r.json"}));
    if (again)
        return;
    const QJsonObject json = readJson(jsonPath);
    QCOMPARE(json["interrupted"].toBool(), true);
    QCOMPARE(fieldOf(json["lookups"], "domain"), (QStringList{"=cmd.test", "b.test"}));
    QCOMPARE(fieldOf(json["servers"], "server"), QStringList{server + " - one"});
    QCOMPARE(json["fastest"]["by_mean"].toString(), server + " - one");
    // The CSV is the export of the same rows, its formula-like domain made text.
    const QByteArray csv = readAll(csvPath);
    QCOMPARE(csv, windowExportOf(json));
    QVERIFY(csv.contains("\r\n\"'=cmd.test\","));
    QVERIFY2(result.err.contains("interrupted by SIG"), result.err.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
