// "Get URLs" clicked in the window against a loopback stand-in for the search host: the
// request sent, the names that land in the domain list, the lock and unlock of the controls,
// the new seed and counts afterwards, the list limits, failures that leave the window usable,
// reseeding during a harvest and closing the window in the middle of one.

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

const QString kReceiving = QStringLiteral("Receiving data from www.google.com");

std::unique_ptr<TestWindow> harvestWindow(const CannedHttpServer& server,
                                          std::chrono::milliseconds timeLimit = 5s) {
    // 1 ms countdown ticks: "Ready." about a tenth of a second after a harvest.
    return testing::makeWindow(QString(), 1, {},
                               {QStringLiteral("127.0.0.1"), server.port(), timeLimit});
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
    void harvestFillsDomains_data();
    void harvestFillsDomains();
    void lastPlaceFilled();
    void listFullMessages_data();
    void listFullMessages();
    void failuresLeaveWindowUsable_data();
    void failuresLeaveWindowUsable();
    void reseedDuringHarvest();
    void closeMidHarvest();
};

void TestGuiHarvest::harvestFillsDomains_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("20") << QStringLiteral("20") << QByteArray("GET /search?q=QXZ&num=25\r\n");
    QTest::newRow("5") << QStringLiteral("5") << QByteArray("GET /search?q=QXZ&num=6\r\n");
}

void TestGuiHarvest::harvestFillsDomains() {
    QFETCH(QString, count);
    QFETCH(QByteArray, request);
    const QStringList hosts = numberedHosts(QStringLiteral("site%1.example"), 30);
    CannedHttpServer server;
    QVERIFY(server.isListening());
    server.setPage(resultPage(hosts));
    const auto test = harvestWindow(server);
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    setLists(window, {"127.0.0.1"}, {"site2.example"});
    ui.rand->setText(QStringLiteral("QXZ"));
    ui.cGResults->setCurrentText(count);
    window.random().Randomize(7);
    core::RandomSource sameDraws(7);
    EnabledLog log(window);
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QCOMPARE(log.disabled, kLockOrder);
    QCOMPARE(disabledOf(window, kLeftUsable), QStringList());
    QVERIFY(window.harvester()->isBusy());
    QVERIFY(!window.Timer1()->isActive()); // no "Ready." in the middle of a harvest
    QVERIFY(end.wait());

    QVERIFY(end.ok);
    QCOMPARE(log.enabled, kUnlockOrder);
    QCOMPARE(server.requests(), QList<QByteArray>{request});
    // The listed site2 is skipped and does not count.
    QStringList added = hosts;
    added.removeAll(QStringLiteral("site2.example"));
    added = added.first(count.toInt());
    QCOMPARE(window.domainList()->entries(), QStringList{"site2.example"} + added);
    QCOMPARE(ui.ncount->text(), QString::number(1 + added.size()));
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QCOMPARE(end.status, core::Harvester::finishedStatus());
    QVERIFY(end.readyRestarted);
    QTRY_COMPARE(ui.lS->text(), QStringLiteral("Ready."));
}

// With 98 domains one more is taken, whatever the count chosen, and then the list is full.
void TestGuiHarvest::lastPlaceFilled() {
    CannedHttpServer server;
    server.setPage(resultPage({"one.example", "two.example"}));
    const auto test = harvestWindow(server);
    frmMain& window = *test->window;
    const QStringList listed = numberedHosts(QStringLiteral("listed%1.example"), 98);
    setLists(window, {"127.0.0.1"}, listed);
    HarvestEnd end(window);

    QTest::mouseClick(window.controls().cmdConnect, Qt::LeftButton);
    QVERIFY(end.wait());
    QVERIFY(end.ok);
    QCOMPARE(window.domainList()->entries(), listed + QStringList{"one.example"});
    QCOMPARE(window.controls().ncount->text(), QStringLiteral("99"));
}

void TestGuiHarvest::listFullMessages_data() {
    QTest::addColumn<int>("domains");
    QTest::addColumn<int>("servers");
    QTest::addColumn<core::ListKind>("message");
    QTest::newRow("domains full") << 99 << 1 << core::ListKind::Domains;
    QTest::newRow("servers full") << 98 << 99 << core::ListKind::Servers;
    QTest::newRow("both full") << 99 << 99 << core::ListKind::Domains;
}

// A full list stops the harvest before anything is locked or sent.
void TestGuiHarvest::listFullMessages() {
    QFETCH(int, domains);
    QFETCH(int, servers);
    QFETCH(core::ListKind, message);
    CannedHttpServer server;
    server.setPage(resultPage({"new.example"}));
    const auto test = harvestWindow(server);
    frmMain& window = *test->window;
    const QStringList listed = numberedHosts(QStringLiteral("listed%1.example"), domains);
    setLists(window, numberedHosts(QStringLiteral("127.0.0.%1"), servers), listed);
    const QString status = window.controls().lS->text();

    QTest::mouseClick(window.controls().cmdConnect, Qt::LeftButton);
    auto* box = testing::waitForModal<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("Tarnbell"));
    QCOMPARE(testing::acceptMessage(), core::ListFullMessage(message));
    QVERIFY(!QApplication::activeModalWidget()); // one box only
    QCOMPARE(disabledOf(window, kLockOrder + kLeftUsable), QStringList());
    QVERIFY(!window.harvester()->isBusy());
    QTest::qWait(20);
    QVERIFY(server.requests().isEmpty());
    QCOMPARE(window.controls().lS->text(), status);
    QCOMPARE(window.domainList()->entries(), listed);
}

void TestGuiHarvest::failuresLeaveWindowUsable_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<QString>("status");
    QTest::newRow("refused") << CannedHttpServer::Mode::Refuse << 20000
                             << "Could not connect to www.google.com: Connection refused. No URLs "
                                "added.";
    QTest::newRow("never closes")
        << CannedHttpServer::Mode::NeverClose << 300
        << "www.google.com did not finish its reply in time. No URLs added.";
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
    QCOMPARE(disabledOf(window, kLockOrder + kLeftUsable), QStringList());
    QCOMPARE(window.domainList()->entries(), QStringList{"keep.example"});
    QCOMPARE(ui.ncount->text(), QStringLiteral("1"));
    QCOMPARE(ui.rand->text(), QStringLiteral("ABC"));
    QVERIFY(end.readyRestarted);
    QTRY_COMPARE(ui.lS->text(), QStringLiteral("Ready."));
}

// A seed made while connecting is the one sent; one made later changes only the box, until
// the harvest's end replaces it.
void TestGuiHarvest::reseedDuringHarvest() {
    CannedHttpServer server(CannedHttpServer::Mode::OneByteAtATime);
    server.setByteInterval(10ms); // the reply takes about two seconds
    server.setPage(resultPage({"late.example"}));
    const auto test = harvestWindow(server);
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    setLists(window, {"127.0.0.1"}, {});
    window.random().Randomize(11);
    core::RandomSource sameDraws(11);
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QVERIFY(ui.reseed->isEnabled());
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    const QString sent = core::RandomSeedWord(sameDraws);
    QCOMPARE(ui.rand->text(), sent);
    QTRY_COMPARE(server.requests(),
                 QList<QByteArray>{"GET /search?q=" + sent.toLatin1() + "&num=25\r\n"});
    QTRY_COMPARE(ui.lS->text(), kReceiving);

    QVERIFY(window.harvester()->isBusy());
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QVERIFY(!ui.rand->isEnabled());
    QVERIFY(end.wait());
    QVERIFY(end.ok);
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QCOMPARE(window.domainList()->entries(), QStringList{"late.example"});
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
