#pragma once
// The run's figures as a table: one row per server, fastest first, for the window's details
// view and the command-line tool's closing table. Texts only; the figures come from
// RunFigures.

#include "core/results/figures.h"

#include <QAbstractTableModel>
#include <QList>

namespace tarnbell::core {

// Which lookups a table's figures are of: all, the first asks or the repeats of listed names,
// or one kind's (Listed + the QueryKind).
enum class LookupSet { All, First, Repeat, Listed, Cached, Uncached, TopLevel };
LookupSet lookupSetOf(QueryKind kind);

const TimeFigures& figuresOf(const ServerFigures& server, LookupSet set);

// Fastest first: by the exact median, then the mean, of all lookups, so the named fastest
// heads the table; servers that never answered last; list order among equals.
void sortFastestFirst(QList<ServerFigures>& servers);

class FiguresTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Server = 0,
        Tied,
        FastestChance,
        Lookups,
        Answered,
        TimedOut,
        Failed,
        FromCache,
        Mean,
        Median,
        MedianInterval,
        Min,
        P90,
        Max,
        StdDev,
    };
    static constexpr int kColumnCount = StdDev + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the rows; `servers` are ordered fastest first here.
    void setFigures(QList<ServerFigures> servers);
    void setLookupSet(LookupSet set);
    LookupSet lookupSet() const { return m_set; }
    const ServerFigures& serverAt(int row) const { return m_servers.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display texts (times in ms with two decimals, the median the exact one; the chance of
    // being the fastest in whole percent once estimated; empty for a set without lookups), right
    // alignment for numbers, and MarkRole on the server cell: Winner for the tie group,
    // Local for the machine's resolver outside it.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<ServerFigures> m_servers;
    LookupSet m_set = LookupSet::All;
};

} // namespace tarnbell::core
