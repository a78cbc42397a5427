// "Export CSV" in the window: the file written from both result lists as shown, replacing an
// old one under the name as typed, and a failed write reported with nothing lost.

#include "closeguard.h"
#include "core/export/csvexport.h"
#include "fixtures/readonlydir.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnbell;
using testing::acceptMessage;
using testing::makeWindow;
using testing::waitForModal;

namespace {

// Clicks "Export CSV" and saves under `path`.
void exportTo(frmMain& window, const QString& path) {
    QTest::mouseClick(window.controls().cmdExport, Qt::LeftButton);
    auto* dialog = waitForModal<QFileDialog>();
    QVERIFY(dialog);
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
    QTRY_VERIFY(!dialog->isVisible());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestGuiExport final : public QObject {
    Q_OBJECT

private slots:
    void exportAfterRun();
};

// A failed write says so and leaves the results unexported; an existing file is then
// replaced without a question and no temporary file is left. The columns are those the
// header shows: a hidden key column dragged open joins the export.
void TestGuiExport::exportAfterRun() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    testing::setLists(window, {"10.0.0.1 - \"lab\"", "10.0.0.2"}, {"a.example", "=b.example"});
    test->probe->setReply("10.0.0.2", "a.example", testing::ScriptedProbe::Reply::answered(0.0105));
    window.show();
    QTest::mouseClick(ui.cmdGo, Qt::LeftButton);
    QVERIFY(!acceptMessage().isNull());
    QTRY_VERIFY(!window.isRunning());

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    {
        testing::ReadOnlyDir readOnly(dir.filePath("ro"));
        if (!readOnly.isReadOnly())
            QSKIP("cannot make a folder read-only here");
        const QString failed = dir.filePath("ro/out.csv");
        exportTo(window, failed);
        QVERIFY(acceptMessage().startsWith("The file " + failed + " could not be written: "));
        QVERIFY(window.closeGuard()->hasUnexported());
    }
    const QString path = dir.filePath("results");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(10000, 'x')) == 10000);
    old.close();
    ui.lvSummary->header()->resizeSection(2, 2);
    exportTo(window, path);
    QVERIFY(!window.closeGuard()->hasUnexported()); // closing asks nothing now
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"results"});
    const QByteArray text = readAll(path);
    QVERIFY2(text.startsWith("\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                             "\"a.example\",\"10.0.0.1 - \"\"lab\"\"\",\"47 ms\"\r\n"
                             "\"'=b.example\","),
             text.constData());
    QVERIFY2(text.contains("\r\n\r\n\r\n\"DNS Server\",\"Mean Response\",\"Real Mean Response "
                           "Time\",\"Median Response\"\r\n\"10.0.0.2\","),
             text.constData());
}

QTEST_MAIN(TestGuiExport)
#include "tst_gui_export.moc"
