// The one source of figures: how a lookup counts, each server's figures against hand-computed
// tables, the median's interval and the tie test on samples with known answers, the fastest
// servers, and the fastest-first table built from them.

#include "core/results/figurestablemodel.h"
#include "core/results/resultmodels.h"
#include "core/results/runreport.h"
#include "core/results/verdict.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace tarnbell::core;

namespace {

LookupRecord answered(double seconds, int round = 0) {
    ProbeResult result;
    result.outcome = ProbeOutcome::Answered;
    result.seconds = seconds;
    return lookupRecord("s", "d.example", result, 0, round);
}

LookupRecord replied(int rcode, double seconds, bool truncated = false) {
    ProbeResult result;
    result.outcome = ProbeOutcome::Answered;
    result.seconds = seconds;
    result.rcode = rcode;
    result.truncated = truncated;
    return lookupRecord("s", "d.example", result);
}

LookupRecord timedOut(int round = 0) {
    return lookupRecord("s", "d.example", ProbeResult{}, 0, round);
}

QList<double> range(int from, int to) {
    QList<double> values;
    for (int v = from; v <= to; ++v)
        values.append(v);
    return values;
}

// `count` lookups around `centreMs` (uniform spread of +-`spreadMs`), from a fixed seed.
QList<LookupRecord> sample(int serverIndex, quint32 seed, double centreMs, double spreadMs,
                           int count) {
    QRandomGenerator random(seed);
    QList<LookupRecord> lookups;
    for (int i = 0; i < count; ++i) {
        LookupRecord record =
            answered((centreMs + (random.generateDouble() * 2.0 - 1.0) * spreadMs) / 1000.0);
        record.serverIndex = serverIndex;
        lookups.append(record);
    }
    return lookups;
}

} // namespace

class TestFigures final : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void figuresOfOneServer_data() {
        QTest::addColumn<QList<LookupRecord>>("lookups");
        // mean, median, CI low, CI high, min, p90, max, stddev
        QTest::addColumn<QList<double>>("times");
        // answered, timed out, failed
        QTest::addColumn<QList<int>>("counts");

        // The median comes from whole milliseconds, as the summary list's: (20 + 35) / 2; its
        // interval from the exact times.
        QTest::newRow("two lookups")
            << QList<LookupRecord>{answered(0.0204), answered(0.035)}
            << QList<double>{27.7, 27.5, 20.4, 35, 20.4, 35, 35, 7.3} << QList<int>{2, 0, 0};
        QTest::newRow("odd count, unsorted")
            << QList<LookupRecord>{answered(0.030), answered(0.010), answered(0.020)}
            << QList<double>{20, 20, 10, 30, 10, 30, 30, 8.16496580927726} << QList<int>{3, 0, 0};
        // Ten lookups of 1..10 ms: the 9th value is the nearest-rank 90th percentile, and
        // P(Binomial(10, 1/2) <= 1) = 11/1024 <= 2.5 % < 56/1024 gives the 2nd and 9th values.
        QList<LookupRecord> ten;
        for (int ms = 10; ms >= 1; --ms)
            ten.append(answered(ms / 1000.0));
        QTest::newRow("ten lookups")
            << ten << QList<double>{5.5, 5.5, 2, 9, 1, 9, 10, 2.8722813232690143}
            << QList<int>{10, 0, 0};
        QTest::newRow("a timeout counts 10000 ms")
            << QList<LookupRecord>{answered(0.010), timedOut()}
            << QList<double>{5005, 5005, 10, 10000, 10, 10000, 10000, 4995} << QList<int>{1, 1, 0};
        // Failures after 2 ms count 10 s as well: an outright failure, and replies that refuse
        // or cannot answer. NXDOMAIN and a truncated reply are answers with their time.
        ProbeResult notFound;
        notFound.outcome = ProbeOutcome::HostNotFound;
        notFound.seconds = 0.002;
        notFound.errorText = "not found";
        QTest::newRow("failures count 10000 ms")
            << QList<LookupRecord>{lookupRecord("s", "d", notFound), replied(5, 0.002),
                                   replied(2, 0.002), replied(4, 0.002), replied(1, 0.002)}
            << QList<double>{10000, 10000, 10000, 10000, 10000, 10000, 10000, 0}
            << QList<int>{0, 0, 5};
        QTest::newRow("NXDOMAIN and TC are answers")
            << QList<LookupRecord>{replied(3, 0.004), replied(0, 0.002, true)}
            << QList<double>{3, 3, 2, 4, 2, 4, 4, 1} << QList<int>{2, 0, 0};
    }

    void figuresOfOneServer() {
        QFETCH(QList<LookupRecord>, lookups);
        QFETCH(QList<double>, times);
        QFETCH(QList<int>, counts);
        const TimeFigures f = serverFigures("s", lookups, false).all;
        const QList<double> got{f.meanMs, f.medianMs, f.medianLowMs, f.medianHighMs,
                                f.minMs,  f.p90Ms,    f.maxMs,       f.stddevMs};
        for (qsizetype i = 0; i < times.size(); ++i)
            QVERIFY2(
                std::abs(got[i] - times[i]) < 1e-9,
                qPrintable(QString("figure %1: %2, expected %3").arg(i).arg(got[i]).arg(times[i])));
        QCOMPARE((QList<int>{f.answered, f.timeouts, f.failures}), counts);
        QCOMPARE(f.lookups, int(lookups.size()));
    }

    void medianInterval_data() {
        QTest::addColumn<QList<double>>("sorted");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        // 1/32 > 2.5 %: five values cannot give a 95 % interval, so it is the whole range.
        QTest::newRow("five values") << range(1, 5) << 1.0 << 5.0;
        // 2^-1000 underflows a double; the interval must still come out right.
        QTest::newRow("1000 values") << range(1, 1000) << 469.0 << 532.0;
        // The textbook ranks for 100 values are the 40th and the 61st.
        QTest::newRow("100 values") << range(1, 100) << 40.0 << 61.0;
    }

    void medianInterval() {
        QFETCH(QList<double>, sorted);
        const Interval interval = tarnbell::core::medianInterval(sorted);
        QTEST(interval.low, "low");
        QTEST(interval.high, "high");
    }

    void mannWhitney_data() {
        QTest::addColumn<QList<double>>("a");
        QTest::addColumn<QList<double>>("b");
        QTest::addColumn<double>("p");
        // U = 0, mean 8, variance 12: z = 7.5 / sqrt(12), p = erfc(z / sqrt(2)).
        QTest::newRow("separated fours") << range(1, 4) << range(5, 8) << 0.03038282197657751;
        // 4 and 4 share ranks 4 and 5: U = 0.5, variance 16 / 12 x (9 - 6 / 56).
        QTest::newRow("a tie across the samples")
            << range(1, 4) << range(4, 7) << 0.042066412206780875;
        QTest::newRow("every value equal")
            << QList<double>(5, 10000.0) << QList<double>(3, 10000.0) << 1.0;
    }

    void mannWhitney() {
        QFETCH(QList<double>, a);
        QFETCH(QList<double>, b);
        QFETCH(double, p);
        QVERIFY(std::abs(mannWhitneyP(a, b) - p) < 1e-12);
        QVERIFY(std::abs(mannWhitneyP(b, a) - p) < 1e-12); // two-sided
    }

    // Servers of 30 lookups each around a centre (ms, +-spread) from fixed seeds; a centre
    // below 0 never answers. The fastest is named at full precision, heads its tie group, and
    // the report says the same; the chances of being the fastest repeat and sum to 1.
    void verdict_data() {
        QTest::addColumn<QList<double>>("centres");
        QTest::addColumn<double>("spread");
        QTest::addColumn<QStringList>("fastest"); // any of these
        QTest::addColumn<QList<bool>>("tied");
        QTest::newRow("0.3 ms after 1.0 ms")
            << QList<double>{1.0, 0.3} << 0.05 << QStringList{"s1"} << QList<bool>{false, true};
        QTest::newRow("0.3 ms before 1.0 ms")
            << QList<double>{0.3, 1.0} << 0.05 << QStringList{"s0"} << QList<bool>{true, false};
        QTest::newRow("10, 6, 5, 5 ms and one dead")
            << QList<double>{10, 6, 5, 5, -1} << 0.5 << QStringList{"s2", "s3"}
            << QList<bool>{false, false, true, true, false};
    }

    void verdict() {
        QFETCH(QList<double>, centres);
        QFETCH(double, spread);
        QFETCH(QStringList, fastest);
        QFETCH(QList<bool>, tied);
        RunFigures run;
        QStringList names;
        for (int i = 0; i < centres.size(); ++i)
            names << QStringLiteral("s%1").arg(i);
        run.start(names, QString());
        for (int i = 0; i < centres.size(); ++i) {
            for (LookupRecord lookup : sample(i, quint32(i + 1), centres[i], spread, 30)) {
                if (centres[i] < 0)
                    lookup = timedOut(), lookup.serverIndex = i;
                run.add(lookup);
            }
        }
        const QList<ServerFigures> servers = run.servers(RunFigures::Chances::Estimate);
        const FastestServers named = tarnbell::core::fastestServers(servers);
        QVERIFY2(fastest.contains(named.byMedian), qPrintable(named.byMedian));
        QList<bool> tiedNow;
        double chances = 0;
        for (const ServerFigures& server : servers) {
            tiedNow.append(server.tiedWithFastest);
            chances += server.fastestChance;
            QVERIFY(server.tiedWithFastest || server.fastestChance < 0.05);
        }
        QCOMPARE(tiedNow, tied);
        QVERIFY(std::abs(chances - 1.0) < 1e-9);
        QCOMPARE(run.servers(RunFigures::Chances::Estimate).at(1).fastestChance,
                 servers.at(1).fastestChance);

        FiguresTableModel table;
        table.setFigures(servers);
        QCOMPARE(table.index(0, FiguresTableModel::Server).data().toString(), named.byMedian);
        const QJsonObject report = runReportJson("A", run.lookups(), servers);
        QCOMPARE(report["fastest"]["by_median"].toString(), named.byMedian);
        QVERIFY(report["tied_with_fastest"].toArray().contains(named.byMedian));
    }

    void tableFastestFirstWithFirstAndRepeat() {
        RunFigures run;
        run.start({"10.0.0.1 - slow", "10.0.0.2 - local", "10.0.0.3 - dead"}, "10.0.0.2");
        const auto add = [&run](int server, LookupRecord record) {
            record.serverIndex = server;
            run.add(record);
        };
        for (int round = 0; round < 3; ++round) {
            add(0, answered(round == 0 ? 0.090 : 0.030, round));
            add(1, answered(round == 0 ? 0.080 : 0.010, round));
        }
        add(2, timedOut()); // skipped after its first lookup
        FiguresTableModel table;
        QAbstractItemModelTester tester(&table,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        table.setFigures(run.servers());
        const auto cell = [&table](int row, int column) {
            return table.index(row, column).data().toString();
        };
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(cell(0, FiguresTableModel::Server), "10.0.0.2 - local");
        QCOMPARE(cell(0, FiguresTableModel::Median), "10.00");
        QCOMPARE(table.index(0, 0).data(MarkRole).toInt(), int(Mark::Winner));

        table.setLookupSet(LookupSet::First);
        QCOMPARE(cell(0, FiguresTableModel::Lookups), "1");
        QCOMPARE(cell(0, FiguresTableModel::Median), "80.00");
        table.setLookupSet(LookupSet::Repeat);
        QCOMPARE(cell(0, FiguresTableModel::Lookups), "2");
        QCOMPARE(cell(1, FiguresTableModel::Mean), "30.00");
        // The dead server was asked once: its repeat set is empty, not zero.
        QCOMPARE(cell(2, FiguresTableModel::Lookups), "0");
        QCOMPARE(cell(2, FiguresTableModel::Mean), QString());
    }
};

QTEST_GUILESS_MAIN(TestFigures)
#include "tst_figures.moc"
