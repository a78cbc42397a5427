// "Export CSV" in the window: the text taken from both result lists as shown, the save
// dialog (its title, filters, starting folder and place), and the file written, replaced,
// not written on Cancel, and reported when it cannot be written.

#include "core/csvexport.h"
#include "entrylist.h"
#include "fixtures/readonlydir.h"
#include "guisupport/windowdriver.h"
#include "modcommondialog.h"
#include "resultview.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::TestWindow;
using testing::waitForModal;

namespace {

// Seconds per server address and domain, clear of whole-millisecond boundaries.
void scriptReplies(testing::ScriptedProbe& probe) {
    using Reply = testing::ScriptedProbe::Reply;
    probe.setReply("10.0.0.1", "a.example", Reply::answered(0.0475));
    probe.setReply("10.0.0.1", "b.example", Reply::answered(0.1215));
    probe.setReply("10.0.0.2", "a.example", Reply::answered(0.0105));
    probe.setReply("10.0.0.2", "b.example", Reply::answered(0.0225));
}

// The export of that run: lookups in run order, the summary by mean (10.0.0.2 first).
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
    scriptReplies(*test->probe);
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

// Types `name` into the dialog's file-name field and presses its Save button.
void saveAs(QFileDialog* dialog, const QString& name) {
    auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(field);
    field->setText(name);
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
    QVERIFY(buttons);
    QPushButton* save = buttons->button(QDialogButtonBox::Save);
    QVERIFY(save && save->isEnabled());
    save->click();
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
    void dialogSettings();
    void dialogCentredOverWindow_data();
    void dialogCentredOverWindow();
    void exportAfterRun();
    void nameWithoutExtensionKept();
    void existingFileReplacedWithoutQuestion();
    void cancelWritesNothing();
    void columnsFollowTheHeader();
    void failedWriteIsReported();
    void exportDuringRunHasEveryRowSoFar();
};

void TestGuiExport::dialogSettings() {
    const auto test = makeWindow();
    test->window->show();
    QFileDialog* dialog = clickExport(*test->window);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QString("Show Save"));
    QCOMPARE(dialog->nameFilters(), (QStringList{"CSV Files (*.csv)", "All Files (*.*)"}));
    QCOMPARE(dialog->selectedNameFilter(), QString("CSV Files (*.csv)"));
    QCOMPARE(dialog->directory().absolutePath(), QCoreApplication::applicationDirPath());
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(dialog->defaultSuffix().isEmpty());
    QVERIFY(dialog->isModal());
    dialog->reject();
}

void TestGuiExport::dialogCentredOverWindow_data() {
    QTest::addColumn<QPoint>("windowAt");
    QTest::newRow("middle of the screen") << QPoint(20, 30);
    // Centred on the owner even where that puts part of the dialog off the screen.
    QTest::newRow("past the left edge") << QPoint(-500, 10);
}

void TestGuiExport::dialogCentredOverWindow() {
    QFETCH(QPoint, windowAt);
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.show();
    window.move(windowAt);
    QFileDialog* dialog = clickExport(window);
    QVERIFY(dialog);
    const QPoint offset = dialog->frameGeometry().center() - window.frameGeometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QString("off by %1,%2").arg(offset.x()).arg(offset.y())));
    dialog->reject();

    QCOMPARE(gui::CentreOverOwner(QRect(0, 0, 801, 600), QSize(400, 300)), QPoint(200, 150));
    QCOMPARE(gui::CentreOverOwner(QRect(0, 0, 803, 600), QSize(400, 300)), QPoint(202, 150));
    QCOMPARE(gui::CentreOverOwner(QRect(-900, 0, 800, 600), QSize(400, 300)), QPoint(-700, 150));
}

void TestGuiExport::exportAfterRun() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir dir;
    saveAs(clickExport(*test->window), dir.filePath("results.csv"));
    QCOMPARE(readAll(dir.filePath("results.csv")), kRunExport);
    QCOMPARE(entriesOf(dir.path()), QStringList{"results.csv"});
    QVERIFY(!QApplication::activeModalWidget());
}

void TestGuiExport::nameWithoutExtensionKept() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir dir;
    saveAs(clickExport(*test->window), dir.filePath("results"));
    QCOMPARE(entriesOf(dir.path()), QStringList{"results"});
    QCOMPARE(readAll(dir.filePath("results")), kRunExport);
}

void TestGuiExport::existingFileReplacedWithoutQuestion() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir dir;
    const QString path = dir.filePath("old.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();
    saveAs(clickExport(*test->window), path);
    QCOMPARE(readAll(path), kRunExport);
    QVERIFY(!waitForModal<QMessageBox>(200));
}

void TestGuiExport::cancelWritesNothing() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir dir;
    QFileDialog* dialog = clickExport(*test->window);
    QVERIFY(dialog);
    dialog->setDirectory(dir.path());
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText("never.csv");
    dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
    QTRY_VERIFY(!dialog->isVisible());
    QVERIFY(!waitForModal<QMessageBox>(200));
    QCOMPARE(entriesOf(dir.path()), QStringList());
}

void TestGuiExport::columnsFollowTheHeader() {
    // A hidden key column dragged open joins the export; a visible one shrunk to 1 leaves it.
    const auto test = windowAfterRun();
    QVERIFY(test);
    const auto& ui = test->window->controls();
    ui.lvSummary->header()->resizeSection(2, 2);
    ui.lvSummary->header()->resizeSection(3, 1);
    ui.lvDNS->header()->resizeSection(3, 50); // the last column: never exported
    QTemporaryDir dir;
    saveAs(clickExport(*test->window), dir.filePath("columns.csv"));
    const QByteArray text = readAll(dir.filePath("columns.csv"));
    QVERIFY2(text.startsWith("\"Domain\",\"DNS Server\",\"Response Time\"\r\n\"a.example\","),
             text.constData());
    QVERIFY2(text.contains("\r\n\"DNS Server\",\"Mean Response\",\"Real Mean Response Time\"\r\n"
                           "\"10.0.0.2\",\"16 ms\",\"00000016\"\r\n"),
             text.constData());
}

void TestGuiExport::failedWriteIsReported() {
    const auto test = windowAfterRun();
    QVERIFY(test);
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("locked");
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + "/old.csv";
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old contents\r\n");
    old.close();
    testing::ReadOnlyDir readOnly(dir);
    if (!readOnly.isReadOnly())
        QSKIP("cannot make a folder read-only here");

    saveAs(clickExport(*test->window), path);
    QMessageBox* box = waitForModal<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString("Tarnbell"));
    QVERIFY2(box->text().startsWith("The file " + path + " could not be written: "),
             qPrintable(box->text()));
    box->button(QMessageBox::Ok)->click();
    QCOMPARE(readAll(path), QByteArray("old contents\r\n"));
    QCOMPARE(entriesOf(dir), QStringList{"old.csv"});
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
    saveAs(clickExport(window), dir.filePath("midrun.csv"));
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
}

QTEST_MAIN(TestGuiExport)
#include "tst_gui_export.moc"
