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
    QList<int> widths;       // current column widths; a missing width counts as 0 (hidden)
    QList<QStringList> rows; // cell texts per row, rows in the list's current order
};

// The column widths the window gives the lists when it creates them, in logical pixels:
// room for a server's label and for the sort arrow beside a time's title, the sort-key
// columns zero wide. The export only asks whether a width is above 1.
inline const QList<int> kLookupColumnWidths{160, 200, 110, 0};     // lvDNS
inline const QList<int> kSummaryColumnWidths{220, 125, 0, 125, 0}; // lvSummary

// Takes the titles and the display texts of `model` in its own row order (a sort proxy gives
// the order the user sees).
TableSnapshot snapshotTable(const QAbstractItemModel& model, const QList<int>& widths);

// One list: its header row, then its rows. Only columns wider than 1 are written, and never
// the list's last column. Each field is quoted; a quote inside a field is doubled (RFC 4180
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
