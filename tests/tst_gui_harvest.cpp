// "Get URLs" clicked in the window against a loopback HTTPS stand-in for the search host: the
// request sent, the names that land in the domain list, the lock and unlock of the controls,
// reseeding during a harvest and the new seed and counts afterwards, the list limits,
// failures that leave the window usable and closing the window in the middle of one.

#include "core/harvester.h"
#include "core/listlimits.h"
#include "core/randomsource.h"
#include "core/runtimers.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"
#include "guisupport/windowdriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace tarnbell;
using namespace std::chrono_literals;
using testing::CannedHttpServer;
using testing::numberedHosts;
using testing::resultPage;
using testing::setLists;
using testing::TestWindow;

namespace {

const QStringList kLockOrder{"cmdConnect", "cmdGo", "cDNST", "cGResults", "rand"};
const QStringList kUnlockOrder{"cGResults", "rand", "cmdConnect", "cmdGo", "cDNST"};
// The list buttons, the result lists, the export and the seed's "R" stay usable.
const QStringList kLeftUsable{"cDomain",   "cDomainD",   "cmdRandomN", "cServers",
                              "cServersD", "cmdRandomD", "lDomains",   "lvDNS",
                              "lvSummary", "cmdExport",  "reseed"};

const QString kReceiving = QStringLiteral("Receiving data from 127.0.0.1");

std::unique_ptr<TestWindow> harvestWindow(const CannedHttpServer& server,
                                          std::chrono::milliseconds timeLimit = 5s) {
    // 1 ms countdown ticks: "Ready." about a tenth of a second after a harvest.
    return testing::makeWindow(QString(), 1, {}, {server.target(), timeLimit});
}

QStringList disabledOf(const frmMain& window, const QStringList& names) {
    QStringList disabled;
    for (const QString& name : names)
        if (!window.findChild<QWidget*>(name)->isEnabled())
            disabled << name;
    return disabled;
}

// The order in which the harvest's five controls are disabled and enabled again.
class EnabledLog final : public QObject {
public:
    explicit EnabledLog(const frmMain& window) {
        for (const QString& name : kLockOrder)
            window.findChild<QWidget*>(name)->installEventFilter(this);
    }
    QStringList disabled;
    QStringList enabled;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            (static_cast<QWidget*>(watched)->isEnabled() ? enabled : disabled)
                << watched->objectName();
        return false;
    }
};

// What the window shows the moment the harvester reports its end, after the window has
// dealt with it.
struct HarvestEnd {
    explicit HarvestEnd(frmMain& window) {
        QObject::connect(window.harvester(), &core::Harvester::finished, &guard,
                         [this, &window](bool succeeded) {
                             ++ends;
                             ok = succeeded;
                             status = window.controls().lS->text();
                             readyRestarted =
                                 window.Timer1()->isActive() && window.Timer1()->readyStep() == 0;
                         });
    }
    bool wait() {
        return QTest::qWaitFor([this] { return ends > 0; }, 20000);
    }

    QObject guard;
    int ends = 0;
    bool ok = false;
    QString status;
    bool readyRestarted = false;
};

} // namespace

class TestGuiHarvest final : public QObject {
    Q_OBJECT

private slots:
    void harvestFillsDomains();
    void listFullMessages_data();
    void listFullMessages();
    void failuresLeaveWindowUsable_data();
    void failuresLeaveWindowUsable();
    void closeMidHarvest();
};

// The reply arrives a byte at a time. A seed made while connecting is the one sent; one made
// later changes only the box, until the harvest's end replaces it. A second harvest that
// finds nothing it may add says so.
void TestGuiHarvest::harvestFillsDomains() {
    const QStringList hosts = numberedHosts(QStringLiteral("s%1.ex"), 6);
    CannedHttpServer server(CannedHttpServer::Mode::OneByteAtATime);
    QVERIFY(server.isListening());
    const QByteArray head = "HTTP/1.1 200 OK\r\n\r\n";
    server.setPage(head + "https://" + hosts.join("/ https://").toLatin1() + "/");
    const auto test = harvestWindow(server, 20s);
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    setLists(window, {"127.0.0.1"}, {"s2.ex"});
    ui.cGResults->setCurrentText(QStringLiteral("5"));
    window.random().Randomize(7);
    core::RandomSource sameDraws(7);
    EnabledLog log(window);
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QCOMPARE(log.disabled, kLockOrder);
    QCOMPARE(disabledOf(window, kLeftUsable), QStringList());
    QVERIFY(!window.Timer1()->isActive()); // no "Ready." in the middle of a harvest
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    const QString sent = core::RandomSeedWord(sameDraws);
    const QByteArray line = "GET /search?q=" + sent.toLatin1() + "&num=6 HTTP/1.1\r\n";
    QTRY_VERIFY(server.requests().size() == 1 && server.requests().at(0).startsWith(line));
    QTRY_COMPARE(ui.lS->text(), kReceiving);
    QVERIFY(window.harvester()->isBusy());
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QVERIFY(end.wait());

    QVERIFY(end.ok);
    QCOMPARE(log.enabled, kUnlockOrder);
    QCOMPARE(server.requests().size(), 1);
    // The listed s2 is skipped and does not count.
    QStringList added = hosts;
    added.removeAll(QStringLiteral("s2.ex"));
    QCOMPARE(window.domainList()->entries(), QStringList{"s2.ex"} + added);
    QCOMPARE(ui.ncount->text(), QStringLiteral("6"));
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QCOMPARE(end.status, QStringLiteral("Finished retrieving URLs from 127.0.0.1 and randomised "
                                        "domain search seed."));
    QVERIFY(end.readyRestarted);
    QTRY_COMPARE(ui.lS->text(), QStringLiteral("Ready."));

    // Only a name "+" would refuse (a label beyond 255 bytes) and one already listed.
    server.setMode(CannedHttpServer::Mode::Page);
    server.setPage(head + "https://" + QByteArray(256, 'j') + ".ex/ https://s3.ex/");
    HarvestEnd again(window);
    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QVERIFY(again.wait());
    QVERIFY(again.ok);
    QCOMPARE(again.status, QStringLiteral("Found no new URLs in results from 127.0.0.1 and "
                                          "randomised domain search seed. No URLs added."));
    QCOMPARE(window.domainList()->entries(), QStringList{"s2.ex"} + added);
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
}

void TestGuiHarvest::listFullMessages_data() {
    QTest::addColumn<int>("domains");
    QTest::addColumn<int>("servers");
    QTest::addColumn<core::ListKind>("message");
    QTest::newRow("domains full") << 99 << 1 << core::ListKind::Domains;
    QTest::newRow("servers full") << 98 << 99 << core::ListKind::Servers;
    QTest::newRow("both full") << 99 << 99 << core::ListKind::Domains;
}

// A full list stops the harvest with one box, before anything is locked or sent.
void TestGuiHarvest::listFullMessages() {
    QFETCH(int, domains);
    QFETCH(int, servers);
    QFETCH(core::ListKind, message);
    CannedHttpServer server;
    server.setPage(resultPage({"new.example"}));
    const auto test = harvestWindow(server);
    frmMain& window = *test->window;
    setLists(window, numberedHosts(QStringLiteral("127.0.0.%1"), servers),
             numberedHosts(QStringLiteral("listed%1.example"), domains));

    QTest::mouseClick(window.controls().cmdConnect, Qt::LeftButton);
    QCOMPARE(testing::acceptMessage(), core::ListFullMessage(message));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(disabledOf(window, kLockOrder + kLeftUsable), QStringList());
    QVERIFY(!window.harvester()->isBusy());
    QTest::qWait(20);
    QVERIFY(server.requests().isEmpty());
}

void TestGuiHarvest::failuresLeaveWindowUsable_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<QString>("status");
    QTest::newRow("refused") << CannedHttpServer::Mode::Refuse << 20000
                             << "Could not connect to 127.0.0.1: Connection refused. No URLs "
                                "added.";
    QTest::newRow("never closes") << CannedHttpServer::Mode::NeverClose << 300
                                  << "127.0.0.1 did not finish its reply in time. No URLs added.";
}

// The failure's own words on the status line, the controls unlocked, the list and the seed
// as they were, and "Ready." later as after any harvest.
void TestGuiHarvest::failuresLeaveWindowUsable() {
    QFETCH(CannedHttpServer::Mode, mode);
    QFETCH(int, timeLimitMs);
    QFETCH(QString, status);
    CannedHttpServer server(mode);
    QVERIFY(server.isListening());
    server.setPage(resultPage({"new.example"}));
    const auto test = harvestWindow(server, std::chrono::milliseconds(timeLimitMs));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    setLists(window, {"127.0.0.1"}, {"keep.example"});
    ui.rand->setText(QStringLiteral("ABC"));
    EnabledLog log(window);
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QVERIFY(end.wait());

    QVERIFY(!end.ok);
    QCOMPARE(end.status, status);
    QCOMPARE(log.enabled, kUnlockOrder);
    QCOMPARE(window.domainList()->entries(), QStringList{"keep.example"});
    QCOMPARE(ui.rand->text(), QStringLiteral("ABC"));
    QVERIFY(end.readyRestarted);
    QTRY_COMPARE(ui.lS->text(), QStringLiteral("Ready."));
}

// The program ends at once: the harvest under way drops its connection and tells the
// window nothing more, not even when its time limit would have struck.
void TestGuiHarvest::closeMidHarvest() {
    CannedHttpServer server(CannedHttpServer::Mode::NeverClose);
    server.setPage(resultPage({"new.example"}));
    const auto test = harvestWindow(server, 300ms);
    frmMain& window = *test->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    setLists(window, {"127.0.0.1"}, {"keep.example"});
    HarvestEnd end(window);
    QTest::mouseClick(window.controls().cmdConnect, Qt::LeftButton);
    QTRY_COMPARE(window.controls().lS->text(), kReceiving);

    QVERIFY(window.close());
    QCOMPARE(test->quitCalls, 1);
    QVERIFY(!window.harvester()->isBusy());
    QTest::qWait(500);
    QCOMPARE(end.ends, 0);
    QCOMPARE(window.controls().lS->text(), kReceiving);
    QCOMPARE(window.domainList()->entries(), QStringList{"keep.example"});
}

QTEST_MAIN(TestGuiHarvest)
#include "tst_gui_harvest.moc"
