#pragma once
// Ctrl+C on any list: the selected rows as tab-separated text, one row a line, ready to paste
// into a spreadsheet or an editor.

#include <QString>

class QAbstractItemView;

namespace tarnbell::gui {

// The selected rows of `view` in the order shown. Of a result list only the columns a user
// can see go in, in the order shown: the sort-key columns (at most a pixel wide) stay out.
QString SelectedRowsText(const QAbstractItemView& view);

// Puts SelectedRowsText on the clipboard; nothing when no row is selected.
void CopySelectedRows(const QAbstractItemView& view);

} // namespace tarnbell::gui
