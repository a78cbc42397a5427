// The two input lists as a user meets them: "+" with its prompt and the 99-entry limit,
// "-" with its selection rules, "R" shuffling, and the counts beside the headings.

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
    void unqueryableDomainRefused();
    void removeSelection_data();
    void removeSelection();
    void shuffleKeepsEntries_data();
    void shuffleKeepsEntries();
};

void TestGuiLists::addUpToLimit_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<int>("otherListSize");
    QTest::newRow("domains") << core::ListKind::Domains << 0;
    QTest::newRow("servers") << core::ListKind::Servers << 0;
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

    // With 99 it shows the four-line message and asks nothing.
    QTest::mouseClick(target.add, Qt::LeftButton);
    auto* box = testing::waitForModal<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("Tarnbell"));
    QCOMPARE(box->text(), core::ListFullMessage(kind));
    QCOMPARE(box->text().split(QStringLiteral("\r\n")).size(), 4);
    QCOMPARE(box->buttons().size(), 1);
    QCOMPARE(acceptMessage(), core::ListFullMessage(kind));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(target.list->count(), 99);
}

void TestGuiLists::addAnswers_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("domain as typed") << core::ListKind::Domains << QStringLiteral("example.com")
                                     << false << QStringList{"example.com"};
    QTest::newRow("blanks kept") << core::ListKind::Domains << QStringLiteral("  example.com ")
                                 << false << QStringList{"  example.com "};
    QTest::newRow("empty answer") << core::ListKind::Domains << QString() << false << QStringList();
    QTest::newRow("cancel") << core::ListKind::Domains << QStringLiteral("example.com") << true
                            << QStringList();
    QTest::newRow("server with port")
        << core::ListKind::Servers << QStringLiteral("127.0.0.1:5353 - mine") << false
        << QStringList{"127.0.0.1:5353 - mine"};
    // Servers are not checked as domains are: any text is an entry.
    QTest::newRow("long server text") << core::ListKind::Servers << QString(300, QLatin1Char('s'))
                                      << false << QStringList{QString(300, QLatin1Char('s'))};
}

void TestGuiLists::addAnswers() {
    QFETCH(core::ListKind, kind);
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(QStringList, added);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    const QStringList before = target.list->entries();
    target.count->setText(QStringLiteral("stale")); // shows that the counts are redrawn

    QTest::mouseClick(target.add, Qt::LeftButton);
    QVERIFY(!answerInput(typed, cancel).isNull());
    QCOMPARE(target.list->entries(), before + added);
    QCOMPARE(target.count->text(), QString::number(target.list->count()));

    // The same text twice gives two entries.
    if (!added.isEmpty()) {
        QTest::mouseClick(target.add, Qt::LeftButton);
        QVERIFY(!answerInput(typed).isNull());
        QCOMPARE(target.list->entries(), before + added + added);
    }
}

void TestGuiLists::unqueryableDomainRefused() {
    const auto test = makeWindow();
    const ListUnderTest domains = listOf(*test->window, core::ListKind::Domains);
    const QString tooLongLabel = QString(256, QLatin1Char('x')) + QStringLiteral(".com");

    QTest::mouseClick(domains.add, Qt::LeftButton);
    QVERIFY(!answerInput(tooLongLabel).isNull());
    const QString message = acceptMessage();
    QCOMPARE(message, core::DomainQueryProblem(tooLongLabel));
    QVERIFY(!message.isEmpty());
    QCOMPARE(domains.list->count(), 0);
    QCOMPARE(domains.count->text(), QStringLiteral("0"));

    // A 255-byte label still fits its length byte and is kept.
    const QString longestLabel = QString(255, QLatin1Char('y'));
    QTest::mouseClick(domains.add, Qt::LeftButton);
    QVERIFY(!answerInput(longestLabel).isNull());
    QCOMPARE(domains.list->entries(), QStringList{longestLabel});
    QVERIFY(!QApplication::activeModalWidget());
}

void TestGuiLists::removeSelection_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("selectedAfter");
    const QStringList three{"one", "two", "three"};
    QTest::newRow("middle of three") << three << 1 << QStringList{"one", "three"} << 1;
    QTest::newRow("first of three") << three << 0 << QStringList{"two", "three"} << 0;
    QTest::newRow("last of three") << three << 2 << QStringList{"one", "two"} << -1;
    QTest::newRow("one of two") << QStringList{"one", "two"} << 1 << QStringList{"one"} << 0;
    QTest::newRow("only entry") << QStringList{"one"} << 0 << QStringList() << -1;
    QTest::newRow("nothing selected") << three << -1 << three << -1;
    QTest::newRow("empty list") << QStringList() << -1 << QStringList() << -1;
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

void TestGuiLists::shuffleKeepsEntries_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("empty") << QStringList();
    QTest::newRow("one") << QStringList{"only.example"};
    QTest::newRow("with duplicates") << QStringList{"a", "b", "a", "c ", "c"};
    QStringList full;
    for (int i = 0; i < 99; ++i)
        full << QStringLiteral("host%1.example").arg(i);
    QTest::newRow("full") << full;
}

void TestGuiLists::shuffleKeepsEntries() {
    QFETCH(QStringList, entries);
    for (const core::ListKind kind : {core::ListKind::Domains, core::ListKind::Servers}) {
        const auto test = makeWindow();
        const ListUnderTest target = listOf(*test->window, kind);
        setEntries(target.list, entries);
        target.list->select(entries.size() - 1);

        QTest::mouseClick(target.shuffle, Qt::LeftButton);
        QStringList after = target.list->entries();
        if (entries.size() < 2)
            QCOMPARE(after, entries);
        else if (entries.size() == 99)
            QVERIFY(after != entries);
        QStringList sortedBefore = entries;
        sortedBefore.sort();
        after.sort();
        QCOMPARE(after, sortedBefore);
        QCOMPARE(target.list->selectedIndex(), -1);
        QVERIFY(!QApplication::activeModalWidget());
    }
}

QTEST_MAIN(TestGuiLists)
#include "tst_gui_lists.moc"
