// The history file: runs written and read back as they were, listed, followed across runs
// and deleted, and a file of the first version brought up to date.

#include "core/history/historyschema.h"
#include "core/history/historystore.h"
#include "core/results/runreport.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnbell::core;
Q_DECLARE_METATYPE(tarnbell::core::RunRecord)

namespace {

const QStringList kTwoServers{"10.0.0.1 - one", "10.0.0.2"}; // the second is the local one

LookupRecord lookup(int server, const QString& domain, double seconds, int rcode = 0, int round = 0,
                    QueryKind kind = QueryKind::Listed) {
    ProbeResult result;
    result.outcome = seconds < 10 ? ProbeOutcome::Answered : ProbeOutcome::TimedOut;
    result.seconds = seconds;
    result.rcode = seconds < 10 ? rcode : -1;
    LookupRecord record = lookupRecord({}, domain, result, server, round);
    record.queryKind = kind;
    return record;
}

// A run of `lookups`, its figures made as a run makes them.
RunRecord recordOf(const QStringList& servers, QList<LookupRecord> lookups,
                   RunSettings settings = {}) {
    RunFigures figures;
    figures.start(servers, "10.0.0.2");
    RunRecord run;
    run.settings = settings;
    run.servers = servers;
    for (LookupRecord& record : lookups) {
        record.serverEntry = servers.at(record.serverIndex);
        figures.add(record);
        if (!run.domains.contains(record.domain))
            run.domains.append(record.domain);
    }
    run.settings.startedAt = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    run.settings.endedAt = run.settings.startedAt.addMSecs(42'001);
    run.lookups = figures.lookups();
    run.figures = figures.servers(RunFigures::Chances::Estimate);
    return run;
}

// Every lookup and figure at full precision, as the JSON gives them, and the box plot's
// quartiles, which it does not.
QByteArray everything(const RunRecord& run) {
    QByteArray text = QJsonDocument(runReportJson("A", run.lookups, run.figures)).toJson();
    for (const ServerFigures& server : run.figures) {
        for (int set = 0; set <= static_cast<int>(LookupSet::TopLevel); ++set) {
            const TimeFigures& f = figuresOf(server, static_cast<LookupSet>(set));
            text += QByteArray::number(f.q1Ms, 'g', 17) + QByteArray::number(f.q3Ms, 'g', 17);
        }
    }
    return text;
}

} // namespace

class TestHistory final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runReadBack_data();
    void runReadBack();
    void listsFollowsAndDeletes();
    void firstVersionBroughtUpToDate();
};

void TestHistory::runReadBack_data() {
    QTest::addColumn<RunRecord>("run");
    QTest::newRow("one round, the local resolver slower") << recordOf(
        kTwoServers, {lookup(0, "a.test", 0.0123456789012345), lookup(0, "b.test", 0.001),
                      lookup(1, "a.test", 0.02), lookup(1, "b.test", 0.03)});
    // Repeats of each name, a timeout, a refusal and a truncated reply.
    QList<LookupRecord> rounds;
    for (int round = 0; round < 3; ++round) {
        for (int server = 0; server < 2; ++server) {
            for (const char* domain : {"a.test", "b.test"})
                rounds << lookup(server, domain, 0.001 * (round + 1) + 0.002 * server,
                                 server == 1 && round == 1 ? 5 : 0, round);
        }
    }
    rounds[2] = lookup(1, "a.test", 10.0);
    rounds[3].truncated = true;
    QTest::newRow("three rounds") << recordOf(kTwoServers, rounds,
                                              {.tool = RunTool::Window, .rounds = 3});
    // An uncached answer as fast as the cache hits is counted, not timed; the TLS server
    // names its instance and opens a connection.
    QList<LookupRecord> kinds;
    for (int server = 0; server < 2; ++server) {
        kinds << lookup(server, "a.test", 0.02)
              << lookup(server, "a.test", 0.001, 0, 0, QueryKind::Cached);
        for (const double seconds : {0.001, 0.05}) {
            kinds << lookup(server, "a.test", seconds, 3, 0, QueryKind::Uncached);
            kinds.last().askedName = QStringLiteral("tb-%1.a.test").arg(seconds);
            kinds.last().negativeTtl = kinds.last().soaMinimum = 300;
            kinds.last().nsid = "ns1";
        }
    }
    kinds[0].newConnection = true;
    kinds[0].connectSeconds = 0.0042;
    QTest::newRow("kinds") << recordOf(
        {"tls://10.0.0.3#dns.test", "10.0.0.4"}, kinds,
        {.kinds = {QueryKind::Listed, QueryKind::Cached, QueryKind::Uncached}});
    QList<LookupRecord> none{lookup(0, "a.test", 10.0), lookup(0, "b.test", 10.0)};
    none[1].outcome = ProbeOutcome::Unreachable;
    none[1].errorText = "port unreachable";
    QTest::newRow("stopped, no answer") << recordOf(
        {"10.0.0.9"}, none, {.recordType = "SOA", .timeLimitSeconds = 0.5, .interrupted = true});
}

// Saved by one store, read back by another, as by another program.
void TestHistory::runReadBack() {
    QFETCH(RunRecord, run);
    QTemporaryDir dir;
    const std::optional<qint64> id = HistoryStore(dir.filePath("h.db")).save(run);
    QVERIFY(id);
    HistoryStore store(dir.filePath("h.db"));
    const std::optional<RunRecord> back = store.run(*id);
    QVERIFY2(back, qPrintable(store.errorMessage()));
    QVERIFY(back->settings == run.settings);
    QCOMPARE(back->servers, run.servers);
    QCOMPARE(back->domains, run.domains);
    QCOMPARE(everything(*back), everything(run));
}

// Three days of two servers: the list newest first, the first server's trend oldest first,
// then the middle day deleted.
void TestHistory::listsFollowsAndDeletes() {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("h.db"));
    QList<qint64> ids;
    for (int day = 0; day < 3; ++day) {
        RunRecord run = recordOf(
            kTwoServers, {lookup(0, "a.test", 0.01 * (day + 1)), lookup(1, "a.test", 0.015)});
        run.settings.startedAt = run.settings.startedAt.addDays(day);
        ids << store.save(run).value_or(0);
    }
    const QList<PastRun> runs = store.runs().value_or(QList<PastRun>{});
    QCOMPARE(runs.size(), 3);
    QCOMPARE(runs[0].id, ids[2]);
    QCOMPARE(runs[0].fastestByMedian, kTwoServers[1]);
    QCOMPARE(runs[2].fastestByMedian, kTwoServers[0]);
    QCOMPARE(runs[2].serverCount + runs[2].domainCount + runs[2].lookupCount, 2 + 1 + 2);
    QList<double> trend;
    const auto points = store.medians(LookupSet::All, kTwoServers[0]);
    for (const MedianPoint& point : points.value_or(QList<MedianPoint>{}))
        trend << point.exactMedianMs;
    QCOMPARE(trend, (QList<double>{10.0, 20.0, 30.0}));
    QCOMPARE(store.medians()->size(), 6);
    QVERIFY(store.remove({ids[1]}));
    QCOMPARE(store.runs()->size(), 2);
    QVERIFY(!store.run(ids[1]) && store.errorMessage().isEmpty());
    QCOMPARE(store.run(ids[2])->lookups.size(), 2);
}

// A file written by the first version, with one run, opened by this one.
void TestHistory::firstVersionBroughtUpToDate() {
    QTemporaryDir dir;
    const QString path = dir.filePath("v1.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "v1");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString& statement :
             historySchemaStep(1) +
                 QStringList{"INSERT INTO runs VALUES (7, 1600000000000, 1600000001000, 'cli', "
                             "'A', 1, 'listed', 10, 0, 1, 1, 1, '10.0.0.1', '10.0.0.1')",
                             "INSERT INTO run_servers VALUES (7, 0, '10.0.0.1', 'udp', 0, 1, 1, "
                             "0, 0)",
                             "INSERT INTO run_domains VALUES (7, 0, 'a.test')",
                             "INSERT INTO figures (run_id, server_index, lookup_set, lookups, "
                             "answered, timeouts, failures, from_cache, median_exact_ms) "
                             "VALUES (7, 0, 0, 1, 1, 0, 0, 0, 4.5)",
                             "INSERT INTO lookups VALUES (7, 0, 0, 0, NULL, 0, 1, 0, 0.0045, 0, "
                             "0, 0, NULL, 0, NULL, NULL, 1)",
                             "PRAGMA user_version = 1"})
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase("v1");
    HistoryStore store(path);
    QVERIFY2(store.save(recordOf(kTwoServers, {lookup(0, "b.test", 0.002)})),
             qPrintable(store.errorMessage()));
    QCOMPARE(store.runs()->size(), 2);
    const std::optional<RunRecord> old = store.run(7);
    QCOMPARE(old->lookups.value(0).seconds, 0.0045);
    QCOMPARE(old->figures.value(0).all.exactMedianMs, 4.5);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "v2");
    db.setDatabaseName(path);
    QSqlQuery query(db.open() ? db : QSqlDatabase());
    QVERIFY(query.exec("SELECT (SELECT user_version FROM pragma_user_version), count(*) FROM "
                       "sqlite_master WHERE type = 'index' AND name NOT LIKE 'sqlite_%'") &&
            query.next());
    QCOMPARE(query.value(0).toInt() * 10 + query.value(1).toInt(), 22); // version 2, 2 indexes
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
