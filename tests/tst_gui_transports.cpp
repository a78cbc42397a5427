// The window's settings for encrypted transports, run against a real resolver on loopback:
// the trusted CA file chosen through its button (the file dialog answered in the test's
// place) and the fresh-connection check box, both reaching the probe and kept across a
// restart. Then the resolver checked before its lookups: the Checks tab, and the encrypted
// endpoints it designates added to the server list, each once.

#include "checksview.h"
#include "copyrows.h"
#include "core/checks/checkstablemodel.h"
#include "core/probe/probe.h"
#include "core/results/figures.h"
#include "core/results/resultmodels.h"
#include "core/run/benchmarkengine.h"
#include "fixtures/realresolver.h"
#include "guisupport/windowdriver.h"
#include "windowsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace tarnbell;
using testing::RealResolver;

namespace {

// Runs the window's lists once; the rows' response texts. The transport controls must stay
// locked until the completion box is dismissed.
QStringList run(frmMain& window) {
    const auto& ui = window.controls();
    window.cmdClear_Click();
    QSignalSpy finished(&window, &frmMain::runFinished);
    ui.cmdGo->click();
    if (!finished.wait(30000))
        return {QStringLiteral("no end")};
    QStringList times;
    const QList<QWidget*> locked{ui.chkFreshConnections, ui.cmdCaFile, ui.cmdClearCaFile,
                                 ui.chkChecks, window.checks()->addButton()};
    for (const QWidget* control : locked) {
        if (control->isEnabled())
            times << control->objectName() + QStringLiteral(" unlocked");
    }
    testing::acceptMessage();
    for (int row = 0; row < window.lookupModel()->rowCount(); ++row)
        times << window.lookupModel()
                     ->index(row, core::LookupTableModel::ResponseTime)
                     .data()
                     .toString();
    return times;
}

bool allAnswered(const QStringList& times) {
    return times.size() == 3 && std::all_of(times.cbegin(), times.cend(), [](const QString& t) {
               return t.endsWith(QStringLiteral(" ms"));
           });
}

int connections(const frmMain& window) {
    return window.engine()->figures().servers().value(0).connections;
}

} // namespace

class TestGuiTransports final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TARNBELL_START_SERVER(m_resolver); }
    void caFileAndFreshConnections();
    void checksAndDiscoveredEndpoints();

private:
    std::unique_ptr<testing::TestWindow> makeWindow(const QString& settingsFile);

    RealResolver m_resolver{true}; // its certificate also covers 127.0.0.1
    QString m_picked;              // what the file dialog answers
};

// Three lookups of one name at the resolver's TLS port, with the settings in `settingsFile`.
std::unique_ptr<testing::TestWindow> TestGuiTransports::makeWindow(const QString& settingsFile) {
    auto test = testing::makeWindow(
        QString(), 100, std::make_unique<core::Probe>(), testing::nowhere(), settingsFile,
        [this](gui::WindowSeams& seams) {
            seams.pickCaFile = [this](QWidget*, const QString&, auto done) { done(m_picked); };
        });
    testing::setLists(*test->window, {m_resolver.tlsEntry()}, {RealResolver::kZone});
    test->window->controls().rounds->setValue(3);
    test->window->show();
    return test;
}

void TestGuiTransports::caFileAndFreshConnections() {
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("tarnbell.ini"));
    auto first = makeWindow(settingsFile);
    const auto& ui = first->window->controls();
    QVERIFY(QTest::qWaitForWindowExposed(first->window.get()));

    // Without the resolver's authority every row says why its certificate was refused.
    const QStringList refused = run(*first->window);
    QCOMPARE(refused.size(), 3);
    for (const QString& time : refused)
        QVERIFY2(time.startsWith(QStringLiteral("certificate not trusted: ")), qPrintable(time));

    // A file without a certificate is refused out loud and not kept.
    m_picked = dir.filePath(QStringLiteral("not-a-ca.pem"));
    QFile notCa(m_picked);
    QVERIFY(notCa.open(QIODevice::WriteOnly) && notCa.write("no certificate here\n") > 0);
    notCa.close();
    ui.cmdCaFile->click();
    QVERIFY(!testing::acceptMessage().isNull());
    QVERIFY(first->window->transports()->caFile().isEmpty());

    // With it, and a connection for every lookup.
    m_picked = m_resolver.caFile();
    ui.cmdCaFile->click();
    QCOMPARE(ui.lblCaFile->text(), QFileInfo(m_picked).fileName());
    ui.chkFreshConnections->click();
    const QStringList fresh = run(*first->window);
    QVERIFY2(allAnswered(fresh), qPrintable(fresh.join(QStringLiteral(", "))));
    QCOMPARE(connections(*first->window), 3);

    // Both are remembered; the box cleared, the lookups share one connection.
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        gui::SaveWindowSettings(*first->window, settings);
    }
    first.reset();
    const auto second = makeWindow(settingsFile);
    QVERIFY(second->window->controls().chkFreshConnections->isChecked());
    QCOMPARE(second->window->transports()->caFile(), m_resolver.caFile());
    second->window->controls().chkFreshConnections->click();
    const QStringList kept = run(*second->window);
    QVERIFY2(allAnswered(kept), qPrintable(kept.join(QStringLiteral(", "))));
    QCOMPARE(connections(*second->window), 1);
}

void TestGuiTransports::checksAndDiscoveredEndpoints() {
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("tarnbell.ini"));
    auto first = makeWindow(settingsFile);
    frmMain& window = *first->window;
    const auto& ui = window.controls();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString udp = m_resolver.udpEntry();
    testing::setLists(window, {udp}, {RealResolver::kZone});
    window.transports()->setCaFile(m_resolver.caFile());
    ui.chkChecks->click();
    const QStringList times = run(window);
    QVERIFY2(allAnswered(times), qPrintable(times.join(QStringLiteral(", "))));

    using Checks = core::ChecksTableModel;
    const Checks& checks = *window.checks()->model();
    QCOMPARE(checks.rowCount(), 1);
    const struct {
        int column;
        const char *words, *evidence; // evidence: found in the tooltip
    } cells[] = {{Checks::Dnssec, "unknown", "REFUSED"},
                 {Checks::Tcp, "answers over TCP", "NOERROR"},
                 {Checks::Nsid, "tb-resolver", ""},
                 {Checks::Discovery, "verified", "the certificate covers 127.0.0.1"}};
    for (const auto& cell : cells) {
        const QModelIndex index = checks.index(0, cell.column);
        QCOMPARE(index.data().toString(), QString(cell.words));
        QVERIFY2(index.data(Qt::ToolTipRole).toString().contains(cell.evidence),
                 qPrintable(index.data(Qt::ToolTipRole).toString()));
    }

    QCOMPARE(gui::SelectedRowsText(*window.checks()->table()).count('\t'),
             Checks::kColumnCount - 1); // Ctrl+C copies the whole row

    // The TLS endpoint is listed already, under a label and with its port spelled out: only
    // the HTTPS one goes in; asked again, through the row's menu, nothing does.
    window.serverList()->append(m_resolver.tlsEntry() + QStringLiteral(" - its DoT"));
    window.checks()->addButton()->click();
    QCOMPARE(window.serverList()->count(), 3);
    QCOMPARE(window.serverList()->entries().last(), m_resolver.httpsEntry());
    QCOMPARE(ui.lS->text(),
             QStringLiteral("Added 1 encrypted endpoint of %1; 1 already listed.").arg(udp));
    window.checks()->table()->findChild<QAction*>(QStringLiteral("addEndpoints"))->trigger();
    QCOMPARE(window.serverList()->count(), 3);
    QVERIFY2(ui.lS->text().startsWith(QStringLiteral("Added 0 ")), qPrintable(ui.lS->text()));

    // Cleared with the other results; the box is remembered, and names of the settings file
    // the domain list would take.
    ui.cmdClear->click();
    QCOMPARE(checks.rowCount(), 0);
    QVERIFY(!window.checks()->addButton()->isEnabled());
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        gui::SaveWindowSettings(window, settings);
        settings.setValue("checks/dnssecNames", QStringList{"ok.test", "not a name"});
        settings.setValue("checks/rebindName", "rebind.test");
    }
    first.reset();
    const auto second = makeWindow(settingsFile);
    QVERIFY(second->window->controls().chkChecks->isChecked());
    const core::CheckNames names = second->window->checkNames();
    QCOMPARE(names.signedName + ' ' + names.rebindName,
             core::CheckNames().signedName + QStringLiteral(" rebind.test"));
}

QTEST_MAIN(TestGuiTransports)
#include "tst_gui_transports.moc"
