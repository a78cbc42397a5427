// "Export CSV" in the window: the text taken from both result lists as shown, the save
// dialog (its filters, starting folder and place), and the file written, replaced, not
// written on Cancel, and reported when it cannot be written.

#include "closeguard.h"
#include "fixtures/readonlydir.h"
#include "guisupport/windowdriver.h"
#include "modcommondialog.h"
#include "resultview.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::TestWindow;
using testing::waitForModal;

namespace {

// The export of the run below: lookups in run order, the summary by mean (10.0.0.2 first).
const QByteArray kRunExport = "\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                              "\"a.example\",\"10.0.0.1 - \"\"lab\"\"\",\"47 ms\"\r\n"
                              "\"b.example\",\"10.0.0.1 - \"\"lab\"\"\",\"121 ms\"\r\n"
                              "\"a.example\",\"10.0.0.2\",\"10 ms\"\r\n"
                              "\"b.example\",\"10.0.0.2\",\"22 ms\"\r\n"
                              "\r\n\r\n"
                              "\"DNS Server\",\"Mean Response\",\"Median Response\"\r\n"
                              "\"10.0.0.2\",\"16 ms\",\"16 ms\"\r\n"
                              "\"10.0.0.1 - \"\"lab\"\"\",\"84 ms\",\"84 ms\"\r\n"
                              "\r\n";

std::unique_ptr<TestWindow> windowAfterRun() {
    auto test = makeWindow();
    frmMain& window = *test->window;
    testing::setLists(window, {"10.0.0.1 - \"lab\"", "10.0.0.2"}, {"a.example", "b.example"});
    // Seconds clear of whole-millisecond boundaries.
    using Reply = testing::ScriptedProbe::Reply;
    test->probe->setReply("10.0.0.1", "a.example", Reply::answered(0.0475));
    test->probe->setReply("10.0.0.1", "b.example", Reply::answered(0.1215));
    test->probe->setReply("10.0.0.2", "a.example", Reply::answered(0.0105));
    test->probe->setReply("10.0.0.2", "b.example", Reply::answered(0.0225));
    window.show();
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    if (acceptMessage().isNull())
        return nullptr;
    if (!QTest::qWaitFor([&] { return !window.isRunning(); }, 5000))
        return nullptr;
    return test;
}

QFileDialog* clickExport(frmMain& window) {
    QTest::mouseClick(window.controls().cmdExport, Qt::LeftButton);
    return waitForModal<QFileDialog>();
}

// Types `path` into the dialog's file-name field and presses `button`.
void answer(QFileDialog* dialog, const QString& path,
            QDialogButtonBox::StandardButton button = QDialogButtonBox::Save) {
    QVERIFY(dialog);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
    QPushButton* pressed = dialog->findChild<QDialogButtonBox*>("buttonBox")->button(button);
    QVERIFY(pressed && pressed->isEnabled());
    pressed->click();
    QTRY_VERIFY(!dialog->isVisible());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestGuiExport final : public QObject {
    Q_OBJECT

private slots:
    void exportAfterRun();
    void dialogPlacedAndCancelWritesNothing();
    void failedWriteIsReported();
    void exportDuringRunHasEveryRowSoFar();
};

// An existing file is replaced without a question, under the name as typed: no extension
// is added and no temporary file is left. The columns are those the header shows: a hidden
// key column dragged open joins the export, a visible one shrunk to 1 leaves it.
void TestGuiExport::exportAfterRun() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir dir;
    const QString path = dir.filePath("results");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();
    QVERIFY(test->window->closeGuard()->hasUnexported());
    answer(clickExport(*test->window), path);
    QCOMPARE(readAll(path), kRunExport);
    QVERIFY(!test->window->closeGuard()->hasUnexported()); // closing asks nothing now
    QCOMPARE(entriesOf(dir.path()), QStringList{"results"});
    QVERIFY(!waitForModal<QWidget>(200));

    const auto& ui = test->window->controls();
    ui.lvSummary->header()->resizeSection(2, 2);
    ui.lvSummary->header()->resizeSection(3, 1);
    ui.lvDNS->header()->resizeSection(3, 50); // the last column: never exported
    answer(clickExport(*test->window), path);
    const QByteArray text = readAll(path);
    QVERIFY2(text.startsWith("\"Domain\",\"DNS Server\",\"Response Time\"\r\n\"a.example\","),
             text.constData());
    QVERIFY2(text.contains("\r\n\"DNS Server\",\"Mean Response\",\"Real Mean Response Time\"\r\n"
                           "\"10.0.0.2\",\"16 ms\",\"00000016\"\r\n"),
             text.constData());
}

// The dialog opens centred on the window even where that puts part of it off the screen
// (half pixels round to even), in the program's folder while that is writable; Cancel
// writes nothing.
void TestGuiExport::dialogPlacedAndCancelWritesNothing() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.show();
    window.move(-500, 10);
    QFileDialog* dialog = clickExport(window);
    QVERIFY(dialog);
    const QPoint offset = dialog->frameGeometry().center() - window.frameGeometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QString("off by %1,%2").arg(offset.x()).arg(offset.y())));
    QCOMPARE(gui::CentreOverOwner(QRect(0, 0, 801, 600), QSize(400, 300)), QPoint(200, 150));
    QCOMPARE(gui::CentreOverOwner(QRect(0, 0, 803, 600), QSize(400, 300)), QPoint(202, 150));
    QCOMPARE(dialog->nameFilters(), (QStringList{"CSV Files (*.csv)", "All Files (*.*)"}));
    QCOMPARE(dialog->directory().absolutePath(), QCoreApplication::applicationDirPath());

    QTemporaryDir dir;
    answer(dialog, dir.filePath("never.csv"), QDialogButtonBox::Cancel);
    QVERIFY(!waitForModal<QMessageBox>(200));
    QCOMPARE(entriesOf(dir.path()), QStringList());

    // A program folder the user cannot write (installed) gives way to the documents folder.
    QVERIFY(QDir(dir.path()).mkdir("program") && QDir(dir.path()).mkdir("documents"));
    const QString program = dir.filePath("program");
    const QString documents = dir.filePath("documents");
    QCOMPARE(gui::StartFolder(program, documents), program + '/');
    QCOMPARE(gui::StartFolder(program, dir.filePath("none")), program + '/');
    testing::ReadOnlyDir installed(program);
    if (!installed.isReadOnly())
        QSKIP("cannot make a folder read-only here");
    QCOMPARE(gui::StartFolder(program, documents), documents + '/');
    QCOMPARE(gui::StartFolder(program, dir.filePath("none")), QDir::homePath() + '/');
}

void TestGuiExport::failedWriteIsReported() {
    const auto test = makeWindow();
    test->window->show();
    QTemporaryDir tmp;
    testing::ReadOnlyDir readOnly(tmp.path());
    if (!readOnly.isReadOnly())
        QSKIP("cannot make a folder read-only here");
    const QString path = tmp.filePath("out.csv");
    answer(clickExport(*test->window), path);
    QMessageBox* box = waitForModal<QMessageBox>();
    QVERIFY(box);
    QVERIFY2(box->text().startsWith("The file " + path + " could not be written: "),
             qPrintable(box->text()));
    box->button(QMessageBox::Ok)->click();
}

void TestGuiExport::exportDuringRunHasEveryRowSoFar() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    testing::setLists(window, {"10.0.0.1", "10.0.0.2"}, {"a.example", "b.example"});
    window.show();
    test->probe->setHolding(true);
    QTest::mouseClick(window.controls().cmdGo, Qt::LeftButton);
    for (int asked = 1; asked <= 2; ++asked) {
        QTRY_COMPARE(test->probe->calls().size(), asked);
        QVERIFY(test->probe->release());
    }
    QTRY_COMPARE(test->probe->calls().size(), 3);
    QVERIFY(test->probe->isWaiting());

    QTemporaryDir dir;
    answer(clickExport(window), dir.filePath("midrun.csv"));
    const QList<QByteArray> lines = readAll(dir.filePath("midrun.csv")).split('\n');
    // Header, three rows (the third still waiting), two empty lines, the summary of the
    // first server, the final empty line.
    QCOMPARE(lines.size(), 1 + 3 + 2 + 1 + 1 + 1 + 1);
    QVERIFY(lines[1].startsWith("\"a.example\",\"10.0.0.1\""));
    QVERIFY(lines[3].startsWith("\"a.example\",\"10.0.0.2\",\""));
    QVERIFY(lines[7].startsWith("\"10.0.0.1\","));

    test->probe->setHolding(false);
    QVERIFY(test->probe->release());
    QVERIFY(!acceptMessage().isNull());
    // The rows that came after the export were never written.
    QVERIFY(window.closeGuard()->hasUnexported());
}

QTEST_MAIN(TestGuiExport)
#include "tst_gui_export.moc"
