// "Export CSV": both result lists as the user sees them, saved where the user chooses.

#include "closeguard.h"
#include "core/export/csvexport.h"
#include "filechooser.h"
#include "frmMain.h"
#include "resultview.h"

#include <QHeaderView>

namespace {

using namespace tarnbell;

// The columns that show: a column the user narrowed to a sliver is left out like a hidden one.
QList<bool> shownColumns(const QTreeView* view) {
    QList<bool> shown;
    const QHeaderView* header = view->header();
    for (int section = 0; section < header->count(); ++section)
        shown.append(!header->isSectionHidden(section) && header->sectionSize(section) > 1);
    return shown;
}

core::TableSnapshot snapshot(const QTreeView* view) {
    return core::snapshotTable(*view->model(), shownColumns(view));
}

} // namespace

void frmMain::cmdExport_Click() {
    // The text is taken now, before the dialog opens: what is written is what the lists
    // hold at the click, whatever a run still under way adds meanwhile. Rows still waiting
    // for the next repaint are shown first, so none is left out.
    flushDisplay();
    const QString text = core::exportText(snapshot(m_ui.lvDNS), snapshot(m_ui.lvSummary));
    const quint64 asOf = m_closeGuard->changeCount();

    gui::SaveDialogSettings dialog;
    dialog.filters = {QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*)")};
    dialog.title = QStringLiteral("Export CSV");
    dialog.defaultSuffix = QStringLiteral("csv");
    m_files->exportBytes(dialog, core::exportFileBytes(text),
                         [this, asOf] { m_closeGuard->markExported(asOf); });
}
