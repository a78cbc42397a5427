// The per-server figures beyond the summary list, the fastest servers, and the JSON result.

#include "core/benchmarkengine.h"
#include "core/resultmodels.h"
#include "core/runreport.h"
#include "core/statistics.h"
#include "fixtures/scriptedprobe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;

namespace {

LookupRecord answered(double seconds) {
    return lookupRecord("s", "d.example", {ProbeOutcome::Answered, seconds, {}, {}, {}});
}

LookupRecord timedOut() {
    return lookupRecord("s", "d.example", {ProbeOutcome::TimedOut, 10.0, "10", {}, {}});
}

ServerFigures withMeans(const QString& entry, double meanMs, double medianMs) {
    ServerFigures figures;
    figures.serverEntry = entry;
    figures.meanMs = meanMs;
    figures.medianMs = medianMs;
    return figures;
}

} // namespace

class TestRunReport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void figuresOfOneServer_data();
    void figuresOfOneServer();
    void fastestServers_data();
    void fastestServers();
    void jsonKeepsFullPrecision();
    void recorderFollowsARun();
};

void TestRunReport::figuresOfOneServer_data() {
    QTest::addColumn<QList<LookupRecord>>("lookups");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("stddev");
    QTest::addColumn<int>("timeouts");
    QTest::addColumn<int>("errors");

    QTest::newRow("one lookup") << QList<LookupRecord>{answered(0.0478)} << 47.8 << 47.0 << 47.8
                                << 47.8 << 0.0 << 0 << 0;
    // The median comes from whole milliseconds, as the summary list's: (20 + 35) / 2.
    QTest::newRow("two lookups") << QList<LookupRecord>{answered(0.0204), answered(0.035)} << 27.7
                                 << 27.5 << 20.4 << 35.0 << 7.3 << 0 << 0;
    QTest::newRow("odd count, unsorted")
        << QList<LookupRecord>{answered(0.030), answered(0.010), answered(0.020)} << 20.0 << 20.0
        << 10.0 << 30.0 << 8.16496580927726 << 0 << 0;
    QTest::newRow("a timeout counts 10000 ms")
        << QList<LookupRecord>{answered(0.010), timedOut()} << 5005.0 << 5005.0 << 10.0 << 10000.0
        << 4995.0 << 1 << 0;
    // A lookup that fails outright after 2 ms counts 10 s as well, as an error.
    QTest::newRow("a failure counts 10000 ms")
        << QList<LookupRecord>{lookupRecord(
               "s", "d.example", {ProbeOutcome::HostNotFound, 0.002, " 0.002", {}, "not found"})}
        << 10000.0 << 10000.0 << 10000.0 << 10000.0 << 0.0 << 0 << 1;
}

void TestRunReport::figuresOfOneServer() {
    QFETCH(QList<LookupRecord>, lookups);
    const ServerFigures figures = serverFigures("s", lookups, false);
    QTEST(figures.meanMs, "mean");
    QTEST(figures.medianMs, "median");
    QTEST(figures.minMs, "min");
    QTEST(figures.maxMs, "max");
    QTEST(figures.stddevMs, "stddev");
    QTEST(figures.timeouts, "timeouts");
    QTEST(figures.errors, "errors");
}

void TestRunReport::fastestServers_data() {
    QTest::addColumn<QList<ServerFigures>>("servers");
    QTest::addColumn<QString>("byMean");
    QTest::addColumn<QString>("byMedian");
    QTest::newRow("equal means: the first keeps it")
        << QList<ServerFigures>{withMeans("a", 40.5, 40), withMeans("b", 40.5, 39)} << "a"
        << "b";
    // Medians compare on whole milliseconds: 39.5 and 39 tie.
    QTest::newRow("median tie on whole milliseconds")
        << QList<ServerFigures>{withMeans("a", 50, 39.5), withMeans("b", 45, 39)} << "b"
        << "a";
}

void TestRunReport::fastestServers() {
    QFETCH(QList<ServerFigures>, servers);
    const FastestServers fastest = tarnbell::core::fastestServers(servers);
    QTEST(fastest.byMean, "byMean");
    QTEST(fastest.byMedian, "byMedian");
}

// Read back from text, as a reader of the file gets it.
void TestRunReport::jsonKeepsFullPrecision() {
    const QList<LookupRecord> lookups{answered(0.0123456789012345), timedOut()};
    const QList<ServerFigures> servers{serverFigures("s", {lookups[0]}, false),
                                       serverFigures("s", {lookups[1]}, true)};
    const QByteArray text = QJsonDocument(runReportJson("MX", lookups, servers)).toJson();
    const QJsonObject json = QJsonDocument::fromJson(text).object();
    QCOMPARE(json["lookups"][0]["seconds"].toDouble(), 0.0123456789012345);
    QCOMPARE(json["lookups"][0]["record_type"].toString(), QString("MX"));
    QCOMPARE(json["lookups"][0]["timed_out"].toBool(), false);
    QCOMPARE(json["lookups"][1]["timed_out"].toBool(), true);
    QCOMPARE(json["servers"][0]["mean_ms"].toDouble(), 0.0123456789012345 * 1000.0);
    QCOMPARE(json["servers"][0]["median_ms"].toDouble(), 12.0);
    QCOMPARE(json["servers"][1]["is_local"].toBool(), true);
    QCOMPARE(json["servers"][1]["timeouts"].toInt(), 1);
}

void TestRunReport::recorderFollowsARun() {
    // The same entry twice is two servers; each summary row closes its own lookups.
    using Reply = tarnbell::testing::ScriptedProbe::Reply;
    tarnbell::testing::ScriptedProbe probe;
    probe.setDefaultReply(Reply::answered(0.0204));
    probe.setReply("10.0.0.2", "b.example", Reply::timedOut());
    probe.setReply("10.0.0.2", "c.example",
                   Reply::failed(ProbeOutcome::SocketError, 0.001, "Connection refused"));
    LookupTableModel lookups;
    SummaryTableModel summary;
    BenchmarkEngine engine(&probe, &lookups, &summary);
    engine.setLocalResolverSource([] { return QString("10.0.0.2"); });
    RunRecorder recorder(&engine, &summary);
    QSignalSpy finished(&engine, &BenchmarkEngine::finished);
    QVERIFY(engine.BenchmarkDNS({{"10.0.0.1 - a", "10.0.0.2", "10.0.0.1 - a"},
                                 {"a.example", "b.example", "c.example"},
                                 "MX 15"}));
    QVERIFY(finished.wait(5000));

    QCOMPARE(recorder.lookups().size(), 9);
    QCOMPARE(recorder.lookups().at(5).errorText, QString("Connection refused"));
    const QList<ServerFigures>& servers = recorder.servers();
    QCOMPARE(servers.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const SummaryRow& row = summary.summaryAt(i);
        QCOMPARE(servers[i].serverEntry, row.serverEntry);
        QCOMPARE(servers[i].lookups, 3);
        QCOMPARE(servers[i].isLocal, row.isLocal);
        QCOMPARE(millisecondsText(servers[i].meanMs), row.meanText);
        QCOMPARE(ExtremeRound(servers[i].meanMs), row.meanKey);
        QCOMPARE(ExtremeRound(servers[i].medianMs), row.medianKey);
    }
    QCOMPARE(servers[1].timeouts, 1);
    QCOMPARE(servers[1].errors, 1);
}

QTEST_GUILESS_MAIN(TestRunReport)
#include "tst_runreport.moc"
