// The JSON result of a run.

#include "core/results/runreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tarnbell::core;

namespace {

LookupRecord answered(double seconds, int server = 0, int rcode = -1, int round = 0) {
    ProbeResult result;
    result.outcome = ProbeOutcome::Answered;
    result.seconds = seconds;
    result.rcode = rcode;
    return lookupRecord("s", "d.example", result, server, round);
}

LookupRecord timedOut(int server = 0) {
    return lookupRecord("s", "d.example", ProbeResult{}, server);
}

} // namespace

class TestRunReport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void jsonKeepsFullPrecision();
};

// Read back from text, as a reader of the file gets it.
void TestRunReport::jsonKeepsFullPrecision() {
    QList<LookupRecord> lookups{answered(0.0123456789012345, 0, 0), timedOut(1),
                                answered(0.001, 1, 5)};
    // The second server opened a connection for each of its lookups.
    lookups[1].newConnection = lookups[2].newConnection = true;
    lookups[1].connectSeconds = 0.002;
    lookups[2].connectSeconds = 0.004;
    RunFigures run;
    run.start({"s", "10.0.0.9"}, "10.0.0.9");
    for (const LookupRecord& lookup : lookups)
        run.add(lookup);
    const QByteArray text =
        QJsonDocument(runReportJson("MX", run.lookups(), run.servers())).toJson();
    const QJsonObject json = QJsonDocument::fromJson(text).object();
    QCOMPARE(json["lookups"][0]["seconds"].toDouble(), 0.0123456789012345);
    QCOMPARE(json["lookups"][0]["rcode"].toInt(-1), 0); // NOERROR is a code as well
    QCOMPARE(json["lookups"][1]["timed_out"].toBool(), true);
    // A refusal is no answer: it says so, keeps its code and counts ten seconds.
    QCOMPARE(json["lookups"][2]["outcome"].toString(), QString("error_reply"));
    QCOMPARE(json["lookups"][2]["rcode"].toInt(), 5);
    QCOMPARE(json["lookups"][2]["error"].toString(), QString("refused by server"));
    QCOMPARE(json["lookups"][2]["seconds"].toDouble(), 10.0);
    QCOMPARE(json["servers"][0]["mean_ms"].toDouble(), 0.0123456789012345 * 1000.0);
    QCOMPARE(json["servers"][1]["is_local"].toBool(), true);
    QCOMPARE(json["servers"][1]["timeouts"].toInt(), 1);
    QCOMPARE(json["servers"][1]["errors"].toInt(), 1);
    QCOMPARE(json["servers"][1]["connections"].toInt(), 2);
    QCOMPARE(json["servers"][1]["connect_ms"].toDouble(), 3.0); // the mean set-up
    QVERIFY(!json["servers"][0].toObject().contains("connect_ms"));
    QCOMPARE(json["fastest"]["by_median"].toString(), QString("s"));
    QCOMPARE(json["tied_with_fastest"].toArray(), QJsonArray{"s"});
    QVERIFY(!json["servers"][0].toObject().contains("repeat")); // one round: no first or repeat

    // Nobody answered: no fastest server at all.
    run.start({"s"}, QString());
    run.add(timedOut());
    const QJsonObject none = runReportJson("MX", run.lookups(), run.servers());
    QVERIFY(none["fastest"]["by_mean"].isNull() && none["fastest"]["by_median"].isNull());
    QVERIFY(none["tied_with_fastest"].toArray().isEmpty());
}

QTEST_GUILESS_MAIN(TestRunReport)
#include "tst_runreport.moc"
