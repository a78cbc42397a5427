#include "harvestcontrol.h"

#include "core/lists/listlimits.h"
#include "dialogs.h"
#include "entrylist.h"
#include "frmMain.h"
#include "runtimers.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarnbell::gui {

HarvestControl::HarvestControl(frmMain& window, const HarvestTarget& target)
    : QObject(&window), m_window(window), m_target(target), m_harvester(new core::Harvester(this)) {
    m_harvester->setTimeLimit(target.timeLimit);
    connect(m_harvester, &core::Harvester::statusChanged, window.controls().lS, &QLabel::setText);
    connect(m_harvester, &core::Harvester::namesHarvested, this, &HarvestControl::onNamesHarvested);
    connect(m_harvester, &core::Harvester::finished, this, &HarvestControl::onFinished);
    // The program ends next: the connection goes now and nothing more reaches the window.
    connect(&window, &frmMain::closing, m_harvester, &core::Harvester::abort);
    showSearchHost();
}

// The label beside the result count names the service "Get URLs" asks, which the settings
// may change. A long host name is cut in its middle rather than widening the column; the
// tip gives it whole.
void HarvestControl::showSearchHost() {
    QLabel* label = m_window.controls().Label4;
    const QString& host = m_target.search.host;
    const QFontMetrics metrics(label->font());
    const int room = 2 * metrics.horizontalAdvance(core::SearchTarget().host);
    label->setText(QStringLiteral("Search ") + metrics.elidedText(host, Qt::ElideMiddle, room) +
                   QStringLiteral(" for"));
    label->setToolTip(host);
}

// Everything that could start a run or another harvest, or change the record type, the
// number of names or the seed while a request is under way. The list buttons, the export
// and reseed stay usable.
QList<QWidget*> HarvestControl::lockOrder() const {
    const WindowControls& ui = m_window.controls();
    return {ui.cmdConnect, ui.cmdGo, ui.cDNST, ui.cGResults, ui.rand};
}

QList<QWidget*> HarvestControl::unlockOrder() const {
    const WindowControls& ui = m_window.controls();
    return {ui.cGResults, ui.rand, ui.cmdConnect, ui.cmdGo, ui.cDNST};
}

void HarvestControl::start() {
    if (m_harvester->isBusy())
        return;
    if (m_window.domainList()->isFull()) {
        ShowMessage(&m_window, core::ListFullMessage(core::ListKind::Domains));
        return;
    }
    if (m_window.serverList()->isFull()) {
        ShowMessage(&m_window, core::ListFullMessage(core::ListKind::Servers));
        return;
    }
    for (QWidget* control : lockOrder())
        control->setEnabled(false);
    // The countdown to "Ready." would overwrite the harvest's own texts; it starts again
    // when the harvest ends.
    m_window.Timer1()->stop();

    const WindowControls& ui = m_window.controls();
    // Both read later, when the harvester needs them: the seed once connected, so a reseed
    // while connecting counts; the domains once the reply is complete.
    auto seed = [this] { return m_window.controls().rand->text(); };
    auto domains = [this] { return m_window.domainList()->entries(); };
    // finished() may come before start() returns: everything is locked by now.
    m_added = 0;
    m_harvester->start(m_target.search, seed, ui.cGResults->currentText().toInt(), domains);
}

void HarvestControl::onNamesHarvested(const QStringList& names) {
    // The list refuses entries beyond its limit, should the user have filled it meanwhile.
    for (const QString& name : names)
        m_added += m_window.domainList()->append(name) ? 1 : 0;
}

void HarvestControl::onFinished(bool ok) {
    for (QWidget* control : unlockOrder())
        control->setEnabled(true);
    QLabel* status = m_window.controls().lS;
    if (ok) {
        status->setText(core::Harvester::randomisingStatus());
        m_window.randomseed();
        m_window.DoCount();
        status->setText(m_harvester->finishedStatus(m_added));
        m_window.Timer1()->restart();
        return;
    }
    // A failure's words stay on the status line until the user's next action writes there:
    // read after a coffee, they still say why no names came. The seed stays for a retry.
}

} // namespace tarnbell::gui
