// The two input lists as a user meets them: "+" up to the 99-entry limit with the domains
// refused, editing in place and list files.

#include "core/lists/listfile.h"
#include "core/lists/listlimits.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::answerInput;
using testing::makeWindow;

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

void setEntries(gui::EntryList* list, const QStringList& entries) {
    list->widget()->clear();
    for (const QString& entry : entries)
        list->append(entry);
}

QStringList numbered(int count) {
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << QStringLiteral("host%1.example").arg(i);
    return entries;
}

// What "+" or an edit does with an answer: the entry taken, nothing changed, or a box
// instead (a domain no query can carry, a full list).
enum class Answer { Taken, Ignored, Refused };

} // namespace

class TestGuiLists final : public QObject {
    Q_OBJECT

private slots:
    void addEntry_data();
    void addEntry();
    void editEntry_data();
    void editEntry();
    void listFiles_data();
    void listFiles();
};

void TestGuiLists::addEntry_data() {
    QTest::addColumn<core::ListKind>("kind");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<Answer>("answer");
    const auto domains = core::ListKind::Domains;
    const auto servers = core::ListKind::Servers;
    const QString name = QStringLiteral("example.com");
    QTest::newRow("domain, twice")
        << domains << QStringList{name} << name << false << Answer::Taken;
    QTest::newRow("empty answer") << domains << QStringList() << QString() << false
                                  << Answer::Ignored;
    QTest::newRow("cancel") << domains << QStringList() << name << true << Answer::Ignored;
    QTest::newRow("255-byte label")
        << domains << QStringList() << QString(255, 'y') << false << Answer::Taken;
    QTest::newRow("256-byte label")
        << domains << QStringList() << QString(256, 'x') + ".com" << false << Answer::Refused;
    QTest::newRow("server, any text")
        << servers << QStringList() << QString(300, 's') << false << Answer::Taken;
    QTest::newRow("99th entry") << servers << numbered(98) << name << false << Answer::Taken;
    QTest::newRow("full list") << domains << numbered(99) << QString() << false << Answer::Refused;
}

void TestGuiLists::addEntry() {
    QFETCH(core::ListKind, kind);
    QFETCH(QStringList, before);
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(Answer, answer);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, kind);
    setEntries(target.list, before);
    test->window->DoCount();
    QTest::mouseClick(target.add, Qt::LeftButton);
    if (before.size() < 99)
        QVERIFY(answerInput(typed, cancel));
    if (answer == Answer::Refused)
        QVERIFY(!acceptMessage().isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(target.list->entries(),
             before + (answer == Answer::Taken ? QStringList{typed} : QStringList()));
    QCOMPARE(target.count->text(), QString::number(target.list->count()));
}

void TestGuiLists::editEntry_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("locked"); // as during a run
    QTest::addColumn<Answer>("answer");
    QTest::newRow("new text") << "b.example" << false << Answer::Taken;
    QTest::newRow("emptied") << QString() << false << Answer::Ignored;
    QTest::newRow("domain no query can carry") << QString(256, 'x') << false << Answer::Refused;
    QTest::newRow("locked") << "b.example" << true << Answer::Ignored;
}

// A double-click on an entry opens it for editing.
void TestGuiLists::editEntry() {
    QFETCH(QString, typed);
    QFETCH(bool, locked);
    QFETCH(Answer, answer);
    const auto test = makeWindow();
    test->window->show();
    QVERIFY(QTest::qWaitForWindowActive(test->window.get()));
    const ListUnderTest target = listOf(*test->window, core::ListKind::Domains);
    setEntries(target.list, {"first", "a.example", "last"});
    target.add->setEnabled(!locked);
    // A press, then the double-click event itself: QTest's own double click leaves the
    // view's pressed item unset here.
    QListWidget* widget = target.list->widget();
    const QPoint at = widget->visualItemRect(widget->item(1)).center();
    QTest::mousePress(widget->viewport(), Qt::LeftButton, {}, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, widget->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget->viewport(), &twice);
    QTest::mouseRelease(widget->viewport(), Qt::LeftButton, {}, at);

    auto* input = testing::waitForModal<QInputDialog>(locked ? 100 : 5000);
    QCOMPARE(input != nullptr, !locked);
    if (input) {
        QCOMPARE(input->textValue(), QStringLiteral("a.example")); // the entry, to change
        QVERIFY(answerInput(typed));
    }
    if (answer == Answer::Refused)
        QVERIFY(!acceptMessage().isEmpty());
    const QString second = answer == Answer::Taken ? typed : QStringLiteral("a.example");
    QCOMPARE(target.list->entries(), QStringList({"first", second, "last"}));
}

void TestGuiLists::listFiles_data() {
    QTest::addColumn<QByteArray>("file"); // empty: the file the list's export writes
    QTest::addColumn<QStringList>("imported");
    QTest::addColumn<bool>("noted"); // the user is told that entries were left out
    QTest::newRow("round trip") << QByteArray()
                                << QStringList{"192.0.2.1 - mine", "b.example", "192.0.2.1 - mine"}
                                << false;
    QByteArray tooMany = QByteArray(256, 'x') + ".com\n";
    for (const QString& host : numbered(120))
        tooMany += host.toUtf8() + '\n';
    QTest::newRow("over the limit, one unqueryable") << tooMany << numbered(99) << true;
}

void TestGuiLists::listFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, imported);
    QFETCH(bool, noted);
    const auto test = makeWindow();
    const ListUnderTest target = listOf(*test->window, core::ListKind::Domains);
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
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    }
    setEntries(target.list, {"replaced.example"});
    widget->findChild<QAction*>(QStringLiteral("importList"))->trigger();
    answerDialog();
    QCOMPARE(!acceptMessage(noted ? 5000 : 100).isNull(), noted);
    QCOMPARE(target.list->entries(), imported);
    QCOMPARE(target.count->text(), QString::number(imported.size()));
}

QTEST_MAIN(TestGuiLists)
#include "tst_gui_lists.moc"
