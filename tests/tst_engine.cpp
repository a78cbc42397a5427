// The benchmark run driven end to end by a scripted probe: what it asks, the rows and
// summaries it makes, its winners and marks, and the pause, skip and stop check points.

#include "core/run/benchmarkengine.h"
#include "fixtures/scriptedprobe.h"

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using namespace tarnbell::core;
using tarnbell::testing::ScriptedProbe;
using Reply = ScriptedProbe::Reply;

namespace {

constexpr int kNone = static_cast<int>(Mark::None);
constexpr int kLocal = static_cast<int>(Mark::Local);
constexpr int kWinner = static_cast<int>(Mark::Winner);
const QString kS1 = QStringLiteral("192.0.2.1 - one");
const QString kS2 = QStringLiteral("192.0.2.2 - two");
using Tester = QAbstractItemModelTester;

// The engine with its probe and both lists; whether the run is paused or how it ended, and
// every progress value, are kept.
struct Rig {
    ScriptedProbe probe;
    LookupTableModel lookups;
    SummaryTableModel summary;
    BenchmarkEngine engine{&probe, &lookups, &summary};
    Tester lookupsTester{&lookups, Tester::FailureReportingMode::QtTest};
    Tester summaryTester{&summary, Tester::FailureReportingMode::QtTest};
    QString status;
    QList<double> progress;

    Rig() {
        QObject::connect(&engine, &BenchmarkEngine::pauseStateChanged, [this](PauseState state) {
            if (state == PauseState::Paused)
                status = QStringLiteral("Paused!");
        });
        QObject::connect(&engine, &BenchmarkEngine::lookupMeasured,
                         [this] { progress << engine.percentDone(); });
        QObject::connect(&engine, &BenchmarkEngine::finished, [this] {
            progress << engine.percentDone();
            status = completionStatusText(engine.outcome());
        });
    }

    bool start(const QStringList& servers, const QStringList& domains,
               const QString& type = QStringLiteral("MX 15")) {
        return engine.BenchmarkDNS({servers, domains, type, 1});
    }
    // Runs to the end and returns the completion text.
    QString run(const QStringList& servers, const QStringList& domains,
                const QString& type = QStringLiteral("MX 15")) {
        QSignalSpy done(&engine, &BenchmarkEngine::finished);
        if (!start(servers, domains, type) || !done.wait(10000))
            return QStringLiteral("not finished");
        return completionMessageText(engine.outcome());
    }
    // Runs when the probe starts asking `server` about `domain`.
    void at(const QString& server, const QString& domain, const std::function<void()>& action) {
        QObject::connect(&probe, &ScriptedProbe::started, [=](const QString& s, const QString& d) {
            if (s == server && d == domain)
                action();
        });
    }

    static QStringList row(const QAbstractItemModel& model, int row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        return cells;
    }
    int mark(int row, int column = SummaryTableModel::DnsServer) const {
        return summary.index(row, column).data(MarkRole).toInt();
    }
    QStringList calls() const {
        QStringList result;
        for (const auto& call : probe.calls())
            result << call.server + QLatin1Char('/') + call.domain;
        return result;
    }
};

} // namespace

Q_DECLARE_METATYPE(ScriptedProbe::Reply)

class TestEngine final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void wholeRun() {
        Rig rig;
        rig.probe.setDefaultReply(Reply::answered(0.015625));
        rig.probe.setReply("ns.example", "b.test", Reply::answered(0.0478));
        QVERIFY(!rig.start({}, {"a.test"}) && !rig.start({kS1}, {}));
        rig.at("192.0.2.1", "a.test", [&] {
            QVERIFY(!rig.start({kS2}, {"b.test"})); // one run at a time
        });

        QCOMPARE(rig.run({kS1, "ns.example"}, {"a.test", "b.test"}, "A 1"),
                 "Completed!\r\n\r\nFastest server was:\r\n" + kS1);
        // Servers outer, domains inner, both in list order; labels never reach the probe.
        QCOMPARE(rig.calls(), (QStringList{"192.0.2.1/a.test", "192.0.2.1/b.test",
                                           "ns.example/a.test", "ns.example/b.test"}));
        QCOMPARE(rig.probe.calls().last().recordType, quint16(1));
        QCOMPARE(Rig::row(rig.lookups, 3),
                 (QStringList{"b.test", "ns.example", "47 ms", "1", "1", "00000047"}));
        // (15.625 + 47.8) / 2 ms; the median of 15 and 47 whole ms.
        QCOMPARE(Rig::row(rig.summary, 1),
                 (QStringList{"ns.example", "31 ms", "00000031", "31 ms", "1", "00000031"}));
        QCOMPARE(rig.mark(0), kWinner);
        QCOMPARE(rig.mark(1), kNone);
        QCOMPARE(rig.progress, (QList<double>{0, 25, 50, 75, 100}));
        QVERIFY(!rig.engine.isRunning());
    }

    void failuresCountTenSeconds_data() {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("textShown"); // the row shows the probe's error text
        // A quick failure must not pass for a fast answer, with or without words for it.
        QTest::newRow("socket error")
            << Reply::failed(ProbeOutcome::SocketError, 0.001, "Connection refused") << true;
        QTest::newRow("no error text")
            << Reply::failed(ProbeOutcome::SocketError, 0.001, "") << false;
        QTest::newRow("REFUSED") << Reply::replied(5, 0.001) << false;
    }

    void failuresCountTenSeconds() {
        QFETCH(Reply, reply);
        QFETCH(bool, textShown);
        Rig rig;
        rig.probe.setDefaultReply(Reply::answered(0.015625));
        rig.probe.setReply("192.0.2.1", "bad.test", reply);
        rig.probe.setReply("192.0.2.1", "c.test", Reply::answered(0.03125));
        QSignalSpy measured(&rig.engine, &BenchmarkEngine::lookupMeasured);

        QVERIFY(rig.run({kS1}, {"a.test", "bad.test", "c.test"}).startsWith("Completed!"));
        QCOMPARE(rig.probe.calls().size(), 3);
        const QString shown = Rig::row(rig.lookups, 1).at(2);
        QVERIFY2(!shown.isEmpty() && !shown.endsWith(" ms"), qPrintable(shown));
        // The probe's words, or a reply code's own.
        QCOMPARE(shown, textShown ? reply.errorText
                                  : (reply.rcode >= 0 ? replyCodeText(reply.rcode) : shown));
        QCOMPARE(Rig::row(rig.lookups, 1).at(LookupTableModel::RealResponseTime), "00010000");
        // (15.625 + 10000 + 31.25) / 3 ms; median of 15, 31, 10000.
        QCOMPARE(Rig::row(rig.summary, 0),
                 (QStringList{kS1, "3348 ms", "00003348", "31 ms", "1", "00000031"}));
        // Callers still learn what really happened.
        QCOMPARE(measured.at(1).at(1).value<LookupRecord>().outcome, reply.outcome);
    }

    // One time per domain for each server; 10 is a timeout, -1 a quick REFUSED.
    void winners_data() {
        QTest::addColumn<QList<double>>("first");
        QTest::addColumn<QList<double>>("second");
        QTest::addColumn<QString>("winners"); // mean / median winner, one name when the same
        // The marks of each row's server, mean and median cells.
        QTest::addColumn<QList<int>>("firstMarks");
        QTest::addColumn<QList<int>>("secondMarks");
        const QList<int> all{kWinner, kWinner, kWinner};
        const QList<int> none{kNone, kNone, kNone};
        QTest::newRow("equal times: the first keeps the title")
            << QList<double>{0.03125} << QList<double>{0.03125} << kS1 << all << none;
        // Both show 31 ms, but the later one is faster by half a millisecond: it alone wins.
        QTest::newRow("later faster within the same whole ms")
            << QList<double>{0.03175} << QList<double>{0.03125} << kS2 << none << all;
        QTest::newRow("different whole ms: one marked")
            << QList<double>{0.03125} << QList<double>{0.046875} << kS1 << all << none;
        // The first: 7.8125, 7.8125, 125 ms -> mean 46.875, median 7; the second 31.25 ms each.
        QTest::newRow("mean and median winners differ")
            << QList<double>{0.0078125, 0.0078125, 0.125}
            << QList<double>{0.03125, 0.03125, 0.03125} << kS2 + " / " + kS1
            << QList<int>{kWinner, kNone, kWinner} << QList<int>{kWinner, kWinner, kNone};
        QTest::newRow("nobody answered")
            << QList<double>{10} << QList<double>{-1} << "" << none << none;
    }

    void winners() {
        QFETCH(QList<double>, first);
        QFETCH(QList<double>, second);
        QFETCH(QString, winners);
        QFETCH(QList<int>, firstMarks);
        QFETCH(QList<int>, secondMarks);
        Rig rig;
        QStringList domains;
        const auto reply = [](double s) {
            return s >= 10 ? Reply::timedOut()
                   : s < 0 ? Reply::replied(5, 0.001)
                           : Reply::answered(s);
        };
        for (int i = 0; i < first.size(); ++i) {
            domains << QStringLiteral("d%1.test").arg(i);
            rig.probe.setReply("192.0.2.1", domains.last(), reply(first.at(i)));
            rig.probe.setReply("192.0.2.2", domains.last(), reply(second.at(i)));
        }

        const QString text = rig.run({kS1, kS2}, domains);
        if (winners.isEmpty())
            QCOMPARE(text, QStringLiteral("No DNS server answered."));
        else if (winners.contains(" / "))
            QCOMPARE(text, "Completed!\r\n\r\nFastest servers were:\r\n" + winners +
                               "\r\n(mean average/median average)");
        else
            QCOMPARE(text, "Completed!\r\n\r\nFastest server was:\r\n" + winners);
        QCOMPARE(rig.engine.fastest().byMean, winners.section(" / ", 0, 0));
        for (int row = 0; row < 2; ++row)
            QCOMPARE((QList<int>{rig.mark(row), rig.mark(row, SummaryTableModel::MeanResponse),
                                 rig.mark(row, SummaryTableModel::MedianResponse)}),
                     row == 0 ? firstMarks : secondMarks);
    }

    void localResolverRow_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<double>("localSeconds");
        QTest::addColumn<QList<int>>("rowMarks"); // local entry, other, leading-blank entry
        QTest::newRow("slower local resolver is red")
            << "192.0.2.1" << 0.0625 << QList<int>{kLocal, kWinner, kNone};
        QTest::newRow("winning local resolver turns blue")
            << "192.0.2.1" << 0.015625 << QList<int>{kWinner, kNone, kNone};
        QTest::newRow("address compared exactly")
            << "192.0.2.10" << 0.0625 << QList<int>{kNone, kWinner, kNone};
        QTest::newRow("none known: an empty address is not it")
            << "" << 0.0625 << QList<int>{kNone, kWinner, kNone};
    }

    void localResolverRow() {
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
        QCOMPARE((QList<int>{rig.mark(0), rig.mark(1), rig.mark(2)}), rowMarks);
    }

    void checkPoints_data() {
        QTest::addColumn<QString>("action"); // skip, stop, or pause then stop once paused
        QTest::addColumn<QString>("at");     // the lookup at whose start the click comes
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("summarised");

        const QStringList s1{"192.0.2.1/a.test", "192.0.2.1/b.test", "192.0.2.1/c.test"};
        const QStringList s2{"192.0.2.2/a.test", "192.0.2.2/b.test", "192.0.2.2/c.test"};
        // The lookup under way completes and is counted before the skip takes effect.
        QTest::newRow("skip mid-server") << "skip" << s1[1] << s1.mid(0, 2) + s2 << 2;
        QTest::newRow("skip the last server") << "skip" << s2[0] << s1 + s2.mid(0, 1) << 2;
        QTest::newRow("pause, then stop") << "pause" << s1[0] << s1.mid(0, 1) << 1;
        // The probe had sent the next lookup already: the pause waits for it.
        QTest::newRow("pause, the next lookup out") << "pause+" << s1[0] << s1.mid(0, 2) << 1;
        QTest::newRow("pause before the next server, then stop") << "pause" << s1[2] << s1 << 1;
        QTest::newRow("stop at a server's last lookup: the next never starts")
            << "stop" << s1[2] << s1 << 1;
    }

    void checkPoints() {
        QFETCH(QString, action);
        QFETCH(QString, at);
        QFETCH(QStringList, calls);
        QFETCH(int, summarised);
        Rig rig;
        rig.probe.setDefaultReply(Reply::answered(0.015625));
        const QStringList domains{"a.test", "b.test", "c.test"};
        for (const QString& domain : domains)
            rig.probe.setReply("192.0.2.2", domain, Reply::answered(0.001));
        if (action == "pause+")
            rig.probe.setReply("192.0.2.1", "a.test", Reply::answered(0.015625, true));
        rig.at(at.section('/', 0, 0), at.section('/', 1), [&] {
            if (action == "skip")
                rig.engine.cmdSkip_Click();
            else if (action.startsWith("pause"))
                rig.engine.cmdPause_Click();
            else
                rig.engine.stop();
        });
        QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
        QVERIFY(rig.start({kS1, kS2}, domains));
        if (action.startsWith("pause")) {
            QTRY_COMPARE(rig.status, QStringLiteral("Paused!"));
            rig.engine.stop();
        }
        QVERIFY(done.wait(10000));

        QCOMPARE(rig.calls(), calls);
        QCOMPARE(rig.lookups.rowCount(), calls.size());
        // Each summary holds exactly the lookups made of its server.
        QCOMPARE(rig.summary.rowCount(), summarised);
        for (int server = 0; server < summarised; ++server)
            QCOMPARE(rig.engine.figures().server(server).all.lookups,
                     calls.filter(QStringLiteral("192.0.2.%1/").arg(server + 1)).size());
        // The fastest of what was measured is named and marked.
        const QString fastest = summarised == 2 ? kS2 : kS1;
        QCOMPARE(completionMessageText(rig.engine.outcome()),
                 "Completed!\r\n\r\nFastest server was:\r\n" + fastest);
        QCOMPARE(rig.mark(summarised - 1), kWinner);
        const bool stopped = action != "skip";
        QCOMPARE(rig.engine.wasStopped(), stopped);
        QCOMPARE(rig.status == QStringLiteral("Stopped."), stopped);
        // A stop leaves the progress where the run got to.
        QCOMPARE(rig.progress.last(), stopped ? 100.0 * calls.size() / 6 : 100.0);
        QVERIFY(!rig.engine.skipFlag());
    }

    // A click that lands after the check but before the next lookup starts pauses after
    // that lookup: Paused with Resume enabled, not stuck behind it.
    void pauseAndResume() {
        Rig rig;
        rig.probe.setDefaultReply(Reply::answered(0.015625));
        const auto click = [&rig] { rig.engine.cmdPause_Click(); };
        QObject::connect(&rig.engine, &BenchmarkEngine::serverStarted, [&](int server) {
            if (server == 1)
                QMetaObject::invokeMethod(&rig.engine, click, Qt::QueuedConnection);
        });
        QSignalSpy done(&rig.engine, &BenchmarkEngine::finished);
        QVERIFY(rig.start({kS1, kS2}, {"a.test", "b.test"}));

        QTRY_COMPARE(rig.status, QStringLiteral("Paused!"));
        for (int spin = 0; spin < 20; ++spin)
            QCoreApplication::processEvents();
        QCOMPARE(rig.probe.calls().size(), 2);
        QVERIFY(rig.engine.isRunning());
        // A stray finish while paused is not taken for a lookup.
        Q_EMIT rig.probe.finished(ProbeResult{});
        QCOMPARE(rig.lookups.rowCount(), 2);
        QCOMPARE(Rig::row(rig.lookups, 0).at(2), QStringLiteral("15 ms"));

        click(); // Resume
        QCOMPARE(rig.engine.pauseFlag(), 0);
        QVERIFY(done.wait(10000));
        QCOMPARE(rig.probe.calls().size(), 4);
    }

    void leftoverRequestsAreCleared() {
        Rig rig;
        // Pause and Skip pressed after the last check, as the run summarises its last server.
        const auto hook = QObject::connect(&rig.engine, &BenchmarkEngine::serverSummarised, [&rig] {
            rig.engine.cmdPause_Click();
            rig.engine.cmdSkip_Click();
        });
        QVERIFY(rig.run({kS1}, {"a.test"}).startsWith("Completed!"));
        QObject::disconnect(hook);

        QVERIFY(rig.run({kS2}, {"a.test", "b.test"}).startsWith("Completed!"));
        QCOMPARE(rig.calls().mid(1), (QStringList{"192.0.2.2/a.test", "192.0.2.2/b.test"}));
        QCOMPARE(rig.engine.pauseFlag(), 0);
        QVERIFY(!rig.engine.skipFlag());
        // The second run's rows say so, and only its own winner is marked.
        QCOMPARE(Rig::row(rig.lookups, 2).at(LookupTableModel::Run), "2");
        QCOMPARE(rig.mark(0) * 10 + rig.mark(1), kNone * 10 + kWinner);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
