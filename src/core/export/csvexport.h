#pragma once
// The CSV export of the two result lists: what the lists show (visible columns, current row
// order) as one text of double-quoted, comma-separated fields with CR LF line ends. Built
// here, without widgets, so the window's "Export CSV" and the command-line tool write the
// very same bytes for the same rows.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

namespace tarnbell::core {

// One result list as it is on screen at the moment of the export.
struct TableSnapshot {
    QStringList titles;      // column titles, in column order
    QList<bool> shown;       // whether each column shows; a missing entry counts as hidden
    QList<QStringList> rows; // cell texts per row, rows in the list's current order
};

// Takes the titles and the display texts of `model` in its own row order (a sort proxy gives
// the order the user sees), with the columns that show.
TableSnapshot snapshotTable(const QAbstractItemModel& model, const QList<bool>& shown);
// The same with the columns the model says are shown (ShownRole; all but its sort keys
// where it does not say), as the window shows them.
TableSnapshot snapshotTable(const QAbstractItemModel& model);

// One list: its header row, then its rows. Only shown columns are written, and never the
// list's last column. Each field is quoted; a quote inside a field is doubled (RFC 4180
// 2.7) so a label holding one cannot break the file; a field starting with "=", "+", "-", "@",
// tab or CR gets a leading apostrophe inside its quotes so a spreadsheet shows it as text
// rather than running it as a formula. Every line ends in CR LF; a list with no written
// column gives empty lines.
QString csvRows(const TableSnapshot& table);

// Both lists: lvDNS, two empty lines, lvSummary.
QString exportText(const TableSnapshot& lookups, const TableSnapshot& summary);

// The file's bytes: the export text and a final CR LF, in UTF-8 without a byte-order mark.
QByteArray exportFileBytes(const QString& text);

} // namespace tarnbell::core
