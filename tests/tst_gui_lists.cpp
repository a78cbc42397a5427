// The two input lists as a user meets them: "+" with its prompt, the 99-entry limit and the
// domains refused, "-" and Delete with their selection rules, editing in place, "R"
// shuffling, the counts beside the headings, Ctrl+C and list files.

#include "core/listfile.h"
#include "core/listlimits.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::answerInput;
using testing::makeWindow;

namespace {

struct ListUnderTest {
    gui::EntryList* list;
    QPushButton* add;
    QPushButton* remove;
    QPushButton* shuffle;
    QLabel* count;
};

ListUnderTest listOf(frmMain& window, core::ListKind kind) {
    const auto& ui = window.controls();
    if (kind == core::ListKind::Domains)
        return {window.domainList(), ui.cDomain, ui.cDomainD, ui.cmdRandomN, ui.ncount};
    return {window.serverList(), ui.cServers, ui.cServersD, ui.cmdRandomD, ui.dcount};
}

void fillTo(gui::EntryList* list, int size) {
    while (list->count() < size)
        list->append(QStringLiteral("host%1.example").arg(list->count()));
}

// What "+" does with an answer.
enum class Answer { Added, Ignored, Refused };

void setEntries(gui::EntryList* list, const QStringList& entries) {
    list->widget()->clear();
    for (const QString& entry : entries)
        list->append(entry);
}

} // namespace

class TestGuiLists final : public QObject {
    Q_OBJECT

private slots:
    void addUpToLimit_data();
    void addUpToLimit();
    void addAnswers_data();
    void addAnswers();
    void removeSelection_data();
    void removeSelection();
    void shuffleKeepsEntries();
    void editEntry_data();
    void editEntry();
    void copyRows();
    void listFiles_data();
    void listFiles();
};

void TestGuiLists::addUpToLimit_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<int>("otherListSize");
    QTest::newRow("domains") << core::ListKind::Domains << 0;
    // Each list is counted on its own, whatever the other holds.
    QTest::newRow("servers beside a full domain list") << core::ListKind::Servers << 99;
}

void TestGuiLists::addUpToLimit() {
    QFETCH(core::ListKind, kind);
    QFETCH(int, otherListSize);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    const auto other =
        kind == core::ListKind::Domains ? core::ListKind::Servers : core::ListKind::Domains;
    fillTo(listOf(*test->window, other).list, otherListSize);
    fillTo(target.list, 98);

    // With 98 entries "+" asks, and takes a 99th.
    QTest::mouseClick(target.add, Qt::LeftButton);
    QCOMPARE(answerInput(QStringLiteral("ninety-nine")), core::AddEntryPrompt(kind));
    QCOMPARE(target.list->count(), 99);
    QCOMPARE(target.list->entries().constLast(), QStringLiteral("ninety-nine"));
    QCOMPARE(target.count->text(), QStringLiteral("99"));

    // With 99 it shows the list's full message and asks nothing.
    QTest::mouseClick(target.add, Qt::LeftButton);
    QCOMPARE(acceptMessage(), core::ListFullMessage(kind));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(target.list->count(), 99);
}

void TestGuiLists::addAnswers_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<Answer>("answer");
    const auto domains = core::ListKind::Domains;
    QTest::newRow("domain as typed")
        << domains << QStringLiteral("example.com") << false << Answer::Added;
    QTest::newRow("blanks kept") << domains << QStringLiteral("  example.com ") << false
                                 << Answer::Added;
    QTest::newRow("empty answer") << domains << QString() << false << Answer::Ignored;
    QTest::newRow("cancel") << domains << QStringLiteral("example.com") << true << Answer::Ignored;
    // A domain no query can carry is refused with a message; 255 bytes still fit a label.
    QTest::newRow("255-byte label")
        << domains << QString(255, QLatin1Char('y')) << false << Answer::Added;
    QTest::newRow("256-byte label")
        << domains << QString(256, QLatin1Char('x')) + ".com" << false << Answer::Refused;
    // Servers are not checked as domains are: any text is an entry.
    QTest::newRow("long server text")
        << core::ListKind::Servers << QString(300, QLatin1Char('s')) << false << Answer::Added;
}

void TestGuiLists::addAnswers() {
    QFETCH(core::ListKind, kind);
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(Answer, answer);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    const QStringList before = target.list->entries();
    target.count->setText(QStringLiteral("stale")); // shows that the counts are redrawn

    QTest::mouseClick(target.add, Qt::LeftButton);
    QVERIFY(!answerInput(typed, cancel).isNull());
    if (answer == Answer::Refused) {
        QCOMPARE(acceptMessage(), core::DomainQueryProblem(typed));
        QVERIFY(!core::DomainQueryProblem(typed).isEmpty());
    }
    QVERIFY(!QApplication::activeModalWidget());
    const QStringList entry = answer == Answer::Added ? QStringList{typed} : QStringList();
    QCOMPARE(target.list->entries(), before + entry);
    QCOMPARE(target.count->text(), QString::number(target.list->count()));

    // The same text twice gives two entries.
    if (answer == Answer::Added) {
        QTest::mouseClick(target.add, Qt::LeftButton);
        QVERIFY(!answerInput(typed).isNull());
        QCOMPARE(target.list->entries(), before + entry + entry);
    }
}

void TestGuiLists::removeSelection_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("deleteKey"); // Delete in the list instead of a click on "-"
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("selectedAfter");
    const QStringList three{"one", "two", "three"};
    const QStringList five{"a", "b", "c", "d", "e"};
    QTest::newRow("middle of three")
        << three << QList<int>{1} << false << QStringList{"one", "three"} << 1;
    QTest::newRow("last of three")
        << three << QList<int>{2} << false << QStringList{"one", "two"} << -1;
    QTest::newRow("one of two") << QStringList{"one", "two"} << QList<int>{1} << false
                                << QStringList{"one"} << 0;
    QTest::newRow("only entry") << QStringList{"one"} << QList<int>{0} << false << QStringList()
                                << -1;
    QTest::newRow("nothing selected") << three << QList<int>() << true << three << -1;
    QTest::newRow("duplicate entries") << QStringList{"same", "same", "same"} << QList<int>{1}
                                       << false << QStringList{"same", "same"} << 1;
    // Several at once: the entry that moved into the first removed one's place is selected.
    QTest::newRow("two apart, Delete")
        << five << QList<int>{3, 1} << true << QStringList{"a", "c", "e"} << 1;
    QTest::newRow("two apart, -") << five << QList<int>{1, 3} << false << QStringList{"a", "c", "e"}
                                  << 1;
    QTest::newRow("all but one") << five << QList<int>{0, 1, 2, 4} << true << QStringList{"d"} << 0;
    QTest::newRow("the last two") << five << QList<int>{3, 4} << true << QStringList{"a", "b", "c"}
                                  << -1;
    QTest::newRow("all") << five << QList<int>{0, 1, 2, 3, 4} << true << QStringList() << -1;
}

void TestGuiLists::removeSelection() {
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, selected);
    QFETCH(bool, deleteKey);
    QFETCH(QStringList, remaining);
    QFETCH(int, selectedAfter);
    for (const core::ListKind kind : {core::ListKind::Domains, core::ListKind::Servers}) {
        const auto test = makeWindow();
        test->window->show();
        QVERIFY(QTest::qWaitForWindowActive(test->window.get()));
        const ListUnderTest target = listOf(*test->window, kind);
        setEntries(target.list, entries);
        for (const int row : selected)
            target.list->widget()->item(row)->setSelected(true);

        if (deleteKey) {
            target.list->widget()->setFocus();
            QTest::keyClick(target.list->widget(), Qt::Key_Delete);
        } else {
            QTest::mouseClick(target.remove, Qt::LeftButton);
        }
        QCOMPARE(target.list->entries(), remaining);
        QCOMPARE(target.list->selectedIndex(), selectedAfter);
        QCOMPARE(target.count->text(), QString::number(remaining.size()));
    }
}

void TestGuiLists::shuffleKeepsEntries() {
    QStringList entries{"dup.example", "dup.example"};
    while (entries.size() < 99)
        entries << QStringLiteral("host%1.example").arg(entries.size());
    for (const core::ListKind kind : {core::ListKind::Domains, core::ListKind::Servers}) {
        const auto test = makeWindow();
        const ListUnderTest target = listOf(*test->window, kind);
        setEntries(target.list, entries);
        target.list->select(98);

        QTest::mouseClick(target.shuffle, Qt::LeftButton);
        QStringList after = target.list->entries();
        QVERIFY(after != entries); // 1 in 99!/2 to fail
        after.sort();
        QStringList sortedBefore = entries;
        sortedBefore.sort();
        QCOMPARE(after, sortedBefore);
        QCOMPARE(target.list->selectedIndex(), -1);
    }
}

void TestGuiLists::editEntry_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<Answer>("answer");
    const auto domains = core::ListKind::Domains;
    QTest::newRow("new text") << domains << QStringLiteral("b.example") << false << Answer::Added;
    QTest::newRow("emptied") << domains << QString() << false << Answer::Ignored;
    QTest::newRow("cancel") << domains << QStringLiteral("b.example") << true << Answer::Ignored;
    QTest::newRow("domain no query can carry")
        << domains << QString(256, QLatin1Char('x')) << false << Answer::Refused;
    QTest::newRow("server, any text")
        << core::ListKind::Servers << QString(256, QLatin1Char('s')) << false << Answer::Added;
}

void TestGuiLists::editEntry() {
    QFETCH(core::ListKind, kind);
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(Answer, answer);
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const ListUnderTest target = listOf(window, kind);
    setEntries(target.list, {"first", "a.example", "last"});
    QListWidget* widget = target.list->widget();
    const auto doubleClick = [widget] {
        // A press, then the double-click event itself: QTest's own double click leaves the
        // view's pressed item unset here.
        const QPoint at = widget->visualItemRect(widget->item(1)).center();
        QTest::mousePress(widget->viewport(), Qt::LeftButton, {}, at);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, widget->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget->viewport(), &twice);
        QTest::mouseRelease(widget->viewport(), Qt::LeftButton, {}, at);
    };

    doubleClick();
    QInputDialog* input = testing::waitForModal<QInputDialog>();
    QVERIFY(input);
    QCOMPARE(input->textValue(), QStringLiteral("a.example")); // the entry, to change
    input->setTextValue(QString());
    QVERIFY(!answerInput(typed, cancel).isNull());
    if (answer == Answer::Refused)
        QCOMPARE(acceptMessage(), core::DomainQueryProblem(typed));
    const QString second = answer == Answer::Added ? typed : QStringLiteral("a.example");
    QCOMPARE(target.list->entries(), QStringList({"first", second, "last"}));

    // While a run has the list locked a double-click edits nothing.
    target.add->setEnabled(false);
    doubleClick();
    QVERIFY(!testing::waitForModal<QInputDialog>(100));
}

void TestGuiLists::copyRows() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    testing::setLists(window, {"127.0.0.7 - seven"}, {"a.example", "b.example", "c.example"});
    QListWidget* domains = window.controls().lDomains;
    domains->item(2)->setSelected(true);
    domains->item(0)->setSelected(true);
    domains->setFocus();
    QTest::keyClick(domains, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a.example\nc.example\n"));

    // Result rows as shown: visible columns only, tab-separated, in the order on screen.
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    QVERIFY(!acceptMessage().isEmpty());
    window.activateWindow(); // back from the completion box
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTreeView* summary = window.controls().lvSummary;
    summary->selectAll();
    summary->setFocus();
    QTest::keyClick(summary, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("127.0.0.7 - seven\t47 ms\t47 ms\n"));
    QTreeView* lookups = window.controls().lvDNS;
    lookups->header()->moveSection(1, 0);
    lookups->selectionModel()->select(lookups->model()->index(1, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    lookups->setFocus();
    QTest::keyClick(lookups, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("127.0.0.7 - seven\tb.example\t47 ms\n"));
}

void TestGuiLists::listFiles_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QByteArray>("file"); // empty: the file the list's export writes
    QTest::addColumn<QStringList>("imported");
    QTest::addColumn<bool>("noted"); // the user is told that entries were left out
    const QStringList entries{"192.0.2.1 - mine", "b.example", "192.0.2.1 - mine"};
    QTest::newRow("servers round trip")
        << core::ListKind::Servers << QByteArray() << entries << false;
    QTest::newRow("domains round trip")
        << core::ListKind::Domains << QByteArray() << entries << false;
    // The command-line tool's format: comments, blank lines, CR LF, surrounding blanks.
    QTest::newRow("written by hand")
        << core::ListKind::Domains << QByteArray("# mine\r\n\r\n  a.example \r\nb.example\r\n")
        << QStringList{"a.example", "b.example"} << false;
    QByteArray tooMany = QByteArray(256, 'x') + ".com\n";
    QStringList first99;
    for (int i = 0; i < 120; ++i) {
        tooMany += QStringLiteral("host%1.example\n").arg(i).toUtf8();
        if (i < 99)
            first99 << QStringLiteral("host%1.example").arg(i);
    }
    QTest::newRow("over the limit, one unqueryable")
        << core::ListKind::Domains << tooMany << first99 << true;
}

void TestGuiLists::listFiles() {
    QFETCH(core::ListKind, kind);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, imported);
    QFETCH(bool, noted);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const auto answerDialog = [&path] {
        auto* dialog = testing::waitForModal<QFileDialog>();
        QVERIFY(dialog);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    QListWidget* widget = target.list->widget();
    if (file.isEmpty()) {
        setEntries(target.list, imported);
        widget->findChild<QAction*>(QStringLiteral("exportList"))->trigger();
        answerDialog();
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(core::entryTexts(core::parseListText(QString::fromUtf8(written.readAll()))),
                 imported);
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    setEntries(target.list, {"replaced.example"});
    target.count->setText(QStringLiteral("stale"));

    widget->findChild<QAction*>(QStringLiteral("importList"))->trigger();
    answerDialog();
    QCOMPARE(!acceptMessage(noted ? 5000 : 100).isNull(), noted);
    QCOMPARE(target.list->entries(), imported);
    QCOMPARE(target.count->text(), QString::number(imported.size()));
}

QTEST_MAIN(TestGuiLists)
#include "tst_gui_lists.moc"
