#include "copyrows.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTreeView>
#include <algorithm>

namespace tarnbell::gui {

namespace {

// The model columns shown, left to right as the user sees them.
QList<int> shownColumns(const QAbstractItemView& view) {
    const QHeaderView* header = nullptr;
    if (const auto* tree = qobject_cast<const QTreeView*>(&view))
        header = tree->header();
    else if (const auto* table = qobject_cast<const QTableView*>(&view))
        header = table->horizontalHeader(); // the Checks tab's
    if (!header)
        return {0};
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        // The same rule as the export: a column of at most one pixel is a key, not content.
        if (!header->isSectionHidden(logical) && header->sectionSize(logical) > 1)
            columns << logical;
    }
    return columns;
}

} // namespace

QString SelectedRowsText(const QAbstractItemView& view) {
    const QItemSelectionModel* selection = view.selectionModel();
    if (!selection || !view.model())
        return {};
    QList<int> rows;
    for (const QModelIndex& index : selection->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    const QList<int> columns = shownColumns(view);
    QStringList lines;
    for (const int row : std::as_const(rows)) {
        QStringList cells;
        for (const int column : columns)
            cells << view.model()->index(row, column).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CopySelectedRows(const QAbstractItemView& view) {
    const QString text = SelectedRowsText(view);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

} // namespace tarnbell::gui
