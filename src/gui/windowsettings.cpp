#include "windowsettings.h"

#include "columnfit.h"
#include "core/lists/defaultservers.h"
#include "core/lists/listlimits.h"
#include "core/results/resultsortproxy.h"
#include "dialogs.h"
#include "entrylist.h"
#include "filechooser.h"
#include "frmMain.h"
#include "resultview.h"
#include "startsplit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <algorithm>

namespace tarnbell::gui {

namespace {

const QString kServers = QStringLiteral("lists/servers");
const QString kDomains = QStringLiteral("lists/domains");
const QString kRecordType = QStringLiteral("run/recordType");
const QString kKinds = QStringLiteral("run/kinds");
const QString kHarvestCount = QStringLiteral("harvest/count");
const QString kFreshConnections = QStringLiteral("transports/freshConnections");
const QString kCaFile = QStringLiteral("transports/caFile");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kState = QStringLiteral("window/state");
const QString kLastFolder = QStringLiteral("files/lastFolder"); // of exports and imports
const QString kSplitColumns = QStringLiteral("window/splitColumns");
const QString kSplitResults = QStringLiteral("window/splitResults");

void saveView(QSettings& settings, const QString& group, const ResultView* view,
              const core::ResultSortProxy* sorter) {
    const QHeaderView* header = view->header();
    QVariantList widths;
    for (const int width : view->columns()->handWidths())
        widths << width;
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("handWidths"), widths);
    settings.setValue(QStringLiteral("sortKey"), sorter->sortColumn());
    settings.setValue(QStringLiteral("sortSection"), header->sortIndicatorSection());
    settings.setValue(QStringLiteral("sortOrder"), static_cast<int>(sorter->currentOrder()));
    settings.endGroup();
}

void restoreView(QSettings& settings, const QString& group, ResultView* view,
                 core::ResultSortProxy* sorter) {
    QHeaderView* header = view->header();
    settings.beginGroup(group);
    // Only the widths the user set by hand: the others follow the list's width.
    const QVariantList widths = settings.value(QStringLiteral("handWidths")).toList();
    // The widths and sort of another set of columns (an earlier version's) would land on
    // other columns.
    if (widths.size() != header->count()) {
        settings.endGroup();
        return;
    }
    {
        QList<int> hand;
        for (const QVariant& width : widths) {
            bool ok = false;
            hand << width.toInt(&ok);
            if (!ok)
                hand.last() = -1;
        }
        view->columns()->setHandWidths(hand);
    }
    bool keyOk = false;
    bool orderOk = false;
    const int key = settings.value(QStringLiteral("sortKey")).toInt(&keyOk);
    const int order = settings.value(QStringLiteral("sortOrder")).toInt(&orderOk);
    const int section = settings.value(QStringLiteral("sortSection"), -1).toInt();
    if (keyOk && orderOk && key >= 0 &&
        (order == Qt::AscendingOrder || order == Qt::DescendingOrder)) {
        sorter->sortByKey(key, static_cast<Qt::SortOrder>(order));
        if (section >= 0 && section < header->count())
            header->setSortIndicator(section, static_cast<Qt::SortOrder>(order));
    }
    settings.endGroup();
}

// Selects `text` among the choices of `box`; an unknown text keeps the current choice.
void restoreChoice(QComboBox* box, const QVariant& text) {
    const int index = box->findText(text.toString());
    if (text.isValid() && index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

void SaveWindowSettings(const frmMain& window, QSettings& settings) {
    const WindowControls& ui = window.controls();
    settings.setValue(kServers, window.serverList()->entries());
    settings.setValue(kDomains, window.domainList()->entries());
    settings.setValue(kRecordType, ui.cDNST->currentText());
    QStringList kinds;
    for (int k = 0; k < core::kQueryKindCount; ++k) {
        if (ui.kinds[static_cast<std::size_t>(k)]->isChecked())
            kinds << core::queryKindName(static_cast<core::QueryKind>(k));
    }
    settings.setValue(kKinds, kinds);
    settings.setValue(kHarvestCount, ui.cGResults->currentText());
    settings.setValue(kFreshConnections, ui.chkFreshConnections->isChecked());
    settings.setValue(kCaFile, window.transports()->caFile());
    settings.setValue(kGeometry, window.saveGeometry());
    settings.setValue(kState, window.saveState());
    settings.setValue(kSplitColumns, ui.splitColumns->saveState());
    settings.setValue(kSplitResults, ui.splitResults->saveState());
    saveView(settings, QStringLiteral("lookups"), ui.lvDNS, window.lookupSort());
    saveView(settings, QStringLiteral("summary"), ui.lvSummary, window.summarySort());
    settings.setValue(kLastFolder, window.files()->lastFolder());
}

void RestoreWindowSettings(frmMain& window, QSettings& settings) {
    const WindowControls& ui = window.controls();
    // A list the user emptied is remembered empty; a list never saved keeps its defaults.
    // Entries the lists would refuse if typed (a settings file edited by hand, or written by
    // an older version) are left out, and counted in one message once the window is up.
    int droppedServers = 0;
    int droppedDomains = 0;
    if (settings.contains(kServers)) {
        const QStringList servers = core::RefreshLocalEntry(settings.value(kServers).toStringList(),
                                                            window.localResolver());
        window.serverList()->replaceAll(
            core::AcceptedEntries(core::ListKind::Servers, servers, &droppedServers));
    }
    if (settings.contains(kDomains)) {
        window.domainList()->replaceAll(core::AcceptedEntries(
            core::ListKind::Domains, settings.value(kDomains).toStringList(), &droppedDomains));
    }
    if (const int dropped = droppedServers + droppedDomains; dropped > 0) {
        QTimer::singleShot(0, &window, [&window, dropped] {
            ShowMessage(&window, core::LeftOutMessage(
                                     dropped, QStringLiteral("the lists remembered from the "
                                                             "last start")));
        });
    }
    restoreChoice(ui.cDNST, settings.value(kRecordType));
    // A list of kinds that does not read (edited by hand) leaves the listed names alone.
    if (const auto kinds = core::queryKindsFromList(
            settings.value(kKinds).toStringList().join(QLatin1Char(',')))) {
        for (int k = 0; k < core::kQueryKindCount; ++k)
            ui.kinds[static_cast<std::size_t>(k)]->setChecked(
                kinds->contains(static_cast<core::QueryKind>(k)));
    }
    restoreChoice(ui.cGResults, settings.value(kHarvestCount));
    ui.chkFreshConnections->setChecked(settings.value(kFreshConnections).toBool());
    window.transports()->setCaFile(settings.value(kCaFile).toString());
    window.restoreGeometry(settings.value(kGeometry).toByteArray());
    window.restoreState(settings.value(kState).toByteArray());
    ui.startSplit->restore(settings.value(kSplitColumns).toByteArray());
    ui.splitResults->restoreState(settings.value(kSplitResults).toByteArray());
    restoreView(settings, QStringLiteral("lookups"), ui.lvDNS, window.lookupSort());
    restoreView(settings, QStringLiteral("summary"), ui.lvSummary, window.summarySort());
    window.files()->setLastFolder(settings.value(kLastFolder).toString());
}

QSize StartSize(QSize preferred, QSize available) {
    if (!available.isValid() || available.isEmpty())
        return preferred;
    // A margin for the window frame and a little of the desktop around it.
    const QSize room = available * 0.9;
    return preferred.boundedTo(room);
}

QSize StartSize(const QWidget& window) {
    // 900 x 560 fitted a 14-pixel line (a 9-point font at 96 dpi).
    window.ensurePolished(); // the style's sizes, as the window will show
    const double scale = std::max(1.0, window.fontMetrics().height() / 14.0);
    const QSize preferred = (QSize(900, 560) * scale).expandedTo(window.sizeHint());
    return StartSize(preferred, window.screen()->availableGeometry().size());
}

} // namespace tarnbell::gui
