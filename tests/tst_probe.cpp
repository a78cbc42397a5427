// The timed UDP probe against the in-process fake responder: what ends a wait, what does
// not, the time it reports, and server host names resolved by the responder as the
// configured name server.

#include "core/probe/probe.h"
#include "core/probe/systemhostlookup.h"
#include "fixtures/fakeresponder.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using namespace tarnbell::core;
using tarnbell::testing::FakeResponder;

namespace {
constexpr quint16 kTypeA = 1;
const QString kDomain = QStringLiteral("example.org");
} // namespace

class TestProbe final : public QObject {
    Q_OBJECT

private:
    // A fresh responder and probe for every test function and row.
    std::unique_ptr<FakeResponder> m_responder;
    std::unique_ptr<Probe> m_probe;

    // One lookup of `domain` at `server` (the responder when empty), waited for; fails the
    // test when finished() comes synchronously, more than once, or not at all.
    ProbeResult lookup(const QString& domain = kDomain, const QString& server = QString()) {
        QSignalSpy spy(m_probe.get(), &Probe::finished);
        m_probe->MX_Query_Speed(server.isNull() ? m_responder->serverText() : server, domain,
                                kTypeA);
        [&] {
            QCOMPARE(spy.count(), 0);
            QVERIFY(m_probe->isBusy());
            QVERIFY(spy.wait(15000));
            QCOMPARE(spy.count(), 1);
            QVERIFY(!m_probe->isBusy());
        }();
        return spy.isEmpty() ? ProbeResult{} : spy.at(0).at(0).value<ProbeResult>();
    }

private Q_SLOTS:
    void init() {
        m_responder = std::make_unique<FakeResponder>();
        QVERIFY(m_responder->isListening());
        m_probe = std::make_unique<Probe>();
    }

    // Any reply that repeats the question ends the wait, whatever its RCODE, and never
    // before the responder's delay.
    void answers() {
        m_responder->setDefaultBehaviour({.reply = FakeResponder::Reply::NxDomain, .delay = 50ms});
        const ProbeResult result = lookup(QStringLiteral("Example.ORG"));
        QCOMPARE(result.outcome, ProbeOutcome::Answered);
        QCOMPARE(result.rcode, 3);
        // The upper bound is lax on purpose, as a loaded machine may be slow.
        QVERIFY2(result.seconds >= 0.05 && result.seconds < 5,
                 qPrintable(QString::number(result.seconds)));
        QCOMPARE(m_responder->queryCount(), 1);
    }

    // Silence, or a reply that does not repeat the question, lasts out the timeout, which
    // counts as ten seconds.
    void unansweredWaitTimesOut_data() {
        QTest::addColumn<int>("mutatedByte"); // -1: cut short; -2: no reply at all
        QTest::newRow("silent") << -2;
        QTest::newRow("other name") << 13;
        QTest::newRow("truncated") << -1;
    }
    void unansweredWaitTimesOut() {
        QFETCH(int, mutatedByte);
        const auto craft = [mutatedByte](const QByteArray& q) {
            QByteArray reply = FakeResponder::answer(q);
            if (mutatedByte < 0)
                reply.chop(3);
            else
                reply[mutatedByte] = static_cast<char>(reply[mutatedByte] ^ 0x80);
            return reply;
        };
        m_responder->setDefaultBehaviour({.reply = mutatedByte == -2 ? FakeResponder::Reply::Silent
                                                                     : FakeResponder::Reply::Custom,
                                          .craft = craft});
        m_probe->setTimeout(3, 20ms);
        const ProbeResult result = lookup();
        QCOMPARE(result.outcome, ProbeOutcome::TimedOut);
        QCOMPARE(result.seconds, 10.0);
        QVERIFY(!result.failed());
        QCOMPARE(m_responder->queryCount(), 1);
    }

    // Datagrams that are not this probe's answer are read, dropped, and the wait goes on;
    // an answer with no question section (as servers send with FORMERR) counts only from
    // the queried port.
    void strayDatagramsAreIgnored_data() {
        QTest::addColumn<bool>("otherPortFirst");
        QTest::addColumn<bool>("fromOtherPort");
        QTest::addColumn<bool>("formErr");
        QTest::addColumn<bool>("answered");
        QTest::newRow("only from another port") << false << true << false << false;
        QTest::newRow("another port, then the server") << true << false << false << true;
        QTest::newRow("FORMERR from the server") << false << false << true << true;
        QTest::newRow("FORMERR from another port") << false << true << true << false;
    }
    void strayDatagramsAreIgnored() {
        QFETCH(bool, otherPortFirst);
        QFETCH(bool, fromOtherPort);
        QFETCH(bool, formErr);
        QFETCH(bool, answered);
        const auto questionless = [](const QByteArray& query) {
            return query.first(2) + QByteArray::fromHex("81010000000000000000");
        };
        m_responder->setDefaultBehaviour(
            {.reply = formErr ? FakeResponder::Reply::Custom : FakeResponder::Reply::Answer,
             .delay = 100ms,
             .craft = questionless,
             .fromOtherPort = fromOtherPort,
             .otherPortFirst = otherPortFirst});
        m_probe->setTimeout(4, 100ms);
        QSignalSpy sent(m_responder.get(), &FakeResponder::replySent);
        const ProbeResult result = lookup();
        QVERIFY(sent.count() >= 1); // the stray one did reach the probe's socket
        QCOMPARE(result.outcome, answered ? ProbeOutcome::Answered : ProbeOutcome::TimedOut);
        if (answered)
            QVERIFY(result.seconds >= 0.1);
    }

    // A reply that comes after its lookup timed out, while the same question is asked
    // again, is not the answer to that next question: the next query leaves from a new port.
    void lateReplyToTheSameQuestionIsNotTheNextAnswer() {
        // Limit 200 ms, replies after 300 ms: the first one lands mid-way through the second
        // wait, the second wait's own one well after it, with 100 ms to spare either way.
        m_responder->setDefaultBehaviour({.delay = 300ms});
        m_probe->setTimeout(10, 20ms);
        QCOMPARE(lookup().outcome, ProbeOutcome::TimedOut);
        const quint16 firstPort = m_probe->localPort();
        QCOMPARE(lookup().outcome, ProbeOutcome::TimedOut); // the first reply lands in this wait
        QVERIFY(m_probe->localPort() != firstPort);
    }

    // The span from the send to the arrival: the kernel's wall-clock stamp where it agrees
    // with the monotonic clock, the monotonic clock where the wall clock stepped.
    void clockStepGuard_data() {
        QTest::addColumn<qint64>("readWallShift"); // wall clock at the read, minus unstepped
        QTest::addColumn<qint64>("kernelStamp");   // ns after the send, unstepped; -1: none
        QTest::addColumn<qint64>("span");
        QTest::addColumn<TimeSource>("source");
        constexpr qint64 ms = 1'000'000;
        QTest::newRow("stamp between send and read")
            << 0LL << 18 * ms << 18 * ms << TimeSource::Kernel;
        QTest::newRow("no stamp") << 0LL << -1LL << 20 * ms << TimeSource::Monotonic;
        QTest::newRow("wall clock stepped forward")
            << 1000 * ms << 1018 * ms << 20 * ms << TimeSource::Monotonic;
        QTest::newRow("wall clock stepped back")
            << -5 * ms << 13 * ms << 20 * ms << TimeSource::Monotonic;
        QTest::newRow("stamp after the read") << 0LL << 25 * ms << 20 * ms << TimeSource::Monotonic;
    }
    void clockStepGuard() {
        QFETCH(qint64, readWallShift);
        QFETCH(qint64, kernelStamp);
        const ClockReading sent{5'000'000'000, 1'700'000'000'000'000'000};
        const qint64 twentyMs = 20'000'000;
        const ClockReading read{sent.monotonicNs + twentyMs,
                                sent.wallNs + twentyMs + readWallShift};
        const auto stamp = kernelStamp < 0 ? std::optional<qint64>()
                                           : std::optional<qint64>(sent.wallNs + kernelStamp);
        const MeasuredSpan span = measuredSpan(sent, read, stamp);
        QTEST(span.nanoseconds, "span");
        QTEST(span.source, "source");
    }

    // A server named by a host name: its time starts at the send, after a resolver that
    // took a second, and of its addresses the IPv4 one is asked first.
    void hostNameResolvedBeforeTheClockStarts() {
        m_probe->setHostLookup([](const QString&, QObject* context, auto done) {
            QTimer::singleShot(1000, context, [done] {
                done({QHostAddress::LocalHostIPv6, QHostAddress::LocalHost}, QString());
            });
        });
        const ProbeResult result =
            lookup(kDomain, QStringLiteral("dns.example:%1").arg(m_responder->port()));
        QCOMPARE(result.outcome, ProbeOutcome::Answered);
        QVERIFY2(result.seconds < 0.8, qPrintable(QString::number(result.seconds)));
    }

    // A server named by a host name whose resolver never answers: the lookup ends within
    // the limit with plain words, and the name is not asked again until the next run.
    void silentResolverEndsWithinTheLimit() {
        auto calls = std::make_shared<std::atomic<int>>(0);
        m_probe->setHostLookup([calls](const QString&, QObject*, auto) { ++*calls; });
        m_probe->setTimeout(3, 20ms);
        for (const int expectedCalls : {1, 1, 2}) {
            if (expectedCalls == 2)
                m_probe->beginRun();
            const ProbeResult result = lookup(kDomain, QStringLiteral("dns.example"));
            QCOMPARE(result.outcome, ProbeOutcome::HostNotFound);
            QVERIFY2(result.errorText.contains(QStringLiteral("dns.example")),
                     qPrintable(result.errorText));
            QCOMPARE(calls->load(), expectedCalls);
        }
    }

    // The configured name server asked for "dns" with the search domain first, A and AAAA at
    // once; the lookup then goes to the address it gave. A silent one is abandoned at the
    // limit: no query after it, though the configuration's timeout would resend.
    void hostNameResolvedByTheConfiguredNameServer_data() {
        QTest::addColumn<FakeResponder::Reply>("reply"); // to every name server query
        QTest::addColumn<QString>("error");              // empty: answered
        QTest::addColumn<int>("queries");                // the name server's and the lookup's
        QTest::newRow("search domain first, IPv4 address")
            << FakeResponder::Reply::Custom << QString() << 3;
        QTest::newRow("no such name") << FakeResponder::Reply::NxDomain << "does not exist" << 4;
        QTest::newRow("no address") << FakeResponder::Reply::Answer << "has no address" << 4;
        QTest::newRow("silent") << FakeResponder::Reply::Silent << "within the time limit" << 2;
    }
    void hostNameResolvedByTheConfiguredNameServer() {
        QFETCH(FakeResponder::Reply, reply);
        QTemporaryFile conf;
        QVERIFY(conf.open());
        conf.write("options timeout:1\nsearch lab.test\nnameserver [127.0.0.1]:" +
                   QByteArray::number(m_responder->port()) + '\n');
        conf.close();
        qputenv("TARNBELL_RESOLV_CONF", QFile::encodeName(conf.fileName()));
        const auto withAddress = [](const QByteArray& query) {
            QByteArray answer = FakeResponder::answer(query);
            answer[7] = 1; // ANCOUNT: A 127.0.0.1, owner a pointer to the question
            return answer + QByteArray::fromHex("c00c0001000100000e1000047f000001");
        };
        for (const char* name : {"dns.lab.test", "dns"})
            m_responder->setBehaviour(name, {.reply = reply, .craft = withAddress});
        m_probe->setTimeout(5, 100ms);
        const ProbeResult result =
            lookup(kDomain, QStringLiteral("dns:%1").arg(m_responder->port()));
        if (reply == FakeResponder::Reply::Silent)
            QTest::qWait(1200);
        qunsetenv("TARNBELL_RESOLV_CONF");
        QFETCH(QString, error);
        QCOMPARE(result.outcome,
                 error.isEmpty() ? ProbeOutcome::Answered : ProbeOutcome::HostNotFound);
        QVERIFY2(result.errorText.contains(error), qPrintable(result.errorText));
        QTEST(m_responder->queryCount(), "queries");
    }

    // The system's resolver answers on the context's thread, and never a context gone.
    void systemLookupAnswersOnlyALiveContext() {
        QObject context;
        auto gone = std::make_unique<QObject>();
        QList<QHostAddress> addresses;
        int calls = 0;
        systemHostLookup()(QStringLiteral("localhost"), gone.get(), [&](auto&, auto&) { ++calls; });
        systemHostLookup()(QStringLiteral("localhost"), &context, [&](auto& found, auto&) {
            addresses = found;
            ++calls;
        });
        gone.reset();
        QTRY_COMPARE(calls, 1);
        QVERIFY(addresses.contains(QHostAddress::LocalHost) ||
                addresses.contains(QHostAddress::LocalHostIPv6));
        QTest::qWait(100);
        QCOMPARE(calls, 1);
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
