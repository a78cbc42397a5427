// The timed UDP probe against the in-process fake responder: what ends a wait, what does
// not, the time it reports and the text form of that time.

#include "core/probe.h"
#include "dns/moddns.h"
#include "fixtures/fakeresponder.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using tarnbell::core::formatSeconds;
using tarnbell::core::Probe;
using tarnbell::core::ProbeOutcome;
using tarnbell::core::ProbeResult;
using tarnbell::testing::FakeResponder;
using tarnbell::testing::MxRecord;

namespace {
constexpr quint16 kTypeA = 1;
constexpr quint16 kTypeMX = 15;
} // namespace

class TestProbe final : public QObject {
    Q_OBJECT

private:
    // One lookup, waited for; fails the test when finished() comes synchronously, more than
    // once, or not at all.
    static void lookup(Probe& probe, const QString& server, const QString& domain, quint16 type,
                       ProbeResult& result) {
        QSignalSpy spy(&probe, &Probe::finished);
        probe.MX_Query_Speed(server, domain, type);
        QCOMPARE(spy.count(), 0);
        QVERIFY(probe.isBusy());
        QVERIFY(spy.wait(15000));
        QCOMPARE(spy.count(), 1);
        QVERIFY(!probe.isBusy());
        result = spy.at(0).at(0).value<ProbeResult>();
    }

private Q_SLOTS:
    void formatsSeconds_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("46.875 ms") << 0.046875 << " 0.046875";
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("negative zero") << -0.0 << " 0";
        QTest::newRow("shortest decimal, not binary noise") << 0.1 << " 0.1";
        QTest::newRow("15 significant digits") << 1.0 / 3.0 << " 0.333333333333333";
        QTest::newRow("rounded at the 15th digit") << 2.0 / 3.0 << " 0.666666666666667";
        QTest::newRow("nanoseconds, no exponent") << 1.234e-9 << " 0.000000001234";
        QTest::newRow("exactly ten keeps its blank") << 10.0 << " 10";
        QTest::newRow("rounds up to ten") << 9.9999999999999991 << " 10";
        QTest::newRow("just above ten") << 10.000001 << "10";
        QTest::newRow("negative") << -0.25 << "-0.25";
        QTest::newRow("not a number") << std::nan("") << "10";
    }
    void formatsSeconds() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(formatSeconds(seconds), text);
    }

    void formatsSecondsWhateverTheLocale() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString text = formatSeconds(1234.5e-4);
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral(" 0.12345"));
    }

    // Any reply that repeats the question ends the wait, whatever its RCODE, after the
    // responder's delay; what the probe reads from it depends on the record type.
    void answers_data() {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<FakeResponder::Reply>("reply");
        QTest::addColumn<quint16>("type");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("replyText");
        const QString domain = QStringLiteral("Example.ORG");
        QTest::newRow("A at once: the question echo")
            << 0 << FakeResponder::Reply::Answer << kTypeA << domain << domain;
        QTest::newRow("A after 50 ms")
            << 50 << FakeResponder::Reply::Answer << kTypeA << domain << domain;
        QTest::newRow("MX: the first of the lowest preference")
            << 0 << FakeResponder::Reply::Answer << kTypeMX << domain
            << QStringLiteral("first10.example");
        QTest::newRow("NXDOMAIN counts like any answer")
            << 0 << FakeResponder::Reply::NxDomain << kTypeA << domain << domain;
    }
    void answers() {
        QFETCH(int, delayMs);
        QFETCH(FakeResponder::Reply, reply);
        QFETCH(quint16, type);
        QFETCH(QString, domain);
        QFETCH(QString, replyText);
        FakeResponder responder;
        QVERIFY(responder.isListening());
        responder.setDefaultBehaviour({.reply = reply,
                                       .delay = std::chrono::milliseconds(delayMs),
                                       .mx = {{20, QStringLiteral("mx20.example")},
                                              {10, QStringLiteral("first10.example")},
                                              {10, QStringLiteral("second10.example")}}});
        Probe probe;
        ProbeResult result;
        lookup(probe, responder.serverText(), domain, type, result);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(result.outcome, ProbeOutcome::Answered);
        QVERIFY2(result.seconds >= delayMs / 1000.0, qPrintable(result.secondsText));
        // Lax on purpose: a loaded machine may be slow, never early.
        QVERIFY2(result.seconds < delayMs / 1000.0 + 0.5, qPrintable(result.secondsText));
        QCOMPARE(result.secondsText, formatSeconds(result.seconds));
        QCOMPARE(result.replyText, replyText);
        QVERIFY(result.errorText.isEmpty());
        QCOMPARE(responder.queryCount(), 1);
    }

    void silenceTimesOutAsTenSeconds() {
        FakeResponder responder;
        responder.setDefaultBehaviour({.reply = FakeResponder::Reply::Silent});
        Probe probe;
        probe.setTimeout(3, 20ms);
        ProbeResult result;
        lookup(probe, responder.serverText(), QStringLiteral("example.org"), kTypeA, result);
        QCOMPARE(result.outcome, ProbeOutcome::TimedOut);
        QCOMPARE(result.seconds, 10.0);
        QCOMPARE(result.secondsText, QStringLiteral("10"));
        QVERIFY(result.replyText.isEmpty());
        QVERIFY(!result.failed());
        QCOMPARE(responder.queryCount(), 1);
    }

    // Datagrams that are not this probe's answer are read, dropped, and the wait goes on.
    void strayDatagramsAreIgnored_data() {
        QTest::addColumn<bool>("otherPortFirst");
        QTest::addColumn<bool>("fromOtherPort");
        QTest::addColumn<bool>("answered");
        QTest::newRow("only from another port") << false << true << false;
        QTest::newRow("another port, then the server") << true << false << true;
    }
    void strayDatagramsAreIgnored() {
        QFETCH(bool, otherPortFirst);
        QFETCH(bool, fromOtherPort);
        QFETCH(bool, answered);
        FakeResponder responder;
        responder.setDefaultBehaviour(
            {.delay = 100ms, .fromOtherPort = fromOtherPort, .otherPortFirst = otherPortFirst});
        Probe probe;
        probe.setTimeout(4, 100ms);
        QSignalSpy sent(&responder, &FakeResponder::replySent);
        ProbeResult result;
        lookup(probe, responder.serverText(), QStringLiteral("example.org"), kTypeA, result);
        QVERIFY(sent.count() >= 1); // the stray one did reach the probe's socket
        if (answered) {
            QCOMPARE(result.outcome, ProbeOutcome::Answered);
            QVERIFY(result.seconds >= 0.1);
        } else {
            QCOMPARE(result.outcome, ProbeOutcome::TimedOut);
        }
    }

    void lateReplyToAnEarlierProbeIsIgnored() {
        FakeResponder responder;
        responder.setBehaviour(QStringLiteral("old.example"),
                               {.reply = FakeResponder::Reply::Silent});
        responder.setBehaviour(QStringLiteral("new.example"), {.delay = 100ms, .staleFirst = true});
        Probe probe;
        probe.setTimeout(2, 20ms);
        ProbeResult first;
        lookup(probe, responder.serverText(), QStringLiteral("old.example"), kTypeA, first);
        QCOMPARE(first.outcome, ProbeOutcome::TimedOut);

        probe.setTimeout(20, 100ms);
        ProbeResult second;
        lookup(probe, responder.serverText(), QStringLiteral("new.example"), kTypeA, second);
        QCOMPARE(second.outcome, ProbeOutcome::Answered);
        QCOMPARE(second.replyText, QStringLiteral("new.example"));
        QVERIFY(second.seconds >= 0.1);
    }

    // A late reply to the same question arrives while no probe waits: it must not answer the
    // next probe, which would otherwise report the time of a datagram sent before its query.
    void lateReplyWaitingInTheSocketIsDropped() {
        FakeResponder responder;
        responder.setDefaultBehaviour({.delay = 150ms});
        Probe probe;
        QSignalSpy everyFinished(&probe, &Probe::finished);
        probe.setTimeout(2, 20ms);
        ProbeResult first;
        lookup(probe, responder.serverText(), QStringLiteral("same.example"), kTypeA, first);
        QCOMPARE(first.outcome, ProbeOutcome::TimedOut);
        QSignalSpy sent(&responder, &FakeResponder::replySent);
        QVERIFY(sent.wait(5000));
        QTest::qWait(100); // let the datagram land in the probe's socket

        responder.setDefaultBehaviour({.reply = FakeResponder::Reply::Silent});
        ProbeResult second;
        lookup(probe, responder.serverText(), QStringLiteral("same.example"), kTypeA, second);
        QCOMPARE(second.outcome, ProbeOutcome::TimedOut);
        QCOMPARE(everyFinished.count(), 2); // the stray datagram reported nothing
    }

    void answerMustRepeatTheQuestion_data() {
        QTest::addColumn<int>("mutatedByte"); // -1: the reply is cut short instead
        QTest::newRow("other name") << 13;
        QTest::newRow("truncated") << -1;
    }
    void answerMustRepeatTheQuestion() {
        QFETCH(int, mutatedByte);
        FakeResponder responder;
        responder.setDefaultBehaviour(
            {.reply = FakeResponder::Reply::Custom, .craft = [mutatedByte](const QByteArray& q) {
                 QByteArray reply = FakeResponder::answer(q);
                 if (mutatedByte < 0)
                     reply.chop(3);
                 else
                     reply[mutatedByte] = static_cast<char>(reply[mutatedByte] ^ 0x80);
                 return reply;
             }});
        Probe probe;
        probe.setTimeout(3, 20ms);
        ProbeResult result;
        lookup(probe, responder.serverText(), QStringLiteral("example.org"), kTypeA, result);
        QCOMPARE(result.outcome, ProbeOutcome::TimedOut);
    }

    void probesShareOneSocketAndTheQueryBytes() {
        FakeResponder first;
        FakeResponder second;
        Probe probe;
        QCOMPARE(probe.localPort(), quint16(0));
        ProbeResult result;
        lookup(probe, first.serverText(), QStringLiteral("example.org"), kTypeMX, result);
        const quint16 port = probe.localPort();
        QVERIFY(port != 0);
        lookup(probe, second.serverText(), QStringLiteral("example.org"), kTypeMX, result);
        QCOMPARE(probe.localPort(), port);
        QCOMPARE(first.queries().size(), 1);
        QCOMPARE(second.queries(), first.queries());
        QVERIFY(first.queries().constFirst().startsWith(QByteArray::fromHex("11DF0100")));
    }

    void serverTextForms_data() {
        QTest::addColumn<bool>("ipv6");
        QTest::addColumn<QString>("form"); // %1 is the port
        QTest::newRow("IPv4 and port") << false << QStringLiteral("127.0.0.1:%1");
        QTest::newRow("host name and port") << false << QStringLiteral("localhost:%1");
        QTest::newRow("IPv6 in brackets and port") << true << QStringLiteral("[::1]:%1");
    }
    void serverTextForms() {
        QFETCH(bool, ipv6);
        QFETCH(QString, form);
        FakeResponder responder;
        if (ipv6 && !responder.listenIPv6())
            QSKIP("no IPv6 loopback on this machine");
        Probe probe;
        ProbeResult result;
        lookup(probe, form.arg(ipv6 ? responder.portIPv6() : responder.port()),
               QStringLiteral("example.org"), kTypeA, result);
        QCOMPARE(result.outcome, ProbeOutcome::Answered);
        QCOMPARE(responder.queryCount(), 1);
    }

    void failuresComeFromTheEventLoop_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<ProbeOutcome>("outcome");
        QTest::addColumn<QString>("errorText");
        const QString longLabel(256, u'a');
        QTest::newRow("label too long")
            << QString() << longLabel + QStringLiteral(".example") << ProbeOutcome::QueryNotBuilt
            << QString::fromLatin1(
                   tarnbell::dns::QueryErrorText(tarnbell::dns::QueryError::LabelTooLong));
        QTest::newRow("query too long")
            << QString() << QStringList(40, QString(120, u'b')).join(u'.')
            << ProbeOutcome::QueryNotBuilt
            << QString::fromLatin1(
                   tarnbell::dns::QueryErrorText(tarnbell::dns::QueryError::QueryTooLong));
        // Refused before any lookup: nothing leaves the machine.
        QTest::newRow("port out of range")
            << QStringLiteral("127.0.0.1:70000") << QStringLiteral("example.org")
            << ProbeOutcome::HostNotFound << QString();
        QTest::newRow("empty server") << QStringLiteral("") << QStringLiteral("example.org")
                                      << ProbeOutcome::HostNotFound << QString();
    }
    void failuresComeFromTheEventLoop() {
        QFETCH(QString, server);
        QFETCH(QString, domain);
        QFETCH(ProbeOutcome, outcome);
        QFETCH(QString, errorText);
        FakeResponder responder;
        Probe probe;
        ProbeResult result;
        lookup(probe, server.isNull() ? responder.serverText() : server, domain, kTypeA, result);
        QCOMPARE(result.outcome, outcome);
        QVERIFY(result.failed());
        QCOMPARE(result.secondsText, QStringLiteral("10"));
        QVERIFY(!result.errorText.isEmpty());
        if (!errorText.isEmpty())
            QCOMPARE(result.errorText, errorText);
        QCOMPARE(responder.queryCount(), 0);
    }

    void callsWhileBusyRunInTurn() {
        FakeResponder responder;
        responder.setBehaviour(QStringLiteral("slow.example"), {.delay = 100ms});
        Probe probe;
        QSignalSpy spy(&probe, &Probe::finished);
        probe.MX_Query_Speed(responder.serverText(), QStringLiteral("slow.example"), kTypeA);
        probe.MX_Query_Speed(responder.serverText(), QStringLiteral("fast.example"), kTypeA);
        probe.MX_Query_Speed(QStringLiteral("1.2.3"), QStringLiteral("x.example"), kTypeA);
        QVERIFY(probe.isBusy());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 15000);
        QCOMPARE(spy.at(0).at(0).value<ProbeResult>().replyText, QStringLiteral("slow.example"));
        QCOMPARE(spy.at(1).at(0).value<ProbeResult>().replyText, QStringLiteral("fast.example"));
        QCOMPARE(spy.at(2).at(0).value<ProbeResult>().outcome, ProbeOutcome::HostNotFound);
        QVERIFY(!probe.isBusy());
        QCOMPARE(responder.queryCount(), 2);
    }

    void nextLookupMayStartFromFinished() {
        FakeResponder responder;
        Probe probe;
        QStringList replies;
        connect(&probe, &Probe::finished, this, [&](const ProbeResult& result) {
            replies << result.replyText;
            if (replies.size() < 3)
                probe.MX_Query_Speed(responder.serverText(),
                                     QStringLiteral("n%1.example").arg(replies.size()), kTypeA);
        });
        probe.MX_Query_Speed(responder.serverText(), QStringLiteral("n0.example"), kTypeA);
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 3, 15000);
        QCOMPARE(replies, (QStringList{"n0.example", "n1.example", "n2.example"}));
    }

    void probeMayGoAtAnyTime_data() {
        QTest::addColumn<QString>("server");
        QTest::newRow("while waiting") << QString();
        QTest::newRow("while resolving") << QStringLiteral("localhost:1");
    }
    void probeMayGoAtAnyTime() {
        QFETCH(QString, server);
        FakeResponder responder;
        responder.setDefaultBehaviour({.delay = 50ms});
        auto* probe = new Probe;
        probe->MX_Query_Speed(server.isEmpty() ? responder.serverText() : server,
                              QStringLiteral("example.org"), kTypeA);
        delete probe;
        QTest::qWait(100); // a late reply or resolution has nobody to reach
    }

    void probeMayBeDeletedLaterByItsReceiver() {
        FakeResponder responder;
        auto* probe = new Probe;
        QSignalSpy destroyed(probe, &QObject::destroyed);
        connect(probe, &Probe::finished, probe, &QObject::deleteLater);
        probe->MX_Query_Speed(responder.serverText(), QStringLiteral("example.org"), kTypeA);
        QVERIFY(destroyed.wait(15000));
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
