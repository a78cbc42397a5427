// tarnbell-cli run as a program: its refusals and exit statuses, its CSV and JSON against
// in-process fake responders, and signals. The responders answer from this test's event loop, so
// every wait for the program is a signal-spy wait, never a blocking one.

#include "fixtures/fakeresponder.h"
#include "fixtures/readonlydir.h"
#include "fixtures/resultpages.h"

#include <QDir>
#include <QElapsedTimer>
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
    int exitCode; // -1 when the program did not end in time
    QByteArray out, err;
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
    // Braces evaluate in order: the wait comes first. One that never ends is killed on return.
    return {finished.wait(60000) ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
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

// One field of every object in a JSON array.
QStringList fieldOf(const QJsonValue& array, const char* key) {
    QStringList values;
    for (const QJsonValue& item : array.toArray())
        values << item[QLatin1String(key)].toVariant().toString();
    return values;
}

} // namespace

class TestCli final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void badInput_data();
    void badInput();
    void runWritesWindowExport();
    void silentNameServerDoesNotHoldTheProgram();
    void stopSignal_data();
    void stopSignal();
};

// Refused before anything is sent (status 2 for bad input, 1 for an output that cannot be
// written), with one line naming the fault, no file written, no old one touched. Only
// a device that takes the file but not its bytes fails after the run, and so does a reader
// that has gone (`| head -c 100`): status 1 then, not a silent SIGPIPE death, and with
// --quiet that line alone.
void TestCli::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fault"); // a pattern within the last line
    using L = QStringList;
    const L run{"--server", "%responder", "--domain", "example.test"};
    const L domain{"--domain", "x.test"};
    QTest::newRow("no servers") << domain << 2 << "no DNS servers given";
    for (const char* timeout : {"0", "10.5", "nan"})
        QTest::addRow("timeout %s", timeout) << (run + L{"--timeout", timeout}) << 2
                                             << QStringLiteral("bad --timeout %1").arg(timeout);
    // 99 servers are allowed: the rounds are what is wrong.
    QTest::newRow("21 rounds") << (L{"--servers", "@99servers", "--rounds", "21"} + domain) << 2
                               << "bad --rounds 21";
    QTest::newRow("defaults count towards 99 servers")
        << (L{"--defaults", "--servers", "@99servers"} + domain) << 2 << "1[12]\\d DNS Servers";
    QTest::newRow("built-in domains count towards 99 domains")
        << L{"--server", "%responder", "--default-domains", "--domains", "@99servers"} << 2
        << "1[12]\\d domains given";
    QTest::newRow("bad entry after a good one")
        << (L{"--server", "%responder", "--server", "127.0.0.1:99999"} + domain) << 2
        << "--server number 2.*the port must be";
    QTest::newRow("bad entry by its line")
        << (L{"--servers", "@listed"} + domain) << 2 << "/listed, line 4.*hexadecimal";
    QTest::newRow("domain with a blank") << (run + L{"--domain", "www.exa mple.test"}) << 2
                                         << "--domain number 2\\): \"www.exa mple.test\" .*blank";
    QTest::newRow("UTF-16 list") << (L{"--servers", "@utf16"} + domain) << 2 << "not UTF-8 text";
    QTest::newRow("FIFO list, never opened for a blocking read")
        << (run + L{"--domains", "@fifo"}) << 2 << "not a regular file";
    QTest::newRow("CA file without a certificate")
        << (run + L{"--ca-file", "@old.csv"}) << 2 << "no PEM certificate";
    QTest::newRow("CA file over 1 MiB") << (run + L{"--ca-file", "@big.pem"}) << 2 << "1 MiB";
    QTest::newRow("same file through a link")
        << (run + L{"--output", "@old.csv", "--json", "@link"}) << 2 << "name the same file";
    QTest::newRow("standard output twice")
        << (run + L{"--output", "-", "--json", "-"}) << 2 << "both be standard output";
    QTest::newRow("--output in a read-only folder")
        << (run + L{"--output", "@ro/out.csv"}) << 1 << "/ro/out.csv could not be";
    QTest::newRow("--output on a full disk")
        << (run + L{"--output", "/dev/full", "--quiet"}) << 1 << "/dev/full could not be written";
    QTest::newRow("standard output closed") << (run + L{"--json", "-", "--quiet", "%closed"}) << 1
                                            << "standard output could not be written";
}

void TestCli::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, fault);
    FakeResponder responder;
    QTemporaryDir dir;
    writeBytes(dir.filePath("99servers"),
               testing::numberedHosts("127.0.0.%1:9", 99).join('\n').toUtf8());
    writeBytes(dir.filePath("listed"),
               "# good ones first\n" + responder.serverText().toUtf8() + "\n\n0x7f000001 - hex");
    writeBytes(dir.filePath("utf16"), QByteArray::fromHex("fffe31002e00"));
    writeBytes(dir.filePath("old.csv"), "kept");
    writeBytes(dir.filePath("big.pem"), QByteArray(1024 * 1024 + 1, '-'));
    QVERIFY(QFile::link(dir.filePath("old.csv"), dir.filePath("link")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    const testing::ReadOnlyDir readOnly(dir.filePath("ro"));
    if (fault.contains("/ro/") && !readOnly.isReadOnly())
        QSKIP("cannot make a folder read-only here");
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir.filePath(argument.mid(1));
        argument.replace("%responder", responder.serverText());
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const bool closed = arguments.removeAll("%closed") > 0;
    const CliResult result = runCli(arguments, [closed] {
        int ends[2];
        if (closed && ::pipe(ends) == 0) {
            ::close(ends[0]);
            ::dup2(ends[1], STDOUT_FILENO);
        }
    });
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(
        QRegularExpression("\\Atarnbell-cli: [^\n]*" + fault + "[^\n]*\n\\z").match(err).hasMatch(),
        qPrintable(err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(QDir(dir.filePath("ro")).entryList(QDir::Files), QStringList());
    QCOMPARE(readAll(dir.filePath("old.csv")), QByteArray("kept"));
    QCOMPARE(responder.queryCount(), closed || arguments.contains("/dev/full") ? 1 : 0);
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
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(slowResponder.queryCount() + fastResponder.queryCount(), 8);

    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(json["interrupted"].toBool(true), false);
    QCOMPARE(json["lookups"][0]["rcode"].toInt(-1), 0);
    QCOMPARE(json["record_type"].toString(), QString("NS"));
    QCOMPARE(fieldOf(json["lookups"], "server"),
             (QStringList{slow, slow, fast, fast, fast, fast, slow, slow}));
    QCOMPARE(fieldOf(json["lookups"], "domain").mid(0, 2), (QStringList{"a.test", "b.test"}));
    QCOMPARE(fieldOf(json["lookups"], "round").mid(3, 2), (QStringList{"1", "2"}));
    QVERIFY(json["lookups"][0]["seconds"].toDouble() >= 0.03);
    QCOMPARE(fieldOf(json["lookups"], "outcome").join(' '),
             "answered timed_out answered answered answered answered answered timed_out");
    QCOMPARE(json["lookups"][1]["seconds"].toDouble(), 10.0);
    QCOMPARE(json["fastest"]["by_mean"].toString(), fast);
    // The CSV is the window's export: the lookups in run order with their round, the summary
    // fastest first.
    const QByteArray csv = readAll(csvPath);
    const QByteArray slowField = '"' + slow.toUtf8().replace("\"", "\"\"") + '"';
    QVERIFY2(
        csv.startsWith("\"Domain\",\"DNS Server\",\"Response Time\",\"Round\"\r\n") &&
            csv.contains("\r\n\"b.test\"," + slowField + ",\"10000 ms\",\"1\"\r\n\"a.test\",") &&
            csv.contains("Median Response\"\r\n\"" + fast.toUtf8() + "\","),
        csv.constData());
    QVERIFY2(result.err.startsWith("Completed!\n") && result.err.contains(fast.toUtf8()),
             result.err.constData());
}

// A server named by a host name that the configured name server never resolves: each of the
// three lookups fails within its one-second limit (the name is asked once), and the program
// ends at once after them, whatever the configuration's own timeout.
void TestCli::silentNameServerDoesNotHoldTheProgram() {
    FakeResponder nameServer;
    nameServer.setDefaultBehaviour({.reply = FakeResponder::Reply::Silent});
    QTemporaryDir dir;
    const QString conf =
        writeBytes(dir.filePath("resolv.conf"), "options timeout:30 attempts:2\nsearch lab.test\n"
                                                "nameserver [127.0.0.1]:" +
                                                    QByteArray::number(nameServer.port()) + '\n');
    qputenv("TARNBELL_RESOLV_CONF", QFile::encodeName(conf));
    QElapsedTimer clock;
    clock.start();
    const CliResult result =
        runCli({"--server", "dns.tarnbell.test", "--domain", "a.test", "--domain", "b.test",
                "--domain", "c.test", "--timeout", "1", "--json", "-"});
    qunsetenv("TARNBELL_RESOLV_CONF");
    QVERIFY2(clock.elapsed() < 3 * 1000 + 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(result.exitCode, 0);
    const QJsonValue lookups = QJsonDocument::fromJson(result.out)["lookups"];
    QCOMPARE(fieldOf(lookups, "error").filter("could not be resolved").size(), 3);
    QCOMPARE(nameServer.queryCount(), 2); // A and AAAA for the name as it is
}

void TestCli::stopSignal_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

// The signal comes as the second query arrives: the run ends once its answer is in, and the
// outputs hold both lookups, the first server's figures and its mark, with no temporary file
// left beside them.
void TestCli::stopSignal() {
    QFETCH(int, signalNumber);
    FakeResponder responder;
    QProcess* running = nullptr;
    responder.setBehaviour("b.test", {.reply = FakeResponder::Reply::Custom,
                                      .delay = 100ms,
                                      .craft = [&](const QByteArray& query) {
                                          ::kill(pid_t(running->processId()), signalNumber);
                                          return FakeResponder::answer(query);
                                      }});
    QTemporaryDir dir;
    const QString server = responder.serverText();
    const CliResult result =
        runCli({"--server", server + " - one", "--server", server + " - two", "--domain",
                "=cmd.test", "--domain", "b.test", "--domain", "c.test", "--output",
                dir.filePath("r.csv"), "--json", dir.filePath("r.json")},
               {}, [&running](QProcess& process) { running = &process; });
    QCOMPARE(result.exitCode, 128 + signalNumber); // as a shell reports a death by the signal
    QCOMPARE(responder.queryCount(), 2);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"r.csv", "r.json"}));
    const QJsonObject json = QJsonDocument::fromJson(readAll(dir.filePath("r.json"))).object();
    QCOMPARE(json["interrupted"].toBool(), true);
    QCOMPARE(fieldOf(json["lookups"], "domain"), (QStringList{"=cmd.test", "b.test"}));
    QCOMPARE(fieldOf(json["servers"], "server"), QStringList{server + " - one"});
    QCOMPARE(json["fastest"]["by_mean"].toString(), server + " - one");
    // The CSV holds the same rows, its formula-like domain made text.
    QVERIFY(readAll(dir.filePath("r.csv")).contains("\r\n\"'=cmd.test\","));
    QVERIFY2(result.err.contains("interrupted by SIG"), result.err.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
