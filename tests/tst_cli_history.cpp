// tarnbell-cli --history: programs running at once all keep their runs in one file, and a
// history that cannot take a run costs it one line on standard error, nothing more.

#include "core/history/historystore.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/readonlydir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>

using namespace tarnbell;
using tarnbell::testing::FakeResponder;

namespace {

void startCli(QProcess& process, const FakeResponder& responder, const QStringList& more) {
    process.setProgram(QStringLiteral(TARNBELL_CLI_PATH));
    process.setArguments(QStringList{"--server", responder.serverText(), "--domain", "a.test",
                                     "--domain", "b.test", "--quiet"} +
                         more);
    process.start();
}

} // namespace

class TestCliHistory final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programsShareOneFile();
    void unusableHistoryKeepsTheRun_data();
    void unusableHistoryKeepsTheRun();
};

// Three programs start on a file that does not exist yet: each run is kept, whichever
// program made the file.
void TestCliHistory::programsShareOneFile() {
    FakeResponder responder;
    responder.setDefaultBehaviour({.delay = std::chrono::milliseconds(50)});
    QTemporaryDir dir;
    std::array<QProcess, 3> programs;
    for (QProcess& program : programs)
        startCli(program, responder, {"--output", "/dev/null", "--history", dir.filePath("h.db")});
    QTRY_VERIFY_WITH_TIMEOUT(std::ranges::all_of(programs,
                                                 [](const QProcess& program) {
                                                     return program.state() == QProcess::NotRunning;
                                                 }),
                             60000);
    for (QProcess& program : programs) {
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.exitCode(), 0);
    }
    core::HistoryStore store(dir.filePath("h.db"));
    const QList<core::PastRun> runs = store.runs().value_or(QList<core::PastRun>{});
    QCOMPARE(runs.size(), 3);
    for (const core::PastRun& run : runs)
        QCOMPARE(run.lookupCount, 2);
}

void TestCliHistory::unusableHistoryKeepsTheRun_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    const QString damaged = "the file is damaged or is not a history file";
    QTest::newRow("locked") << "locked"
                            << "the database is locked by another program";
    QTest::newRow("not a database") << "text" << damaged;
    QTest::newRow("damaged pages") << "damaged" << damaged;
    QTest::newRow("newer version") << "newer"
                                   << "the file was written by a newer version of Tarnbell";
    QTest::newRow("read-only folder") << "ro"
                                      << "the file or its folder cannot be written";
}

// The JSON is written, the status is a finished run's, and the history's fault is one line.
void TestCliHistory::unusableHistoryKeepsTheRun() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    const testing::ReadOnlyDir readOnly(dir.filePath("ro"));
    if (file == "ro" && !readOnly.isReadOnly())
        QSKIP("cannot make a folder read-only here");
    const QString path = dir.filePath(file == "ro" ? "ro/h.db" : "h.db");
    if (file != "ro" && file != "text")
        QVERIFY(core::HistoryStore(path).save({}));
    QFile bytes(path);
    if (file == "text" && bytes.open(QIODevice::WriteOnly))
        bytes.write(QByteArray(8192, 'x'));
    // Every page after the first, where the tables' roots are, overwritten.
    if (file == "damaged" && bytes.open(QIODevice::ReadWrite) && bytes.seek(4096))
        bytes.write(QByteArray(bytes.size() - 4096, '\xff'));
    bytes.close();
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(path);
        if (file == "newer" || file == "locked") {
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(file == "newer" ? "PRAGMA user_version = 99"
                                                          : "BEGIN EXCLUSIVE"));
        }
        FakeResponder responder;
        QProcess program;
        startCli(program, responder, {"--json", dir.filePath("r.json"), "--history", path});
        QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 60000);
        QCOMPARE(QString::fromUtf8(program.readAllStandardError()),
                 "tarnbell-cli: History not saved: " + reason + "\n");
        QCOMPARE(program.exitCode(), 0);
    }
    QSqlDatabase::removeDatabase("other");
    QFile json(dir.filePath("r.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(json.readAll())["lookups"].toArray().size(), 2);
}

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_cli_history.moc"
