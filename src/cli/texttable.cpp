#include "cli/texttable.h"

#include <QAbstractItemModel>
#include <QList>
#include <QStringList>
#include <algorithm>

namespace tarnbell::cli {

QString alignedText(const QAbstractItemModel& model) {
    const int columns = model.columnCount();
    QList<QStringList> lines;
    QStringList header;
    for (int column = 0; column < columns; ++column)
        header.append(model.headerData(column, Qt::Horizontal).toString());
    lines.append(header);
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells.append(model.index(row, column).data().toString());
        lines.append(cells);
    }

    QList<qsizetype> widths(columns, 0);
    QList<bool> right(columns, false);
    for (int column = 0; column < columns; ++column) {
        for (const QStringList& line : lines)
            widths[column] = std::max(widths[column], line.at(column).size());
        if (model.rowCount() > 0) {
            const int alignment = model.index(0, column).data(Qt::TextAlignmentRole).toInt();
            right[column] = (alignment & Qt::AlignRight) != 0;
        }
    }
    QString text;
    for (const QStringList& line : lines) {
        QString out;
        for (int column = 0; column < columns; ++column) {
            if (column > 0)
                out += QStringLiteral("  ");
            const QString& cell = line.at(column);
            out += right[column] ? cell.rightJustified(widths[column])
                                 : cell.leftJustified(widths[column]);
        }
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
        text += out + QLatin1Char('\n');
    }
    return text;
}

} // namespace tarnbell::cli
