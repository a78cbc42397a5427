#include "core/export/csvexport.h"

#include "core/results/resultmodels.h"

#include <QAbstractItemModel>

namespace tarnbell::core {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// A spreadsheet runs a cell that starts with one of these as a formula ("=HYPERLINK(...)",
// "@SUM(...)"); tab and CR start one after the program strips them. A domain or label can
// start that way, so such a cell is written as text with a leading apostrophe (OWASP).
bool startsLikeFormula(const QString& field) {
    if (field.isEmpty())
        return false;
    switch (field.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        return false;
    }
}

QString quoted(QString field) {
    if (startsLikeFormula(field))
        field.prepend(QLatin1Char('\''));
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

void appendRow(QString& text, const QStringList& cells, const QList<int>& exported) {
    QStringList fields;
    fields.reserve(exported.size());
    for (int column : exported)
        fields.append(quoted(column < cells.size() ? cells.at(column) : QString()));
    text += fields.join(QLatin1Char(',')) + kLineEnd;
}

} // namespace

TableSnapshot snapshotTable(const QAbstractItemModel& model) {
    QList<bool> shown;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QVariant asked = model.headerData(column, Qt::Horizontal, ShownRole);
        shown.append(asked.isValid()
                         ? asked.toBool()
                         : !model.headerData(column, Qt::Horizontal, SortKeyRole).toBool());
    }
    return snapshotTable(model, shown);
}

TableSnapshot snapshotTable(const QAbstractItemModel& model, const QList<bool>& shown) {
    TableSnapshot table;
    table.shown = shown;
    const int columns = model.columnCount();
    for (int column = 0; column < columns; ++column)
        table.titles.append(model.headerData(column, Qt::Horizontal).toString());
    const int rows = model.rowCount();
    table.rows.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QStringList cells;
        cells.reserve(columns);
        for (int column = 0; column < columns; ++column)
            cells.append(model.data(model.index(row, column)).toString());
        table.rows.append(cells);
    }
    return table;
}

QString csvRows(const TableSnapshot& table) {
    // Decided once for the whole list, so every row has the header's fields.
    QList<int> exported;
    for (int column = 0; column + 1 < table.titles.size(); ++column) {
        if (table.shown.value(column, false))
            exported.append(column);
    }
    QString text;
    appendRow(text, table.titles, exported);
    for (const QStringList& cells : table.rows)
        appendRow(text, cells, exported);
    return text;
}

QString exportText(const TableSnapshot& lookups, const TableSnapshot& summary) {
    return csvRows(lookups) + kLineEnd + kLineEnd + csvRows(summary);
}

QByteArray exportFileBytes(const QString& text) {
    // UTF-8: every text the lists make themselves is ASCII, where it is byte for byte the
    // 8-bit code page; a typed label or domain beyond ASCII survives instead of turning
    // into "?", and it is what the system's locale and today's spreadsheets read.
    return (text + kLineEnd).toUtf8();
}

} // namespace tarnbell::core
