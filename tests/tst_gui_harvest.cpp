// "Get URLs" clicked in the window against a loopback HTTPS stand-in for the search host: the
// request sent, the names that land in the domain list, the controls locked meanwhile,
// reseeding during a harvest, and failures and full lists that leave the window usable.

#include "core/harvest/harvester.h"
#include "core/lists/randomsource.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"
#include "guisupport/windowdriver.h"
#include "runtimers.h"

#include <QComboBox>
#include <QLabel>
#include <QtTest>

using namespace tarnbell;
using namespace std::chrono_literals;
using testing::CannedHttpServer;
using testing::numberedHosts;
using testing::resultPage;
using testing::setLists;

namespace {

// Waits for the harvester's end and notes what the window shows once it has dealt with it.
struct HarvestEnd {
    explicit HarvestEnd(frmMain& window) {
        QObject::connect(window.harvester(), &core::Harvester::finished, &guard,
                         [this, &window](bool succeeded) {
                             ok = succeeded;
                             status = window.controls().lS->text();
                             readyRestarted = window.Timer1()->isActive();
                         });
    }
    bool wait() {
        return QTest::qWaitFor([this] { return !status.isNull(); }, 20000);
    }

    QObject guard;
    bool ok = false;
    QString status;
    bool readyRestarted = false;
};

} // namespace

class TestGuiHarvest final : public QObject {
    Q_OBJECT

private slots:
    void harvestFillsDomains();
    void leavesWindowUsable_data();
    void leavesWindowUsable();
};

// The reply arrives a byte at a time. A seed made while connecting is the one sent; one made
// later changes only the box, until the harvest's end replaces it. A listed name is skipped.
void TestGuiHarvest::harvestFillsDomains() {
    const QStringList hosts = numberedHosts(QStringLiteral("s%1.ex"), 6);
    CannedHttpServer server(CannedHttpServer::Mode::OneByteAtATime);
    QVERIFY(server.isListening());
    server.setPage("HTTP/1.1 200 OK\r\n\r\nhttps://" + hosts.join("/ https://").toLatin1() + "/");
    const auto test = testing::makeWindow(QString(), 100, {}, {server.target(), 20s});
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    setLists(window, {"127.0.0.1"}, {"s2.ex"});
    ui.cGResults->setCurrentText(QStringLiteral("5"));
    window.random().Randomize(7);
    core::RandomSource sameDraws(7);
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    QVERIFY(!ui.cmdGo->isEnabled() && !ui.cmdConnect->isEnabled() && ui.cDomain->isEnabled());
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    const QByteArray line =
        "GET /search?q=" + core::RandomSeedWord(sameDraws).toLatin1() + "&num=6 ";
    QTRY_VERIFY(server.requests().size() == 1 && server.requests().at(0).startsWith(line));
    QVERIFY(window.harvester()->isBusy());
    QTest::mouseClick(ui.reseed, Qt::LeftButton);
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
    QVERIFY(end.wait());

    QVERIFY(end.ok);
    QVERIFY(end.readyRestarted);
    QVERIFY(ui.cmdGo->isEnabled() && ui.cmdConnect->isEnabled());
    QStringList added = hosts;
    added.removeAll(QStringLiteral("s2.ex"));
    QCOMPARE(window.domainList()->entries(), QStringList{"s2.ex"} + added);
    QCOMPARE(ui.ncount->text(), QStringLiteral("6"));
    QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
}

void TestGuiHarvest::leavesWindowUsable_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<int>("domains"); // listed before
    QTest::addColumn<QString>("words");
    QTest::newRow("refused") << CannedHttpServer::Mode::Refuse << 20000 << 1
                             << "Connection refused";
    QTest::newRow("never closes") << CannedHttpServer::Mode::NeverClose << 300 << 1 << "in time";
    // Stopped by a box before anything is locked or sent.
    QTest::newRow("domain list full") << CannedHttpServer::Mode::Page << 20000 << 99 << QString();
}

// The failure's words on the status line, the controls unlocked, the list and the seed as
// they were.
void TestGuiHarvest::leavesWindowUsable() {
    QFETCH(CannedHttpServer::Mode, mode);
    QFETCH(int, timeLimitMs);
    QFETCH(int, domains);
    QFETCH(QString, words);
    CannedHttpServer server(mode);
    QVERIFY(server.isListening());
    server.setPage(resultPage({"new.example"}));
    const auto test = testing::makeWindow(
        QString(), 100, {}, {server.target(), std::chrono::milliseconds(timeLimitMs)});
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    const QStringList listed = numberedHosts(QStringLiteral("listed%1.example"), domains);
    setLists(window, {"127.0.0.1"}, listed);
    ui.rand->setText(QStringLiteral("ABC"));
    HarvestEnd end(window);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    if (words.isEmpty()) {
        QVERIFY(!testing::acceptMessage().isEmpty());
        QTest::qWait(20);
        QVERIFY(server.requests().isEmpty());
    } else {
        QVERIFY(end.wait());
        QVERIFY(!end.ok);
        QVERIFY2(end.status.contains(words), qPrintable(end.status));
    }
    QVERIFY(!window.harvester()->isBusy());
    QVERIFY(ui.cmdGo->isEnabled() && ui.cmdConnect->isEnabled() && ui.rand->isEnabled());
    QCOMPARE(window.domainList()->entries(), listed);
    QCOMPARE(ui.rand->text(), QStringLiteral("ABC"));
}

QTEST_MAIN(TestGuiHarvest)
#include "tst_gui_harvest.moc"
