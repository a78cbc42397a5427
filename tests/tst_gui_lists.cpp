// The two input lists as a user meets them: "+" with its prompt, the 99-entry limit and the
// domains refused, "-" with its selection rules, "R" shuffling, and the counts beside the
// headings.

#include "core/listlimits.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("selectedAfter");
    const QStringList three{"one", "two", "three"};
    QTest::newRow("middle of three") << three << 1 << QStringList{"one", "three"} << 1;
    QTest::newRow("last of three") << three << 2 << QStringList{"one", "two"} << -1;
    QTest::newRow("one of two") << QStringList{"one", "two"} << 1 << QStringList{"one"} << 0;
    QTest::newRow("only entry") << QStringList{"one"} << 0 << QStringList() << -1;
    QTest::newRow("nothing selected") << three << -1 << three << -1;
    QTest::newRow("duplicate entries")
        << QStringList{"same", "same", "same"} << 1 << QStringList{"same", "same"} << 1;
}

void TestGuiLists::removeSelection() {
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    QFETCH(QStringList, remaining);
    QFETCH(int, selectedAfter);
    for (const core::ListKind kind : {core::ListKind::Domains, core::ListKind::Servers}) {
        const auto test = makeWindow();
        const ListUnderTest target = listOf(*test->window, kind);
        setEntries(target.list, entries);
        target.list->select(selected);
        QCOMPARE(target.list->selectedIndex(), selected);

        QTest::mouseClick(target.remove, Qt::LeftButton);
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

QTEST_MAIN(TestGuiLists)
#include "tst_gui_lists.moc"
