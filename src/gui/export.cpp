// "Export CSV": both result lists as the user sees them, saved where the user chooses.

#include "closeguard.h"
#include "core/export/csvexport.h"
#include "core/export/wholefile.h"
#include "dialogs.h"
#include "frmMain.h"
#include "modcommondialog.h"
#include "resultview.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QStandardPaths>

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

    gui::SaveDialogSettings settings;
    settings.filters = {QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")};
    settings.title = QStringLiteral("Show Save");
    settings.initialDir =
        gui::StartFolder(QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    gui::ShowSave(this, settings, [this, text, asOf](const gui::SaveDialogResult& result) {
        if (result.canceled)
            return;
        const QString problem =
            core::writeWholeFile(result.filePath(), core::exportFileBytes(text));
        if (!problem.isEmpty())
            gui::ShowMessage(this, problem);
        else
            m_closeGuard->markExported(asOf);
    });
}
