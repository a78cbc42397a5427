// The benchmark run driven end to end by a scripted probe: the order of rows, texts and
// signals, the per-server figures, the winners and their marks, pause and skip.

#include "core/benchmarkengine.h"
#include "core/resultsortproxy.h"
#include "core/runtimers.h"
#include "fixtures/scriptedprobe.h"

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace tarnbell::core;
using tarnbell::testing::ScriptedProbe;
using Reply = ScriptedProbe::Reply;

namespace {

constexpr int kNone = static_cast<int>(Mark::None);
constexpr int kLocal = static_cast<int>(Mark::Local);
constexpr int kWinner = static_cast<int>(Mark::Winner);

// The engine with its probe, both lists and their sort proxies, wired as the window wires
// them, and a log of every signal in the order it came.
struct Rig {
    ScriptedProbe probe;
    LookupTableModel lookups;
    SummaryTableModel summary;
    ResultSortProxy lookupsProxy{ResultSortProxy::List::Lookups};
    ResultSortProxy summaryProxy{ResultSortProxy::List::Summary};
    ReadyReset reset;
    BenchmarkEngine engine{&probe, &lookups, &summary};
    QStringList log;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;

    Rig() {
        lookupsProxy.setSourceModel(&lookups);
        summaryProxy.setSourceModel(&summary);
        for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{
                 &lookups, &summary, &lookupsProxy, &summaryProxy})
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::QtTest));
        engine.setReadyReset(&reset);
        QObject::connect(&engine, &BenchmarkEngine::summaryResortRequested, &summaryProxy,
                         &ResultSortProxy::resortByMean);
        record();
    }

    // Every engine signal logged as "name: arg arg ...", the progress fill's args split by '|'.
    void record() {
        using E = BenchmarkEngine;
        on(&E::statusChanged, "status");
        on(&E::serverUnderTestChanged, "lDNS");
        on(&E::serverIndexChanged, "server");
        on(&E::domainIndexChanged, "domain");
        on(&E::progressChanged, "progress", u'|');
        on(&E::progressTextChanged, "progressText");
        on(&E::lookupRowAdded, "row");
        on(&E::lookupFinished, "finished");
        on(&E::lookupMeasured, "measured");
        on(&E::countsChanged, "counts");
        on(&E::fastestServerChanged, "fastest");
        on(&E::summaryRowAdded, "summary");
        on(&E::summaryResortRequested, "resort");
        on(&E::pauseButtonChanged, "pause");
        on(&E::skipButtonChanged, "skip");
        on(&E::finished, "done");
    }

    template <typename... Args>
    void on(void (BenchmarkEngine::*signal)(Args...), const char* name, QChar separator = u' ') {
        QObject::connect(&engine, signal, [this, name, separator](Args... args) {
            const QStringList parts{text(args)...};
            log << (parts.isEmpty() ? QString::fromLatin1(name)
                                    : QString::fromLatin1(name) + ": " + parts.join(separator));
        });
    }
    static QString text(const QString& value) { return value; }
    static QString text(int value) { return QString::number(value); }
    static QString text(double value) { return QString::number(value); }
    static QString text(bool value) { return QString::number(int(value)); }
    static QString text(Rgb c) {
        return QStringLiteral("%1,%2,%3").arg(c.red).arg(c.green).arg(c.blue);
    }
    static QString text(const ProbeResult& result) { return QString::number(int(result.outcome)); }

    // Lines of the log that start with one of `prefixes`.
    QStringList only(const QStringList& prefixes) const {
        QStringList lines;
        for (const QString& line : log)
            for (const QString& prefix : prefixes)
                if (line.startsWith(prefix)) {
                    lines << line;
                    break;
                }
        return lines;
    }

    QString start(const QStringList& servers, const QStringList& domains,
                  const QString& type = QStringLiteral("MX 15"), int rounds = 1) {
        return engine.BenchmarkDNS({servers, domains, type, rounds}) ? QString() : "not started";
    }

    // Runs to the end and returns the completion text (or why there is none).
    QString run(const QStringList& servers, const QStringList& domains,
                const QString& type = QStringLiteral("MX 15"), int rounds = 1) {
        QSignalSpy done(&engine, &BenchmarkEngine::finished);
        const QString refused = start(servers, domains, type, rounds);
        if (!refused.isEmpty() || !done.wait(10000))
            return refused.isEmpty() ? QStringLiteral("not finished") : refused;
        return done.first().first().toString();
    }

    static QStringList rowOf(const QAbstractItemModel& model, int row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        return cells;
    }
    QStringList lookupRow(int row) const { return rowOf(lookups, row); }
    QStringList summaryRow(int row) const { return rowOf(summary, row); }

    QList<int> marks(int row) const {
        QList<int> result;
        for (int column = 0; column < SummaryTableModel::kColumnCount; ++column)
            result << summary.index(row, column).data(MarkRole).toInt();
        return result;
    }

    QStringList proxyColumn(const QAbstractItemModel& proxy, int column) const {
        QStringList texts;
        for (int row = 0; row < proxy.rowCount(); ++row)
            texts << proxy.index(row, column).data().toString();
        return texts;
    }

    QStringList calls() const {
        QStringList result;
        for (const auto& call : probe.calls())
            result << call.server + QLatin1Char('/') + call.domain;
        return result;
    }
};

const QString kS1 = QStringLiteral("192.0.2.1 - one");
const QString kS2 = QStringLiteral("192.0.2.2 - two");

} // namespace

class TestEngine final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Whole runs
    void oneServerOneDomain();
    void twoServersTwoDomains();
    void silentServerShowsDotsThenTenSeconds();
    void failedLookupDoesNotStopTheRun_data();
    void failedLookupDoesNotStopTheRun();
    void refusesSecondRunAndEmptyLists();
    void nobodyAnsweredNoWinner();
    void roundsRotateAndSplitColdFromWarm();

    // Winners and marks
    void meanWinner_data();
    void meanWinner();
    void localResolverRow_data();
    void localResolverRow();
    void secondRunSortsInAndMarksEarlierRows_data();
    void secondRunSortsInAndMarksEarlierRows();

    // Pause, skip and the status reset
    void skipDuringThirdOfFiveDomains();
    void stopAfterTheLookupUnderWay_data();
    void stopAfterTheLookupUnderWay();
    void pauseThenResume();
    void pauseClickedInsideTheYield();
    void leftoverRequestsAreCleared();
    void readyResetStopsAndRestarts();
};

// ---- Whole runs ----------------------------------------------------------------------------

void TestEngine::oneServerOneDomain() {
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.0478));
    const QString text = rig.run({kS1}, {"example.com"});

    QCOMPARE(text, QStringLiteral("Completed!\r\n\r\nFastest server was:\r\n") + kS1);
    QCOMPARE(rig.probe.calls().size(), 1);
    QCOMPARE(rig.probe.calls().first().server, "192.0.2.1");
    QCOMPARE(rig.probe.calls().first().recordType, quint16(15));
    QCOMPARE(rig.lookupRow(0), (QStringList{"example.com", kS1, "47 ms", "00000047"}));
    QCOMPARE(rig.summaryRow(0), (QStringList{kS1, "47 ms", "00000047", "47 ms", "00000047"}));
    QCOMPARE(rig.marks(0), (QList<int>{kWinner, kWinner, kNone, kWinner, kNone}));

    const QStringList expected{
        "pause: Pause 1",
        "skip: 1",
        "status: Adding domains to list...",
        "progressText: 0% complete",
        "server: 0",
        "status: Getting ready to connect to DNS Server " + kS1,
        "lDNS: " + kS1,
        "domain: 0",
        "row: 0",
        "status: Querying " + kS1 + " for MX record of example.com",
        "finished: 0",
        "progress: 0.00% complete|0|150,155,255",
        "counts",
        "measured: 0 " + kS1 + " example.com 0",
        "status: Calculating average response time...",
        "fastest: " + kS1,
        "summary: 0",
        "resort",
        "progressText: ",
        "progress: 100% complete|100|150,255,255",
        "status: Completed! - Fastest DNS Server was: " + kS1,
        "done: " + text,
    };
    QCOMPARE(rig.log, expected);
    QVERIFY(!rig.engine.isRunning());
    QCOMPARE(rig.engine.currentRow(), -1);
    QVERIFY(rig.reset.isActive());
    QCOMPARE(rig.reset.readyStep(), 0);
}

void TestEngine::twoServersTwoDomains() {
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.015625));
    const QString text = rig.run({kS1, "ns.example"}, {"a.test", "b.test"}, "A 1");
    QVERIFY(text.startsWith("Completed!"));

    // Servers outer, domains inner, both in list order; labels never reach the probe.
    QCOMPARE(rig.calls(), (QStringList{"192.0.2.1/a.test", "192.0.2.1/b.test", "ns.example/a.test",
                                       "ns.example/b.test"}));
    QCOMPARE(rig.probe.calls().last().recordType, quint16(1));
    QCOMPARE(rig.only({"progress"}),
             (QStringList{"progressText: 0% complete", "progress: 0.00% complete|0|150,155,255",
                          "progress: 25.00% complete|25|150,180,230",
                          "progress: 50.00% complete|50|150,205,205",
                          "progress: 75.00% complete|75|150,230,180",
                          "progressText: ", "progress: 100% complete|100|150,255,255"}));
    QCOMPARE(rig.only({"server:", "domain:"}),
             (QStringList{"server: 0", "domain: 0", "domain: 1", "server: 1", "domain: 0",
                          "domain: 1"}));
    QCOMPARE(rig.only({"status: Querying"}),
             (QStringList{"status: Querying " + kS1 + " for A record of a.test",
                          "status: Querying " + kS1 + " for A record of b.test",
                          "status: Querying ns.example for A record of a.test",
                          "status: Querying ns.example for A record of b.test"}));
    QCOMPARE(rig.lookupRow(3), (QStringList{"b.test", "ns.example", "15 ms", "00000015"}));
    QCOMPARE(rig.only({"summary:", "resort"}),
             (QStringList{"summary: 0", "resort", "summary: 1", "resort"}));
}

void TestEngine::silentServerShowsDotsThenTenSeconds() {
    Rig rig;
    rig.engine.setDotInterval(1);
    rig.probe.setHolding(true);
    rig.probe.setDefaultReply(Reply::timedOut());
    rig.probe.setReply("192.0.2.1", "b.test", Reply::answered(0.0));
    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    QCOMPARE(rig.start({kS1}, {"a.test", "b.test"}), QString());

    // The row under test fills with dots up to 25, then takes the timeout.
    QTRY_VERIFY(rig.probe.isWaiting());
    QCOMPARE(rig.engine.currentRow(), 0);
    QTRY_COMPARE(rig.lookupRow(0).at(2), QString(25, QLatin1Char('.')));
    QVERIFY(rig.probe.release());
    QTRY_COMPARE(rig.lookups.rowCount(), 2);
    QCOMPARE(rig.lookupRow(0), (QStringList{"a.test", kS1, "10000 ms", "00010000"}));

    // The next row gets its own dots; the finished one keeps its time.
    QTRY_VERIFY(rig.lookupRow(1).at(2).startsWith(QLatin1Char('.')));
    QCOMPARE(rig.lookupRow(1).at(3), QStringLiteral("."));
    QCOMPARE(rig.lookupRow(0).at(2), QStringLiteral("10000 ms"));
    QVERIFY(rig.probe.release());
    QVERIFY(done.wait(10000));
    QCOMPARE(rig.lookupRow(1).at(2), QStringLiteral("0 ms"));
    QCOMPARE(rig.summaryRow(0), (QStringList{kS1, "5000 ms", "00005000", "5000 ms", "00005000"}));
}

void TestEngine::failedLookupDoesNotStopTheRun_data() {
    QTest::addColumn<int>("outcome");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<int>("rcode"); // of a reply; -1 for a lookup without one
    QTest::newRow("query not built")
        << int(ProbeOutcome::QueryNotBuilt) << 0.0 << "Name cannot be encoded" << -1;
    // A socket error ends the wait at once; it must not pass for a fast answer.
    QTest::newRow("socket error") << int(ProbeOutcome::SocketError) << 0.001 << "Connection refused"
                                  << -1;
    QTest::newRow("no error text") << int(ProbeOutcome::SocketError) << 0.001 << "" << -1;
    // Nor must a quick refusal: the server resolved nothing.
    QTest::newRow("REFUSED") << int(ProbeOutcome::Answered) << 0.001 << "refused by server" << 5;
    QTest::newRow("SERVFAIL") << int(ProbeOutcome::Answered) << 0.001 << "server failure" << 2;
}

void TestEngine::failedLookupDoesNotStopTheRun() {
    QFETCH(int, outcome);
    QFETCH(double, seconds);
    QFETCH(QString, errorText);
    QFETCH(int, rcode);
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.015625));
    rig.probe.setReply("192.0.2.1", "bad.test",
                       rcode >= 0 ? Reply::replied(rcode, seconds)
                                  : Reply::failed(ProbeOutcome(outcome), seconds, errorText));
    rig.probe.setReply("192.0.2.1", "c.test", Reply::answered(0.03125));

    QVERIFY(rig.run({kS1}, {"a.test", "bad.test", "c.test"}).startsWith("Completed!"));
    QCOMPARE(rig.probe.calls().size(), 3);
    const QStringList failed = rig.lookupRow(1);
    if (errorText.isEmpty())
        QVERIFY(!failed.at(2).isEmpty() && !failed.at(2).endsWith(" ms"));
    else
        QCOMPARE(failed.at(2), errorText);
    QCOMPARE(failed.at(3), QStringLiteral("00010000"));
    QCOMPARE(rig.lookupRow(2).at(2), QStringLiteral("31 ms"));
    // Counted as a timeout: (15.625 + 10000 + 31.25) / 3 ms; median of 15, 10000, 31.
    QCOMPARE(rig.summaryRow(0), (QStringList{kS1, "3348 ms", "00003348", "31 ms", "00000031"}));
    // Callers still learn what really happened.
    QCOMPARE(rig.only({"measured: 1"}),
             QStringList{"measured: 1 " + kS1 + " bad.test " + QString::number(outcome)});
}

void TestEngine::refusesSecondRunAndEmptyLists() {
    Rig rig;
    QCOMPARE(rig.start({}, {"a.test"}), QStringLiteral("not started"));
    QCOMPARE(rig.start({kS1}, {}), QStringLiteral("not started"));
    QVERIFY(rig.log.isEmpty());

    rig.engine.cmdPause_Click(); // idle: the buttons are disabled, nothing happens
    rig.engine.cmdSkip_Click();
    rig.engine.stop();
    QCOMPARE(rig.engine.pauseFlag(), 0);
    QVERIFY(!rig.engine.skipFlag());
    QVERIFY(!rig.engine.wasStopped());
    QVERIFY(rig.log.isEmpty());

    rig.probe.setHolding(true);
    QCOMPARE(rig.start({kS1}, {"a.test"}), QString());
    QVERIFY(rig.engine.isRunning());
    QCOMPARE(rig.start({kS2}, {"b.test"}), QStringLiteral("not started"));
    QTRY_VERIFY(rig.probe.isWaiting());
    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    rig.probe.release();
    QVERIFY(done.wait(10000));
    QCOMPARE(rig.calls(), QStringList{"192.0.2.1/a.test"});
}

// ---- Winners and marks ---------------------------------------------------------------------

void TestEngine::nobodyAnsweredNoWinner() {
    Rig rig;
    rig.probe.setDefaultReply(Reply::timedOut());
    rig.probe.setReply("192.0.2.2", "a.test", Reply::replied(5, 0.001));
    const QString text = rig.run({kS1, kS2}, {"a.test"});

    QCOMPARE(text, QStringLiteral("No DNS server answered."));
    QCOMPARE(rig.log.at(rig.log.size() - 2), QStringLiteral("status: No DNS server answered."));
    QCOMPARE(rig.only({"fastest"}), (QStringList{"fastest: ", "fastest: "}));
    for (int row = 0; row < 2; ++row)
        QVERIFY(!rig.marks(row).contains(kWinner));
}

void TestEngine::roundsRotateAndSplitColdFromWarm() {
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.015625));
    rig.probe.setReply("192.0.2.3", "b.test", Reply::replied(0, 0.03125, true));
    const QString servers[] = {kS1, kS2, "192.0.2.3"};
    QVERIFY(rig.run({servers[0], servers[1], servers[2]}, {"a.test", "b.test"}, "MX 15", 3)
                .startsWith("Completed!"));

    // Each round starts one server further down; a server's row waits for its last round.
    QStringList order;
    for (qsizetype i = 0; i < rig.probe.calls().size(); i += 2)
        order << rig.probe.calls().at(i).server.right(1);
    QCOMPARE(order.join(""), QStringLiteral("123231312"));
    QCOMPARE(rig.lookups.rowCount(), 18);
    QCOMPARE(rig.only({"summary:"}), (QStringList{"summary: 0", "summary: 1", "summary: 2"}));
    // The last lookup done is the 18th of 18: 17 / 18 before it counts.
    QVERIFY(rig.only({"progress: 9"}).constLast().startsWith("progress: 94.44% complete|"));
    QCOMPARE(rig.summary.summaryAt(0).serverEntry, servers[2]);
    for (int server = 0; server < 3; ++server) {
        const ServerFigures figures = rig.engine.figures().server(server);
        QCOMPARE(figures.cold.lookups, 2);
        QCOMPARE(figures.warm.lookups, 4);
    }
    // A truncated reply is an answer with its time, and its row says so on hover.
    QCOMPARE(rig.lookupRow(5).at(2), QStringLiteral("31 ms"));
    QVERIFY(!rig.lookups.index(5, 2).data(Qt::ToolTipRole).toString().isEmpty());
    QVERIFY(rig.lookups.index(4, 2).data(Qt::ToolTipRole).toString().isEmpty());
}

void TestEngine::meanWinner_data() {
    QTest::addColumn<QList<double>>("first"); // one time per domain
    QTest::addColumn<QList<double>>("second");
    QTest::addColumn<QString>("winners"); // the last line of the completion text
    // The marks of each row's server, mean and median cells.
    QTest::addColumn<QList<int>>("firstMarks");
    QTest::addColumn<QList<int>>("secondMarks");
    const QList<int> all{kWinner, kWinner, kWinner};
    QTest::newRow("equal means: the first keeps the title")
        << QList<double>{0.03125} << QList<double>{0.03125} << kS1 << all << all;
    // 31.75 against 31.25 ms: the later mean is lower, but the medians (31 ms each) tie
    // and the earlier server keeps that title.
    QTest::newRow("later mean lower, same whole ms: both marked")
        << QList<double>{0.03175} << QList<double>{0.03125} << kS2 + " / " + kS1 << all << all;
    QTest::newRow("different whole ms: one marked")
        << QList<double>{0.03125} << QList<double>{0.046875} << kS1 << all
        << QList<int>{kNone, kNone, kNone};
    // The first: 7.8125, 7.8125, 125 ms -> mean 46.875, median 7; the second 31.25 ms each.
    QTest::newRow("mean and median winners differ")
        << QList<double>{0.0078125, 0.0078125, 0.125} << QList<double>{0.03125, 0.03125, 0.03125}
        << kS2 + " / " + kS1 << QList<int>{kWinner, kNone, kWinner}
        << QList<int>{kWinner, kWinner, kNone};
}

void TestEngine::meanWinner() {
    QFETCH(QList<double>, first);
    QFETCH(QList<double>, second);
    QFETCH(QString, winners);
    QFETCH(QList<int>, firstMarks);
    QFETCH(QList<int>, secondMarks);
    Rig rig;
    QStringList domains;
    for (int i = 0; i < first.size(); ++i) {
        domains << QStringLiteral("d%1.test").arg(i);
        rig.probe.setReply("192.0.2.1", domains.last(), Reply::answered(first.at(i)));
        rig.probe.setReply("192.0.2.2", domains.last(), Reply::answered(second.at(i)));
    }

    const bool two = winners.contains(QLatin1String(" / "));
    QCOMPARE(rig.run({kS1, kS2}, domains),
             two ? "Completed!\r\n\r\nFastest servers were:\r\n" + winners +
                       "\r\n(mean average/median average)"
                 : "Completed!\r\n\r\nFastest server was:\r\n" + winners);
    QCOMPARE(rig.only({"status: Completed"}).last(),
             (two ? "status: Completed! - Fastest DNS Servers were: "
                  : "status: Completed! - Fastest DNS Server was: ") +
                 winners);
    QCOMPARE(rig.only({"fastest"}).last(), "fastest: " + winners.section(" / ", 0, 0));
    const QList<QList<int>> expected{firstMarks, secondMarks};
    for (int row = 0; row < 2; ++row) {
        const QList<int> marks = rig.marks(row);
        QCOMPARE((QList<int>{marks.at(SummaryTableModel::DnsServer),
                             marks.at(SummaryTableModel::MeanResponse),
                             marks.at(SummaryTableModel::MedianResponse)}),
                 expected.at(row));
    }
}

void TestEngine::localResolverRow_data() {
    QTest::addColumn<QString>("local");
    QTest::addColumn<double>("localSeconds");
    QTest::addColumn<QList<int>>("rowMarks"); // local entry, other, leading-blank entry
    QTest::newRow("slower local resolver is red")
        << "192.0.2.1" << 0.0625 << QList<int>{kLocal, kWinner, kNone};
    QTest::newRow("winning local resolver turns blue")
        << "192.0.2.1" << 0.015625 << QList<int>{kWinner, kNone, kNone};
    QTest::newRow("no local resolver marks nothing red")
        << "" << 0.0625 << QList<int>{kNone, kWinner, kNone};
    QTest::newRow("address compared exactly")
        << "192.0.2.10" << 0.0625 << QList<int>{kNone, kWinner, kNone};
}

void TestEngine::localResolverRow() {
    QFETCH(QString, local);
    QFETCH(double, localSeconds);
    QFETCH(QList<int>, rowMarks);
    Rig rig;
    int asked = 0;
    rig.engine.setLocalResolverSource([&asked, local] {
        ++asked;
        return local;
    });
    rig.probe.setDefaultReply(Reply::answered(0.0625));
    rig.probe.setReply("192.0.2.1", "a.test", Reply::answered(localSeconds));
    rig.probe.setReply("192.0.2.2", "a.test", Reply::answered(0.03125));

    QVERIFY(rig.run({"192.0.2.1 - local", "192.0.2.2", " 192.0.2.3"}, {"a.test"})
                .startsWith("Completed!"));
    QCOMPARE(rig.calls().last(), QStringLiteral("/a.test")); // a leading blank: empty address
    QCOMPARE(asked, 1);                                      // one answer for the whole run
    for (int row = 0; row < 3; ++row)
        QCOMPARE(rig.marks(row).at(SummaryTableModel::DnsServer), rowMarks.at(row));
}

void TestEngine::secondRunSortsInAndMarksEarlierRows_data() {
    QTest::addColumn<bool>("clickBetweenRuns");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("ascending") << false << QStringList{"A", "B", "D", "C"};
    // A click on "Mean Response" turns the summary descending for later runs as well.
    QTest::newRow("descending after a click") << true << QStringList{"C", "B", "D", "A"};
}

void TestEngine::secondRunSortsInAndMarksEarlierRows() {
    QFETCH(bool, clickBetweenRuns);
    QFETCH(QStringList, order);
    Rig rig;
    rig.probe.setReply("A", "a.test", Reply::answered(0.03125));    // 31 ms
    rig.probe.setReply("B", "a.test", Reply::answered(0.05078125)); // 50 ms
    rig.probe.setReply("C", "a.test", Reply::answered(0.0625));     // 62 ms
    rig.probe.setReply("D", "a.test", Reply::answered(0.05));       // 50 ms

    QVERIFY(rig.run({"A", "B"}, {"a.test"}).endsWith("\r\nA"));
    QCOMPARE(rig.marks(1).at(0), kNone);
    if (clickBetweenRuns)
        rig.summaryProxy.columnClicked(SummaryTableModel::MeanResponse);

    QVERIFY(rig.run({"C", "D"}, {"a.test"}).endsWith("\r\nD"));
    QCOMPARE(rig.proxyColumn(rig.summaryProxy, 0), order);
    // D's 50 ms also marks B from the first run; A keeps its mark.
    QCOMPARE(rig.marks(0).at(0), kWinner);
    QCOMPARE(rig.marks(1), (QList<int>{kWinner, kWinner, kNone, kWinner, kNone}));
    QCOMPARE(rig.marks(2).at(0), kNone);
    QCOMPARE(rig.marks(3).at(0), kWinner);
    // The lookup list keeps every row of both runs in run order.
    QCOMPARE(rig.proxyColumn(rig.lookupsProxy, 1), (QStringList{"A", "B", "C", "D"}));
}

// ---- Pause, skip and the status reset --------------------------------------------------------

void TestEngine::skipDuringThirdOfFiveDomains() {
    Rig rig;
    const QStringList domains{"d1.test", "d2.test", "d3.test", "d4.test", "d5.test"};
    rig.probe.setDefaultReply(Reply::answered(0.001));
    rig.probe.setReply("192.0.2.1", "d1.test", Reply::answered(0.015625));
    rig.probe.setReply("192.0.2.1", "d2.test", Reply::answered(0.03125));
    rig.probe.setReply("192.0.2.1", "d3.test", Reply::answered(0.0625));
    QObject::connect(&rig.probe, &ScriptedProbe::started,
                     [&rig](const QString& server, const QString& domain) {
                         if (server == "192.0.2.1" && domain == "d3.test")
                             rig.engine.cmdSkip_Click();
                     });

    QVERIFY(rig.run({kS1, kS2}, domains).startsWith("Completed!"));
    QCOMPARE(rig.calls(),
             (QStringList{"192.0.2.1/d1.test", "192.0.2.1/d2.test", "192.0.2.1/d3.test",
                          "192.0.2.2/d1.test", "192.0.2.2/d2.test", "192.0.2.2/d3.test",
                          "192.0.2.2/d4.test", "192.0.2.2/d5.test"}));
    // Three lookups: (15.625 + 31.25 + 62.5) / 3 = 36.46 ms, median 31 ms.
    QCOMPARE(rig.summaryRow(0), (QStringList{kS1, "36 ms", "00000036", "31 ms", "00000031"}));
    // The third lookup completes and is recorded before the skip takes effect.
    QCOMPARE(rig.only({"skip", "measured: 2", "status: Calc"}),
             (QStringList{"skip: 1", "skip: 0", "measured: 2 " + kS1 + " d3.test 0", "skip: 1",
                          "status: Calculating average response time...",
                          "status: Calculating average response time..."}));
    QVERIFY(!rig.engine.skipFlag());
    // Progress counts positions in the full grid: the next server starts at 50%.
    QCOMPARE(rig.only({"progress: 50.00"}).size(), 1);
    QCOMPARE(rig.only({"progress: "}).at(3),
             QStringLiteral("progress: 50.00% complete|50|150,205,205"));
}

void TestEngine::stopAfterTheLookupUnderWay_data() {
    QTest::addColumn<QString>("stopAt"); // the lookup at whose start stop() comes
    QTest::addColumn<bool>("paused");    // Pause first, stop() once the run waits
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("summarised");

    const QStringList s1{"192.0.2.1/a.test", "192.0.2.1/b.test", "192.0.2.1/c.test"};
    QTest::newRow("mid-server") << "192.0.2.1/b.test" << false << s1.mid(0, 2) << QStringList{kS1};
    QTest::newRow("paused") << "192.0.2.1/a.test" << true << s1.mid(0, 1) << QStringList{kS1};
    QTest::newRow("last lookup of a server: the next never starts")
        << "192.0.2.1/c.test" << false << s1 << QStringList{kS1};
    QTest::newRow("second server")
        << "192.0.2.2/a.test" << false << (s1 + QStringList{"192.0.2.2/a.test"})
        << QStringList{kS1, kS2};
}

void TestEngine::stopAfterTheLookupUnderWay() {
    QFETCH(QString, stopAt);
    QFETCH(bool, paused);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, summarised);
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.015625));
    rig.probe.setReply("192.0.2.2", "a.test", Reply::answered(0.001));
    QObject::connect(&rig.probe, &ScriptedProbe::started,
                     [&](const QString& server, const QString& domain) {
                         if (server + '/' + domain != stopAt)
                             return;
                         if (paused)
                             rig.engine.cmdPause_Click();
                         else
                             rig.engine.stop();
                     });
    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    QCOMPARE(rig.start({kS1, kS2}, {"a.test", "b.test", "c.test"}), QString());
    if (paused) {
        QTRY_VERIFY(rig.log.contains("status: Paused!"));
        rig.engine.stop();
    }
    QVERIFY(done.wait(10000));

    QCOMPARE(rig.calls(), calls);
    QVERIFY(rig.engine.wasStopped());
    QVERIFY(!rig.engine.isRunning());
    QCOMPARE(rig.proxyColumn(rig.summaryProxy, 0).size(), summarised.size());
    // Every finished lookup has its time and the summary counts exactly those.
    QCOMPARE(rig.lookups.rowCount(), calls.size());
    const QString fastest = summarised.last();
    QCOMPARE(rig.proxyColumn(rig.summaryProxy, 0).first(), fastest);
    QCOMPARE(rig.marks(summarised.size() - 1).first(), kWinner);
    QCOMPARE(done.first().first().toString(),
             QStringLiteral("Completed!\r\n\r\nFastest server was:\r\n") + fastest);
    QCOMPARE(rig.only({"status: "}).last(), QStringLiteral("status: Stopped."));

    // The next run starts afresh.
    QVERIFY(rig.run({kS1}, {"a.test"}).startsWith("Completed!"));
    QVERIFY(!rig.engine.wasStopped());
    QVERIFY(rig.only({"status: "}).last().startsWith("status: Completed!"));
}

void TestEngine::pauseThenResume() {
    Rig rig;
    rig.probe.setDefaultReply(Reply::answered(0.015625));
    QObject::connect(&rig.probe, &ScriptedProbe::started,
                     [&rig](const QString&, const QString& domain) {
                         if (domain == "a.test")
                             rig.engine.cmdPause_Click();
                     });
    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    QCOMPARE(rig.start({kS1}, {"a.test", "b.test", "c.test"}), QString());

    QTRY_VERIFY(rig.log.contains("status: Paused!"));
    for (int spin = 0; spin < 20; ++spin)
        QCoreApplication::processEvents();
    // Paused before the second lookup, with nothing left to run until Resume.
    QCOMPARE(rig.probe.calls().size(), 1);
    QVERIFY(rig.engine.isRunning());
    QCOMPARE(rig.engine.pauseFlag(), 1);
    // A stray finish while paused is not taken for a lookup.
    Q_EMIT rig.probe.finished(ProbeResult{});
    QCOMPARE(rig.lookups.rowCount(), 1);
    QCOMPARE(rig.lookupRow(0).at(2), QStringLiteral("15 ms"));

    rig.engine.cmdPause_Click(); // Resume
    QCOMPARE(rig.engine.pauseFlag(), 0);
    QVERIFY(done.wait(10000));
    QCOMPARE(rig.probe.calls().size(), 3);
    QCOMPARE(rig.only({"pause", "status", "measured", "row"}).mid(0, 13),
             (QStringList{"pause: Pause 1", "status: Adding domains to list...",
                          "status: Getting ready to connect to DNS Server " + kS1, "row: 0",
                          "status: Querying " + kS1 + " for MX record of a.test", "pause: Pause 0",
                          "status: Finishing current lookup before pausing...",
                          "measured: 0 " + kS1 + " a.test 0", "pause: Resume 1", "status: Paused!",
                          "pause: Pause 1", "row: 1",
                          "status: Querying " + kS1 + " for MX record of b.test"}));
    QCOMPARE(rig.only({"pause"}).size(), 4);
}

void TestEngine::pauseClickedInsideTheYield() {
    // A click that lands after the check but before the lookup starts still reaches the
    // Paused state with Resume enabled, instead of waiting behind a disabled button.
    Rig rig;
    QObject::connect(
        &rig.engine, &BenchmarkEngine::serverUnderTestChanged, [&rig](const QString& entry) {
            if (entry == kS2)
                QMetaObject::invokeMethod(
                    &rig.engine, [&rig] { rig.engine.cmdPause_Click(); }, Qt::QueuedConnection);
        });
    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    QCOMPARE(rig.start({kS1, kS2}, {"a.test"}), QString());

    QTRY_VERIFY(rig.log.contains("status: Paused!"));
    QCOMPARE(rig.probe.calls().size(), 1);
    QCOMPARE(rig.only({"pause"}).last(), QStringLiteral("pause: Resume 1"));
    rig.engine.cmdPause_Click();
    QVERIFY(done.wait(10000));
    QCOMPARE(rig.probe.calls().size(), 2);
}

void TestEngine::leftoverRequestsAreCleared() {
    Rig rig;
    // Pause and Skip pressed while the run is already marking its winners.
    const auto hook = QObject::connect(&rig.engine, &BenchmarkEngine::progressChanged,
                                       [&rig](const QString& text) {
                                           if (text == QLatin1String("100% complete")) {
                                               rig.engine.cmdPause_Click();
                                               rig.engine.cmdSkip_Click();
                                           }
                                       });
    QVERIFY(rig.run({kS1}, {"a.test"}).startsWith("Completed!"));
    QCOMPARE(rig.engine.pauseFlag(), 1);
    QVERIFY(rig.engine.skipFlag());
    QObject::disconnect(hook);

    rig.log.clear();
    QVERIFY(rig.run({kS2}, {"a.test", "b.test"}).startsWith("Completed!"));
    QCOMPARE(rig.calls().mid(1), (QStringList{"192.0.2.2/a.test", "192.0.2.2/b.test"}));
    QVERIFY(!rig.log.contains("status: Paused!"));
    QCOMPARE(rig.engine.pauseFlag(), 0);
    QVERIFY(!rig.engine.skipFlag());
}

void TestEngine::readyResetStopsAndRestarts() {
    Rig rig;
    rig.reset.restart(); // as at window start
    for (int tick = 0; tick < 30; ++tick)
        rig.reset.tick();
    rig.probe.setHolding(true);
    QCOMPARE(rig.start({kS1}, {"a.test"}), QString());
    QVERIFY(!rig.reset.isActive());
    QCOMPARE(rig.reset.readyStep(), 30);

    QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
    QTRY_VERIFY(rig.probe.isWaiting());
    rig.probe.release();
    QVERIFY(done.wait(10000));
    QVERIFY(rig.reset.isActive());
    QCOMPARE(rig.reset.readyStep(), 0);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
