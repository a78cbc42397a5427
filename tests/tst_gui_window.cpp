// The window between starts: what it remembers and how it checks what it reads back.

#include "core/lists/defaultservers.h"
#include "core/results/resultsortproxy.h"
#include "core/run/recordtypes.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using tarnbell::testing::makeWindow;

class TestGuiWindow final : public QObject {
    Q_OBJECT

private slots:
    void rememberedAcrossStarts();
    void rememberedValuesChecked_data();
    void rememberedValuesChecked();
};

void TestGuiWindow::rememberedAcrossStarts() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    const QString local = QStringLiteral("192.0.2.53");
    {
        const auto first = makeWindow(local, 100, {}, testing::nowhere(), file);
        frmMain& window = *first->window;
        const auto& ui = window.controls();
        QCOMPARE(window.serverList()->entries(), core::InitialServers(local));
        testing::setLists(window, {"127.0.0.9 - mine", local + " - local"}, {"example.com"});
        ui.cDNST->setCurrentIndex(3);
        ui.cGResults->setCurrentIndex(9);
        window.resize(760, 540);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui.lvDNS->header()->resizeSection(0, 321);
        window.lvSummary_ColumnClick(0);
        QVERIFY(window.close());
    }
    // The next start is on another network: the local entry follows the machine's resolver.
    const auto second = makeWindow(QStringLiteral("192.0.2.99"), 100, {}, testing::nowhere(), file);
    frmMain& window = *second->window;
    const auto& ui = window.controls();
    QCOMPARE(window.serverList()->entries(),
             QStringList({"127.0.0.9 - mine", "192.0.2.99 - local"}));
    QCOMPARE(window.domainList()->entries(), QStringList{"example.com"});
    QCOMPARE(ui.dcount->text(), QStringLiteral("2"));
    QCOMPARE(ui.cDNST->currentIndex(), 3);
    QCOMPARE(ui.cGResults->currentIndex(), 9);
    QCOMPARE(window.size(), QSize(760, 540));
    QCOMPARE(ui.lvDNS->header()->sectionSize(0), 321);
    QCOMPARE(window.summarySort()->sortColumn(), 0);
    QCOMPARE(window.summarySort()->currentOrder(), Qt::DescendingOrder);
}

void TestGuiWindow::rememberedValuesChecked_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("servers"); // with the local resolver 192.0.2.53
    QTest::addColumn<QStringList>("domains");
    const QStringList defaults = core::InitialServers(QStringLiteral("192.0.2.53"));
    QStringList many;
    for (int i = 0; i < 120; ++i)
        many << QStringLiteral("host%1.example").arg(i);
    QTest::newRow("unknown record type")
        << "run/recordType" << QVariant("AAAA 28") << defaults << QStringList();
    QTest::newRow("more than 99 domains")
        << "lists/domains" << QVariant(many) << defaults << many.mid(0, 99);
    QTest::newRow("domain no query can carry")
        << "lists/domains" << QVariant(QStringList{QString(300, 'x') + ".com", "ok.example"})
        << defaults << QStringList{"ok.example"};
    QTest::newRow("server list emptied")
        << "lists/servers" << QVariant(QStringList()) << QStringList() << QStringList();
    QTest::newRow("local entry of another machine, twice")
        << "lists/servers"
        << QVariant(QStringList{"10.0.0.1 - local", "127.0.0.9", "10.0.0.1 - local"})
        << QStringList{"192.0.2.53 - local", "127.0.0.9"} << QStringList();
}

void TestGuiWindow::rememberedValuesChecked() {
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QStringList, servers);
    QFETCH(QStringList, domains);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    QSettings(file, QSettings::IniFormat).setValue(key, stored);
    const auto test = makeWindow(QStringLiteral("192.0.2.53"), 100, {}, testing::nowhere(), file);
    QCOMPARE(test->window->serverList()->entries(), servers);
    QCOMPARE(test->window->domainList()->entries(), domains);
    QCOMPARE(test->window->controls().cDNST->currentIndex(), core::kDefaultRecordTypeIndex);
}

QTEST_MAIN(TestGuiWindow)
#include "tst_gui_window.moc"
