// The two input lists as a user meets them: "+" up to the 99-entry limit with the domains
// refused, editing in place, list files, Restore and Undo; "Get URLs" against a loopback HTTPS
// stand-in for the search host: the request sent, the names that land in the domain list, the
// controls locked meanwhile, reseeding during a harvest, and failures and full lists that leave the
// window usable; and what the window remembers between starts and how it checks what it
// reads back.

#include "core/harvest/harvester.h"
#include "core/lists/defaultservers.h"
#include "core/lists/randomsource.h"
#include "core/results/resultsortproxy.h"
#include "core/run/recordtypes.h"
#include "filechooser.h"
#include "fixtures/cannedhttpserver.h"
#include "fixtures/resultpages.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"
#include "runtimers.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::CannedHttpServer;
using testing::makeWindow;
using testing::waitForModal;

namespace {

struct ListUnderTest {
    gui::EntryList* list;
    QPushButton* add;
    QLabel* count;
};

ListUnderTest listOf(frmMain& window, core::ListKind kind) {
    const auto& ui = window.controls();
    if (kind == core::ListKind::Domains)
        return {window.domainList(), ui.cDomain, ui.ncount};
    return {window.serverList(), ui.cServers, ui.dcount};
}

QStringList numbered(int count) {
    return testing::numberedHosts(QStringLiteral("host%1.example"), count);
}

// How the text is asked for: "+" answered (also while a harvest fills the list) or cancelled,
// or a double-click on the second entry, also while the lists are locked as during a run.
enum class Gesture { Add, AddWhileFilling, Cancel, Edit, EditLocked };
// What becomes of the text: the entry taken, nothing changed, or a box instead (a domain no
// query can carry, a full list).
enum class Answer { Taken, Ignored, Refused };

// How a harvest ends: names added, a failure on the status line, or a box before it starts.
enum class End { Harvested, Failed, ListFull };

} // namespace

class TestGuiLists final : public QObject {
    Q_OBJECT

private slots:
    void typedEntry_data();
    void typedEntry();
    void listFiles();
    void harvest_data();
    void harvest();
    void rememberedAcrossStarts();
    void rememberedValuesChecked_data();
    void rememberedValuesChecked();
    void entryRules_data();
    void entryRules();
    void restoreAndUndo();
};

void TestGuiLists::typedEntry_data() {
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Answer>("answer");
    using enum Gesture;
    using enum Answer;
    const auto domains = core::ListKind::Domains;
    const QString name = QStringLiteral("example.com");
    const QStringList none, three{"first", "a.example", "last"};
    QTest::newRow("domain, twice") << Add << domains << QStringList{name} << name << Taken;
    QTest::newRow("empty answer") << Add << domains << none << QString() << Ignored;
    QTest::newRow("cancel") << Cancel << domains << none << name << Ignored;
    QTest::newRow("256-byte label")
        << Add << domains << none << QString(256, 'x') + ".a" << Refused;
    QTest::newRow("server, 99th entry")
        << Add << core::ListKind::Servers << numbered(98) << "tls://192.0.2.1#dns.example" << Taken;
    QTest::newRow("full list") << Add << domains << numbered(99) << QString() << Refused;
    QTest::newRow("filled while asked")
        << AddWhileFilling << domains << numbered(98) << name << Refused;
    QTest::newRow("edited") << Edit << domains << three << "b.example" << Taken;
    QTest::newRow("emptied") << Edit << domains << three << QString() << Ignored;
    QTest::newRow("edited, too long") << Edit << domains << three << QString(256, 'x') << Refused;
    QTest::newRow("edited, with a blank") << Edit << domains << three << "b example" << Refused;
    QTest::newRow("locked") << EditLocked << domains << three << "b.example" << Ignored;
}

void TestGuiLists::typedEntry() {
    QFETCH(Gesture, gesture);
    QFETCH(core::ListKind, kind);
    QFETCH(QStringList, before);
    QFETCH(QString, typed);
    QFETCH(Answer, answer);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    target.list->replaceAll(before);
    test->window->DoCount();
    QStringList after = before;
    const bool edit = gesture >= Gesture::Edit;
    if (edit) {
        target.add->setEnabled(gesture == Gesture::Edit);
        Q_EMIT target.list->widget()->itemDoubleClicked(target.list->widget()->item(1));
    } else {
        QTest::mouseClick(target.add, Qt::LeftButton);
    }
    if (answer == Answer::Taken)
        edit ? void(after[1] = typed) : after.append(typed);

    const bool asked = gesture != Gesture::EditLocked && before.size() < 99;
    auto* input = waitForModal<QInputDialog>(asked ? 5000 : 100);
    QCOMPARE(input != nullptr, asked);
    if (input) {
        if (edit)
            QCOMPARE(input->textValue(), before.at(1)); // the entry, to change
        input->setTextValue(typed);
        if (gesture == Gesture::AddWhileFilling) // the harvest takes the last place meanwhile
            target.list->append(after.emplace_back(QStringLiteral("harvested.example")));
        gesture == Gesture::Cancel ? input->reject() : input->accept();
    }
    if (answer == Answer::Refused)
        QVERIFY(!acceptMessage().isEmpty());
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(target.list->entries(), after);
    QCOMPARE(target.count->text(), QString::number(after.size()));
}

// Exported under a bare name as a .txt file and imported back as it was, after a question
// before the entries are replaced, "-" then leaving the next entry selected; imported from a
// file over the limit with a domain no query can carry, the list takes what fits and says
// what was left out.
void TestGuiLists::listFiles() {
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, core::ListKind::Domains);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("list.txt")));
    const auto chooseFile = [&](const char* action, const QString& name) {
        target.list->widget()->findChild<QAction*>(action)->trigger();
        auto* dialog = waitForModal<QFileDialog>();
        QVERIFY(dialog);
        dialog->selectFile(dir.filePath(name));
        QMetaObject::invokeMethod(dialog, "accept");
    };
    const QStringList listed{"a.example", "b.example", "a.example"};
    testing::setLists(*test->window, {}, listed);
    chooseFile("exportList", "list");
    QCOMPARE(test->window->controls().lS->text(), "Exported to " + file.fileName());
    testing::setLists(*test->window, {}, {"replaced.example"});
    chooseFile("importList", "list.txt");
    QVERIFY(testing::answerQuestion(true).contains("(1 entry) with the entries of list.txt"));
    QVERIFY(acceptMessage(100).isNull());
    QCOMPARE(target.list->entries(), listed);
    target.list->widget()->setCurrentRow(1);
    target.list->removeSelected(); // "-": the entry after the removed one is selected
    QCOMPARE(target.list->selectedIndex(), 1);

    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(256, 'x') + ".com\n" + numbered(120).join('\n').toUtf8());
    file.close();
    chooseFile("importList", "list.txt");
    QVERIFY(!testing::answerQuestion(true).isEmpty());
    QVERIFY(!acceptMessage().isEmpty());
    QCOMPARE(target.list->entries(), numbered(99));
    QCOMPARE(target.count->text(), QStringLiteral("99"));
}

void TestGuiLists::harvest_data() {
    QTest::addColumn<CannedHttpServer::Mode>("mode");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<End>("end");
    QTest::addColumn<QString>("words"); // on the status line at the end
    using enum CannedHttpServer::Mode;
    const QStringList one{"s2.ex"};
    QTest::newRow("a byte at a time") << OneByteAtATime << one << End::Harvested << QString();
    QTest::newRow("refused") << Refuse << one << End::Failed << "Connection refused";
    QTest::newRow("domain list full") << Page << numbered(99) << End::ListFull << QString();
}

// A seed made while connecting is the one sent; one made later changes only the box, until
// the harvest's end replaces it. A listed name is skipped. A failure leaves the controls
// unlocked, the list and the seed as they were; a full list stops it before anything is
// locked or sent.
void TestGuiLists::harvest() {
    QFETCH(CannedHttpServer::Mode, mode);
    QFETCH(QStringList, listed);
    QFETCH(End, end);
    QFETCH(QString, words);
    CannedHttpServer server(mode);
    QVERIFY(server.isListening());
    server.setPage(testing::resultPage(testing::numberedHosts(QStringLiteral("s%1.ex"), 6)));
    const auto test = makeWindow(QString(), 100, {}, {server.target(), std::chrono::seconds(20)});
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    QCOMPARE(ui.Label4->text(), QStringLiteral("Search 127.0.0.1 for"));
    testing::setLists(window, {"127.0.0.1"}, listed);
    ui.cGResults->setCurrentText(QStringLiteral("5"));
    ui.rand->setText(QStringLiteral("ABC"));
    window.random().Randomize(7);
    core::RandomSource sameDraws(7);
    QSignalSpy finished(window.harvester(), &core::Harvester::finished);

    QTest::mouseClick(ui.cmdConnect, Qt::LeftButton);
    if (end == End::ListFull) {
        QVERIFY(!acceptMessage().isEmpty());
        QTest::qWait(20);
        QVERIFY(server.requests().isEmpty());
    } else {
        QVERIFY(!ui.cmdGo->isEnabled() && !ui.cmdConnect->isEnabled() && ui.cDomain->isEnabled());
    }
    QString seed = QStringLiteral("ABC");
    if (end == End::Harvested) {
        QTest::mouseClick(ui.reseed, Qt::LeftButton);
        seed = core::RandomSeedWord(sameDraws);
        QTRY_VERIFY(
            server.requests().size() == 1 &&
            server.requests().at(0).startsWith("GET /search?q=" + seed.toLatin1() + "&num=6 "));
        QVERIFY(window.harvester()->isBusy());
        QTest::mouseClick(ui.reseed, Qt::LeftButton);
        QCOMPARE(ui.rand->text(), core::RandomSeedWord(sameDraws));
        seed = core::RandomSeedWord(sameDraws); // what the harvest's end draws
        listed += {"s1.ex", "s3.ex", "s4.ex", "s5.ex", "s6.ex"};
    }
    if (end != End::ListFull) {
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(finished.first().first().toBool(), end == End::Harvested);
        QVERIFY2(ui.lS->text().contains(words), qPrintable(ui.lS->text()));
        QVERIFY(window.Timer1()->isActive()); // the way back to "Ready."
    }
    QVERIFY(!window.harvester()->isBusy());
    QVERIFY(ui.cmdGo->isEnabled() && ui.cmdConnect->isEnabled() && ui.rand->isEnabled());
    QCOMPARE(window.domainList()->entries(), listed);
    QCOMPARE(ui.ncount->text(), QString::number(listed.size()));
    QCOMPARE(ui.rand->text(), seed);
}

void TestGuiLists::rememberedAcrossStarts() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    const QString local = QStringLiteral("192.0.2.53");
    {
        const auto first = makeWindow(local, 100, {}, testing::nowhere(), file);
        frmMain& window = *first->window;
        const auto& ui = window.controls();
        QCOMPARE(window.serverList()->entries(), core::InitialServers(local));
        testing::setLists(window, {"127.0.0.9 - mine", local + " - local"}, {"example.com"});
        window.files()->setLastFolder(dir.path());
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
    QCOMPARE(window.files()->lastFolder(), dir.path());
    QCOMPARE(ui.dcount->text(), QStringLiteral("2"));
    QCOMPARE(ui.cDNST->currentIndex(), 3);
    QCOMPARE(ui.cGResults->currentIndex(), 9);
    QCOMPARE(window.size(), QSize(760, 540));
    QCOMPARE(ui.lvDNS->header()->sectionSize(0), 321);
    QCOMPARE(window.summarySort()->sortColumn(), 0);
    QCOMPARE(window.summarySort()->currentOrder(), Qt::DescendingOrder);
}

void TestGuiLists::rememberedValuesChecked_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("servers"); // with the local resolver 192.0.2.53
    QTest::addColumn<QStringList>("domains");
    const QStringList defaults = core::InitialServers(QStringLiteral("192.0.2.53"));
    const QStringList domains = core::DefaultDomains(); // a list never saved
    const QStringList many = testing::numberedHosts(QStringLiteral("host%1.example"), 120);
    QTest::newRow("unknown record type")
        << "run/recordType" << QVariant("AAAA 28") << defaults << domains;
    QTest::newRow("more than 99 servers")
        << "lists/servers" << QVariant(many) << many.mid(0, 99) << domains;
    QTest::newRow("domain no query can carry")
        << "lists/domains" << QVariant(QStringList{QString(300, 'x') + ".com", "ok.example"})
        << defaults << QStringList{"ok.example"};
    QTest::newRow("server list emptied")
        << "lists/servers" << QVariant(QStringList()) << QStringList() << domains;
    QTest::newRow("domain list emptied")
        << "lists/domains" << QVariant(QStringList()) << defaults << QStringList();
    QTest::newRow("local entry of another machine, twice")
        << "lists/servers"
        << QVariant(QStringList{"10.0.0.1 - local", "127.0.0.9", "10.0.0.1 - local"})
        << QStringList{"192.0.2.53 - local", "127.0.0.9"} << domains;
}

void TestGuiLists::rememberedValuesChecked() {
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

void TestGuiLists::entryRules_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("taken");
    const auto servers = core::ListKind::Servers;
    const auto domains = core::ListKind::Domains;
    QTest::newRow("address, port, label") << servers << "127.0.0.1:9 - mine" << true;
    QTest::newRow("TLS with a name") << servers << "tls://127.0.0.1:9#dns.example" << true;
    QTest::newRow("port over 65535") << servers << "127.0.0.1:99999" << false;
    QTest::newRow("hexadecimal address") << servers << "0x7f000001" << false;
    QTest::newRow("control character") << servers << "127.0.0.1 - a\x1b[2Jb" << false;
    QTest::newRow("over 1,024 characters") << servers << QString(2000, 'a') << false;
    QTest::newRow("domain") << domains << "www.example.com" << true;
    QTest::newRow("domain with a blank") << domains << "www.exa mple.com" << false;
    QTest::newRow("domain with a control character") << domains << "a\x07.example" << false;
}

// One set of rules for an entry wherever it comes from: typed, imported, remembered from the
// last start, or given to the command-line tool.
void TestGuiLists::entryRules() {
    QFETCH(core::ListKind, kind);
    QFETCH(QString, entry);
    QFETCH(bool, taken);
    const bool servers = kind == core::ListKind::Servers;
    const QStringList kept = taken ? QStringList{entry} : QStringList();
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("tarnbell.conf"));
    QSettings(settings, QSettings::IniFormat)
        .setValue(servers ? "lists/servers" : "lists/domains", QStringList{entry});
    const auto test = makeWindow(QString(), 100, {}, testing::nowhere(), settings);
    QCOMPARE(acceptMessage(taken ? 100 : 5000).isNull(), taken);
    const ListUnderTest target = listOf(*test->window, kind);
    QCOMPARE(target.list->entries(), kept);

    QFile file(dir.filePath(QStringLiteral("entries.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(entry.toUtf8() + '\n') > 0);
    file.close();
    target.list->replaceAll({});
    QCOMPARE(target.list->importFile(file.fileName()).isEmpty(), taken);
    QCOMPARE(target.list->entries(), kept);

    target.list->replaceAll({});
    QTest::mouseClick(target.add, Qt::LeftButton);
    auto* input = waitForModal<QInputDialog>();
    QVERIFY(input);
    input->setTextValue(entry);
    input->accept();
    QCOMPARE(acceptMessage(taken ? 100 : 5000).isNull(), taken);
    QCOMPARE(target.list->entries(), kept);

    QProcess cli;
    const QStringList lists = servers
                                  ? QStringList{"--servers", file.fileName(), "-d", "a.test"}
                                  : QStringList{"--domains", file.fileName(), "-s", "127.0.0.1:9"};
    cli.start(TARNBELL_CLI_PATH,
              lists + QStringList{"--timeout", "1", "--quiet", "-o", "/dev/null"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode() == 2, !taken);
}

// "Restore default list" asks first and replaces its own list only; Ctrl+Z takes back the
// last change once, never during a run, whose lock the menu bar follows as the buttons do;
// names a harvest added since leave nothing to undo.
void TestGuiLists::restoreAndUndo() {
    const auto test = makeWindow(QStringLiteral("192.0.2.53"));
    frmMain& window = *test->window;
    window.show();
    const QStringList servers{"127.0.0.9"}, domains{"a.example", "b.example", "c.example"};
    testing::setLists(window, servers, domains);
    const auto action = [&window](const char* name) { return window.findChild<QAction*>(name); };
    const auto undo = [&window] { QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier); };
    for (const bool confirm : {false, true}) {
        window.serverList()->widget()->findChild<QAction*>("restoreDefaults")->trigger();
        QVERIFY(testing::answerQuestion(confirm).contains("DNS server list (1 entry)"));
    }
    QCOMPARE(window.serverList()->entries(), core::InitialServers(QStringLiteral("192.0.2.53")));
    QCOMPARE(window.domainList()->entries(), domains);
    window.lockForRun();
    QVERIFY(!action("undoListChange")->isEnabled() && !action("menu_cmdGo")->isEnabled() &&
            action("menu_cmdStop")->isEnabled() && !action("importList")->isEnabled());
    window.unlockAfterRun();
    window.activateWindow(); // back from the question
    QVERIFY(QTest::qWaitForWindowActive(&window));
    undo();
    undo(); // once only: the list stays as it was before the restore
    QCOMPARE(window.serverList()->entries(), servers);
    QTest::mouseClick(window.controls().cmdRandomN, Qt::LeftButton);
    window.domainList()->append(QStringLiteral("harvested.example"));
    QVERIFY(!action("undoListChange")->isEnabled());
    window.domainList()->select(0);
    window.cDomainD_Click();
    const QStringList shuffled = window.domainList()->entries();
    QTest::mouseClick(window.controls().cmdRandomN, Qt::LeftButton);
    undo();
    QCOMPARE(window.domainList()->entries(), shuffled);
}

QTEST_MAIN(TestGuiLists)
#include "tst_gui_lists.moc"
