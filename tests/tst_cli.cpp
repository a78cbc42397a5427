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
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
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

QString writeLines(const QString& path, const QStringList& lines) {
    return writeBytes(path, lines.join(QLatin1Char('\n')).toUtf8());
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

QJsonObject readJson(const QString& path) {
    return QJsonDocument::fromJson(readAll(path)).object();
}

// One field of every object in a JSON array.
QStringList fieldOf(const QJsonValue& array, const char* key) {
    QStringList values;
    for (const QJsonValue& item : array.toArray())
        values << item[QLatin1String(key)].toString();
    return values;
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
    void closedStandardOutput();
    void stopSignal_data();
    void stopSignal();
    void replyCodesRoundsAndNoWinner();
    void progressBarOnlyOnTerminal_data();
    void progressBarOnlyOnTerminal();

    void runAgainstRealDnsServer();
};

void TestCli::helpAndVersion() {
    const CliResult help = runCli({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("--server <entry>") && help.out.contains("Exit status"));
    QVERIFY(help.err.isEmpty());

    const CliResult version = runCli({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("tarnbell-cli " TARNBELL_VERSION "\n"));
}

void TestCli::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // the whole line after "tarnbell-cli: ", as a pattern

    const QStringList run{"--server", "%responder", "--domain", "example.test"};
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << "Unknown option 'bogus'\\. Try 'tarnbell-cli --help'\\.";
    QTest::newRow("stray argument")
        << (run + QStringList{"8.8.8.8"}) << "unexpected argument 8\\.8\\.8\\.8: .*";
    QTest::newRow("missing servers file")
        << QStringList{"--servers", "/nonexistent/servers.txt", "--domain", "x.test"}
        << "cannot read the --servers file /nonexistent/servers.txt: No such file or "
           "directory";
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
    for (const char* timeout : {"abc", "0", "10.5", "nan"}) {
        QTest::addRow("timeout '%s'", timeout)
            << (run + QStringList{"--timeout", timeout})
            << QString("bad --timeout %1: give seconds above 0 and at most 10").arg(timeout);
    }
    for (const char* rounds : {"0", "21", "2.5"}) {
        QTest::addRow("rounds '%s'", rounds)
            << (run + QStringList{"--rounds", rounds})
            << QString("bad --rounds %1: give a whole number from 1 to 20").arg(rounds);
    }
    QTest::newRow("100 servers")
        << QStringList{"--servers", "@100servers", "--domain", "x.test"}
        << "100 DNS Servers given\\. You have too many DNS Servers!.*not DOSing\\.";
    QTest::newRow("100 domains")
        << QStringList{"--server", "127.0.0.1:9", "--domains", "@100domains"}
        << "100 domains given\\. You have too many domains!.*not DOSing\\.";
    QTest::newRow("defaults and 99 servers")
        << QStringList{"--defaults", "--servers", "@99servers", "--domain", "x.test"}
        << "1[12]\\d DNS Servers given\\. You have too many DNS Servers!.*";
    QTest::newRow("same file twice") << (run + QStringList{"--output", "@same", "--json", "@same"})
                                     << "--output and --json name the same file";
    QTest::newRow("same file through a link")
        << (run + QStringList{"--output", "@old.csv", "--json", "@link"})
        << "--output and --json name the same file";
    QTest::newRow("a link to a file not yet there")
        << (run + QStringList{"--output", "@dangling", "--json", "@new.json"})
        << "--output and --json name the same file";
    QTest::newRow("standard output twice")
        << (run + QStringList{"--output", "-", "--json", "-"})
        << "--output and --json cannot both be standard output \\(-\\)";

    // Server entries are read before the first query, by the probe's own rules.
    const QString bad = "bad server entry \\(%1\\): \"%2\" is not a usable DNS server: %3";
    const QStringList domain{"--domain", "x.test"};
    QTest::newRow("port out of range")
        << (QStringList{"--server", "%responder", "--server", "127.0.0.1:99999"} + domain)
        << bad.arg("--server number 2", "127\\.0\\.0\\.1:99999", "the port must be .*");
    QTest::newRow("hexadecimal address, by its line")
        << (QStringList{"--servers", "@listed"} + domain)
        << bad.arg("the --servers file .*/listed, line 4", "0x7f000001", ".*hexadecimal\\)");
    QTest::newRow("escape sequence in a label, shown escaped")
        << (QStringList{"--server", "%responder - \x1b]0;owned\x07"} + domain)
        << bad.arg("--server number 1", "127\\.0\\.0\\.1:\\d+ - \\\\x1b\\]0;owned\\\\x07",
                   "it holds a control character");
    QTest::newRow("a megabyte line")
        << (QStringList{"--servers", "@long"} + domain)
        << bad.arg("the --servers file .*/long, line 1", "127\\.0\\.0\\.1x{55}\\.\\.\\.",
                   "it is longer than 1024 characters");
    // List files: UTF-8 text in a regular file, nothing else.
    QTest::newRow("UTF-16 list") << (QStringList{"--servers", "@utf16"} + domain)
                                 << "cannot read the --servers file .*/utf16: it is not UTF-8 text";
    QTest::newRow("NUL in a list") << (run + QStringList{"--domains", "@nul"})
                                   << "cannot read the --domains file .*/nul: it is not UTF-8 text";
    QTest::newRow("FIFO list, never opened for a blocking read")
        << (run + QStringList{"--domains", "@fifo"})
        << "cannot read the --domains file .*/fifo: it is not a regular file .*";
}

void TestCli::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    FakeResponder responder;
    QTemporaryDir dir;
    writeLines(dir.filePath("100servers"), numberedEntries("127.0.0.%1:9", 100));
    writeLines(dir.filePath("99servers"), numberedEntries("127.0.0.%1:9", 99));
    writeLines(dir.filePath("100domains"), numberedEntries("d%1.test", 100));
    writeLines(dir.filePath("listed"),
               {"# good ones first", responder.serverText(), "", "0x7f000001 - hex"});
    writeLines(dir.filePath("long"), {"127.0.0.1" + QString(1000000, u'x')});
    writeBytes(dir.filePath("utf16"), QByteArray("\xff\xfe"
                                                 "1\0.\0"
                                                 "2\0.\0",
                                                 10));
    writeBytes(dir.filePath("nul"), QByteArray("a.test\n\0\n", 9));
    writeLines(dir.filePath("old.csv"), {"kept"});
    QVERIFY(QFile::link(dir.filePath("old.csv"), dir.filePath("link")));
    QVERIFY(QFile::link(dir.filePath("new.json"), dir.filePath("dangling")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir.filePath(argument.mid(1));
        argument.replace("%responder", responder.serverText());
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
    QCOMPARE(responder.queryCount(), 0);
}

void TestCli::unwritableOutput_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("target"); // relative to a fresh folder holding an empty "ro"
    QTest::addColumn<int>("queries");
    // Checked before the run: not one query is sent for results that could not be kept.
    QTest::newRow("--output in a read-only folder") << "--output"
                                                    << "ro/out.csv" << 0;
    QTest::newRow("--json is a folder") << "--json"
                                        << "ro" << 0;
    // A device that takes the file but not its bytes fails only when written, after the run.
    QTest::newRow("--output on a full disk") << "--output"
                                             << "/dev/full" << 1;
}

// Status 1, and the failure as the last line on standard error.
void TestCli::unwritableOutput() {
    QFETCH(QString, option);
    QFETCH(QString, target);
    QFETCH(int, queries);
    FakeResponder responder;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    std::optional<testing::ReadOnlyDir> guard;
    if (target.startsWith("ro/")) {
        guard.emplace(dir.filePath("ro"));
        if (!guard->isReadOnly())
            QSKIP("cannot make a folder read-only here");
    }
    const QString path = QDir(dir.path()).filePath(target); // an absolute target stays
    if (target.startsWith('/') && !QFileInfo::exists(target))
        QSKIP("no such device here");
    const CliResult result =
        runCli({"--server", responder.serverText(), "--domain", "a.test", option, path});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(responder.queryCount(), queries);
    const QByteArray last = result.err.mid(result.err.lastIndexOf('\n', -2) + 1);
    QVERIFY2(last.startsWith("tarnbell-cli: The file " + path.toUtf8() + " could not be written: "),
             result.err.constData());
    guard.reset();
    QCOMPARE(QDir(dir.filePath("ro")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

// Servers come from each --servers file, then each --server, whatever the order given;
// domains likewise. The first server is the slower one, so the summary's order by mean is
// not run order; its silence on b.test counts 10 s whatever the wait.
void TestCli::runAgainstFakeResponder() {
    FakeResponder slowResponder;
    slowResponder.setDefaultBehaviour({.delay = std::chrono::milliseconds(30)});
    slowResponder.setBehaviour("b.test", {.reply = FakeResponder::Reply::Silent});
    FakeResponder fastResponder;
    const QString slow = slowResponder.serverText() + " - \"quoted\" lab";
    const QString fast = fastResponder.serverText() + " - fast";
    QTemporaryDir dir;
    const QString servers = writeLines(dir.filePath("servers.txt"),
                                       {"\uFEFF# resolvers to compare, after a UTF-8 BOM", "",
                                        "  " + slow + "  \r", "   # indented comment"});
    const QString domains = writeLines(dir.filePath("domains.txt"), {"", "a.test", ""});
    const QString csvPath = dir.filePath("run.csv");
    const CliResult result =
        runCli({"--server", fast, "--servers", servers, "--domain", "b.test", "--domains", domains,
                "--type", "ns", "--timeout", "0.2", "--output", csvPath, "--json", "-"});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(slowResponder.queryCount(), 2);
    QCOMPARE(fastResponder.queryCount(), 2);

    // The JSON, on standard output, holds the lookups in run order; the CSV is the window's
    // export of them.
    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(json["interrupted"].toBool(true), false);
    QCOMPARE(json["record_type"].toString(), QString("NS"));
    QCOMPARE(json["timeout_seconds"].toDouble(), 0.2);
    QCOMPARE(fieldOf(json["lookups"], "server"), (QStringList{slow, slow, fast, fast}));
    QCOMPARE(fieldOf(json["lookups"], "domain"),
             (QStringList{"a.test", "b.test", "a.test", "b.test"}));
    QVERIFY(json["lookups"][0]["seconds"].toDouble() >= 0.03);
    QCOMPARE(json["lookups"][1]["timed_out"].toBool(), true);
    QCOMPARE(json["lookups"][1]["seconds"].toDouble(), 10.0);
    QCOMPARE(json["fastest"]["by_mean"].toString(), fast);
    QCOMPARE(readAll(csvPath), windowExportOf(json));

    // The completion text, with plain line ends, and nothing else without a terminal.
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(QRegularExpression("\\ACompleted!\n\nFastest servers? (was|were):\n.+\n(\\(mean "
                                "average/median average\\)\n)?\\z")
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QVERIFY(err.contains(fast));
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
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readJson(dir.filePath("r.json"))["lookups"].toArray().size(), 2);
    QVERIFY2(
        result.err.endsWith("\ntarnbell-cli: standard output could not be written: Broken pipe.\n"),
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
    FakeResponder responder;
    QProcess* running = nullptr;
    const auto send = [&] { ::kill(static_cast<pid_t>(running->processId()), signalNumber); };
    // Twice: the lookup under way lasts far beyond the second signal.
    responder.setBehaviour("b.test", {.reply = FakeResponder::Reply::Custom,
                                      .delay = std::chrono::milliseconds(twice ? 60000 : 100),
                                      .craft = [&](const QByteArray& query) {
                                          send();
                                          return FakeResponder::answer(query);
                                      }});
    const auto watch = [&](QProcess& process) {
        running = &process;
        if (!twice)
            return;
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
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(responder.queryCount(), 2);
    if (QTest::currentDataTag() == QLatin1String("SIGTERM twice: at once, nothing written")) {
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
        return;
    }
    const QJsonObject json = readJson(jsonPath);
    QCOMPARE(json["interrupted"].toBool(), true);
    QCOMPARE(fieldOf(json["lookups"], "domain"), (QStringList{"=cmd.test", "b.test"}));
    QCOMPARE(fieldOf(json["servers"], "server"), QStringList{server + " - one"});
    QCOMPARE(json["fastest"]["by_mean"].toString(), server + " - one");
    // The CSV is the export of the same rows, its formula-like domain made text.
    const QByteArray csv = readAll(csvPath);
    QCOMPARE(csv, windowExportOf(json));
    QVERIFY(csv.contains("\r\n\"'=cmd.test\","));
    // No temporary file is left beside them.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"r.csv", "r.json"}));
    const QString name = signalNumber == SIGINT ? "SIGINT" : "SIGHUP";
    QCOMPARE(QString::fromUtf8(result.err),
             QString("tarnbell-cli: %1: stopping after the lookup under way (again to quit at "
                     "once)\ntarnbell-cli: interrupted by %1 after 2 of 6 lookups; what was "
                     "measured is written\n")
                 .arg(name));
}

// Replies that refuse or fail count as failed lookups with their words in the row; NXDOMAIN
// and a truncated reply are answers. Two rounds ask everything twice, the second starting
// with the other server. A run in which nothing was answered names no fastest server.
void TestCli::replyCodesRoundsAndNoWinner() {
    const auto withCode = [](quint8 rcode, bool truncated = false) {
        return FakeResponder::Behaviour{.reply = FakeResponder::Reply::Custom,
                                        .craft = [rcode, truncated](const QByteArray& q) {
                                            QByteArray reply = FakeResponder::answer(q, rcode);
                                            if (truncated)
                                                reply[2] = static_cast<char>(reply[2] | 0x02);
                                            return reply;
                                        }};
    };
    FakeResponder coded;
    coded.setBehaviour("refused.test", withCode(5));
    coded.setBehaviour("servfail.test", withCode(2));
    coded.setBehaviour("nx.test", {.reply = FakeResponder::Reply::NxDomain});
    coded.setBehaviour("tc.test", withCode(0, true));
    FakeResponder other;
    QTemporaryDir dir;
    const QString jsonPath = dir.filePath("run.json");
    const QStringList domains{"--domain", "refused.test", "--domain", "servfail.test",
                              "--domain", "nx.test",      "--domain", "tc.test"};
    CliResult result =
        runCli(QStringList{"--server", coded.serverText(), "--server", other.serverText(),
                           "--rounds", "2", "--json", jsonPath, "--timeout", "1"} +
               domains);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    const QJsonObject json = readJson(jsonPath);
    QCOMPARE(fieldOf(json["lookups"], "server"), QStringList(4, coded.serverText()) +
                                                     QStringList(8, other.serverText()) +
                                                     QStringList(4, coded.serverText()));
    const QJsonArray lookups = json["lookups"].toArray();
    QStringList outcomes;
    for (int i = 0; i < 4; ++i)
        outcomes << lookups[i]["outcome"].toString() + "/" +
                        QString::number(lookups[i]["rcode"].toInt()) + "/" +
                        QString::number(lookups[i]["seconds"].toDouble() == 10.0);
    QCOMPARE(outcomes,
             (QStringList{"error_reply/5/1", "error_reply/2/1", "answered/3/0", "answered/0/0"}));
    QCOMPARE(lookups[3]["truncated"].toBool(), true);
    QCOMPARE(lookups[12]["round"].toInt(), 2);
    QCOMPARE(json["servers"][0]["errors"].toInt(), 4);
    QCOMPARE(json["servers"][0]["warm"]["lookups"].toInt(), 4);
    const QString csv = QString::fromUtf8(result.out);
    QVERIFY(csv.contains("\"refused.test\",\"" + coded.serverText() + "\",\"refused by server\""));
    QVERIFY(csv.contains("\"servfail.test\",\"" + coded.serverText() + "\",\"server failure\""));

    result = runCli(QStringList{"--server", coded.serverText(), "--domain", "refused.test",
                                "--domain", "servfail.test", "--json", jsonPath});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray("No DNS server answered.\n"));
    const QJsonObject fastest = readJson(jsonPath)["fastest"].toObject();
    QVERIFY(fastest["by_mean"].isNull() && fastest["by_median"].isNull());
}

void TestCli::progressBarOnlyOnTerminal_data() {
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<int>("columns");
    QTest::newRow("terminal") << false << 100;
    QTest::newRow("narrow terminal") << false << 40;
    QTest::newRow("terminal, --quiet") << true << 100;
}

void TestCli::progressBarOnlyOnTerminal() {
    QFETCH(bool, quiet);
    QFETCH(int, columns);
    FakeResponder responder;
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
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

    // A domain that would clear the screen if it reached the terminal as it is.
    QStringList arguments{"--server", responder.serverText() + " - a rather long label here",
                          "--domain", "a.test",
                          "--domain", "b\x1b[2J.test"};
    if (quiet)
        arguments << "--quiet";
    const CliResult result = runCli(arguments, [slave] { ::dup2(slave, STDERR_FILENO); });
    ::close(slave);
    QTRY_VERIFY(!reader.isEnabled());
    ::close(master);

    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty()); // it all went to the terminal
    // --quiet leaves nothing at all: no bar, no completion text.
    QCOMPARE(terminal.isEmpty(), quiet);
    if (quiet)
        return;
    QVERIFY(terminal.contains("Completed!"));
    // The figures table closes the output, its columns aligned under the header.
    const qsizetype header = terminal.indexOf("DNS Server");
    QVERIFY(header >= 0);
    const QList<QByteArray> table = terminal.mid(header).trimmed().split('\n');
    QCOMPARE(table.size(), 2);
    // The median's two decimals end where its title ends.
    const qsizetype end = table[0].indexOf("Median ms") + 9;
    QCOMPARE(table[1].at(end - 3), '.');
    QCOMPARE(table[1].at(end), ' ');
    QVERIFY(!terminal.contains("\x1b[2J"));
    const QByteArray server = responder.serverText().toUtf8();
    const QRegularExpression timing("\\d:\\d\\d elapsed, ~\\d:\\d\\d left");
    bool halfway = false;
    for (const QByteArray& drawn : terminal.split('\x1b')) {
        if (!drawn.startsWith("[K") || drawn.size() <= 3 || drawn.startsWith("[KCompleted!"))
            continue;
        const QByteArray line = drawn.mid(2, drawn.indexOf('\r') - 2);
        // Every drawn line fits, so it never wraps; the lookup under way stays in view.
        QVERIFY2(line.size() < columns, line.constData());
        QVERIFY2(line.contains(server) &&
                     (line.contains("a.test") || line.contains("b\\x1b[2J.test")),
                 line.constData());
        if (line.contains(" 50.00% ")) {
            halfway = true;
            QCOMPARE(line.startsWith("[#"), columns == 100);
            QVERIFY2(QRegularExpression(timing).match(QString::fromUtf8(line)).hasMatch() ==
                         (columns == 100),
                     line.constData());
        }
    }
    QVERIFY(halfway);
}

// Without --type the window's MX, without --output the CSV on standard output.
void TestCli::runAgainstRealDnsServer() {
    testing::RealDnsServer server;
    TARNBELL_START_REAL_DNS_SERVER(server);
    QTemporaryDir dir;
    const QString entry = server.serverText() + " - nsd";
    const CliResult result = runCli({"--server", entry, "--domain", testing::RealDnsServer::kZone,
                                     "--domain", testing::RealDnsServer::kHostWithAddress,
                                     "--timeout", "5", "--json", dir.filePath("r.json")});
    QCOMPARE(result.exitCode, 0);
    const QJsonObject json = readJson(dir.filePath("r.json"));
    QCOMPARE(json["record_type"].toString(), QString("MX"));
    QCOMPARE(fieldOf(json["lookups"], "outcome"), (QStringList{"answered", "answered"}));
    QCOMPARE(result.out, windowExportOf(json));
    QVERIFY(result.err.endsWith("Fastest server was:\n" + entry.toUtf8() + "\n"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
