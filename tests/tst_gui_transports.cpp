// The window's settings for encrypted transports, run against a real resolver on loopback:
// the trusted CA file chosen through its button (the file dialog answered in the test's
// place) and the fresh-connection check box, both reaching the probe and kept across a
// restart.

#include "core/probe/probe.h"
#include "core/results/figures.h"
#include "core/results/resultmodels.h"
#include "core/run/benchmarkengine.h"
#include "fixtures/realresolver.h"
#include "guisupport/windowdriver.h"
#include "windowsettings.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
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
    const QList<QWidget*> locked{ui.chkFreshConnections, ui.cmdCaFile, ui.cmdClearCaFile};
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

private:
    std::unique_ptr<testing::TestWindow> makeWindow(const QString& settingsFile);

    RealResolver m_resolver;
    QString m_picked; // what the file dialog answers
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

QTEST_MAIN(TestGuiTransports)
#include "tst_gui_transports.moc"
