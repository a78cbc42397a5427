#include "core/results/resultmodels.h"

#include "core/results/statistics.h"

#include <algorithm>
#include <cmath>

namespace tarnbell::core {

namespace {

// Times read right-aligned so their digits line up; names read left-aligned.
QVariant alignment(bool rightAligned) {
    const Qt::Alignment horizontal = rightAligned ? Qt::AlignRight : Qt::AlignLeft;
    return static_cast<int>(horizontal | Qt::AlignVCenter);
}

bool validCell(const QAbstractItemModel& model, const QModelIndex& index) {
    return index.isValid() && !index.parent().isValid() && index.row() < model.rowCount() &&
           index.column() < model.columnCount();
}

} // namespace

// ---- LookupTableModel -------------------------------------------------------------------

void LookupTableModel::beginRun(int rounds) {
    const bool runShown = m_runs > 1;
    const bool roundShown = m_severalRounds;
    ++m_runs;
    m_severalRounds = m_severalRounds || rounds > 1;
    if (runShown != (m_runs > 1) || roundShown != m_severalRounds)
        Q_EMIT headerDataChanged(Qt::Horizontal, Run, Round);
}

int LookupTableModel::appendLookup(const QString& serverEntry, const QString& domain, int round) {
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(
        {domain, serverEntry, QString(), false, 0.0, 0.0, QString(), std::max(m_runs, 1), round});
    endInsertRows();
    return row;
}

void LookupTableModel::setResponseText(int row, const QString& text) {
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].waitingText = text;
    const QModelIndex cell = index(row, ResponseTime);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

void LookupTableModel::setResult(int row, double seconds, const QString& failure) {
    if (row < 0 || row >= m_rows.size())
        return;
    Row& changed = m_rows[row];
    changed.done = true;
    changed.wholeMs = wholeMilliseconds(seconds);
    changed.exactMs = seconds * 1000.0;
    changed.failure = failure;
    Q_EMIT dataChanged(index(row, ResponseTime), index(row, RealResponseTime), {Qt::DisplayRole});
}

void LookupTableModel::setToolTip(int row, const QString& text) {
    if (row < 0 || row >= m_rows.size())
        return;
    m_toolTips.insert(row, text);
    Q_EMIT dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::ToolTipRole});
}

void LookupTableModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_toolTips.clear();
    m_runs = 0;
    m_severalRounds = false;
    endResetModel();
}

int LookupTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LookupTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant LookupTableModel::data(const QModelIndex& index, int role) const {
    if (!validCell(*this, index))
        return {};
    const Row& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Domain:
            return row.domain;
        case DnsServer:
            return row.serverEntry;
        case ResponseTime:
            if (!row.done)
                return row.waitingText;
            return row.failure.isEmpty() ? millisecondsText(row.wholeMs) : row.failure;
        case Run:
            return QString::number(row.run);
        case Round:
            return QString::number(row.round);
        default:
            return row.done ? ExtremeRound(row.wholeMs) : QStringLiteral(".");
        }
    case SortRole:
        // A row still waiting sorts ahead of every time, as its key "." does.
        switch (index.column()) {
        case Domain:
        case DnsServer:
            return {};
        case Run:
            return row.run;
        case Round:
            return row.round;
        default:
            return row.done ? row.wholeMs : -1.0;
        }
    case SortTieRole:
        // A run's rounds in order, and a round's runs.
        if (index.column() == Run || index.column() == Round)
            return index.column() == Run ? row.round : row.run;
        return row.done ? row.exactMs : -1.0;
    case Qt::TextAlignmentRole:
        return alignment(index.column() >= ResponseTime);
    case Qt::ToolTipRole:
        return m_toolTips.value(index.row());
    case MarkRole:
        return static_cast<int>(Mark::None);
    default:
        return {};
    }
}

QVariant LookupTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return alignment(section >= ResponseTime);
    if (role == SortKeyRole)
        return section == RealResponseTime;
    if (role == ShownRole) {
        if (section == Run)
            return m_runs > 1;
        return section == Round ? m_severalRounds : section != RealResponseTime;
    }
    if (role != Qt::DisplayRole)
        return {};
    static const std::array<QString, kColumnCount> titles{
        QStringLiteral("Domain"),        QStringLiteral("DNS Server"),
        QStringLiteral("Response Time"), QStringLiteral("Run"),
        QStringLiteral("Round"),         QStringLiteral("Real Response Time")};
    return titles[static_cast<std::size_t>(section)];
}

// ---- SummaryTableModel ------------------------------------------------------------------

void SummaryTableModel::beginRun() {
    if (++m_runs == 2)
        Q_EMIT headerDataChanged(Qt::Horizontal, Run, Run);
    // An earlier run's fastest server is not this run's: its row keeps only its local mark.
    for (Entry& entry : m_entries) {
        entry.rowMark = entry.row.isLocal ? Mark::Local : Mark::None;
        entry.cellMarks = {};
    }
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1), {MarkRole});
}

int SummaryTableModel::appendSummary(const SummaryRow& row) {
    const int position = static_cast<int>(m_entries.size());
    beginInsertRows({}, position, position);
    m_entries.append({row, row.isLocal ? Mark::Local : Mark::None, {}, std::max(m_runs, 1)});
    endInsertRows();
    return position;
}

const SummaryRow& SummaryTableModel::summaryAt(int row) const {
    return m_entries.at(row).row;
}

namespace {

// A mark only ever gains colour: none -> local -> winner.
bool upgrade(Mark& current, Mark wanted) {
    if (static_cast<int>(wanted) <= static_cast<int>(current))
        return false;
    current = wanted;
    return true;
}

} // namespace

void SummaryTableModel::setRowMark(int row, Mark mark) {
    if (row < 0 || row >= m_entries.size() || !upgrade(m_entries[row].rowMark, mark))
        return;
    Q_EMIT dataChanged(index(row, 0), index(row, 0), {MarkRole});
}

void SummaryTableModel::setCellMark(int row, int column, Mark mark) {
    if (row < 0 || row >= m_entries.size() || column < 0 || column >= kColumnCount)
        return;
    if (!upgrade(m_entries[row].cellMarks[static_cast<std::size_t>(column)], mark))
        return;
    const QModelIndex cell = index(row, column);
    Q_EMIT dataChanged(cell, cell, {MarkRole});
}

void SummaryTableModel::clear() {
    beginResetModel();
    m_entries.clear();
    m_runs = 0;
    endResetModel();
}

int SummaryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int SummaryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SummaryTableModel::data(const QModelIndex& index, int role) const {
    if (!validCell(*this, index))
        return {};
    const Entry& entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case DnsServer:
            return entry.row.serverEntry;
        case MeanResponse:
            return millisecondsText(entry.row.meanMs);
        case RealMeanResponseTime:
            return ExtremeRound(entry.row.meanMs);
        case MedianResponse:
            return millisecondsText(entry.row.medianMs);
        case Run:
            return QString::number(entry.run);
        default:
            return ExtremeRound(entry.row.medianMs);
        }
    case SortRole:
        // Rows that show the same median are ordered by the exact one (SortTieRole).
        switch (index.column()) {
        case DnsServer:
            return {};
        case MeanResponse:
        case RealMeanResponseTime:
            return entry.row.meanMs;
        case Run:
            return entry.run;
        default:
            return std::floor(entry.row.medianMs);
        }
    case SortTieRole:
        // The Run column keeps a run's rows in the order of their medians.
        return index.column() >= MedianResponse ? entry.row.exactMedianMs : entry.row.meanMs;
    case Qt::ToolTipRole:
        return entry.row.kindsNote.isEmpty() ? QVariant() : QVariant(entry.row.kindsNote);
    case Qt::TextAlignmentRole:
        return alignment(index.column() != DnsServer);
    case MarkRole: {
        // A row's colour is that of its first cell, as in a report list; the other cells are
        // coloured only by their own mark (the winning mean or median).
        const Mark cell = entry.cellMarks[static_cast<std::size_t>(index.column())];
        if (index.column() != DnsServer)
            return static_cast<int>(cell);
        return static_cast<int>(std::max(cell, entry.rowMark));
    }
    default:
        return {};
    }
}

QVariant SummaryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return alignment(section != DnsServer);
    const bool sortKey = section == RealMeanResponseTime || section == RealMedianResponseTime;
    if (role == SortKeyRole)
        return sortKey;
    if (role == ShownRole)
        return section == Run ? m_runs > 1 : !sortKey;
    if (role != Qt::DisplayRole)
        return {};
    static const std::array<QString, kColumnCount> titles{
        QStringLiteral("DNS Server"),
        QStringLiteral("Mean Response"),
        QStringLiteral("Real Mean Response Time"),
        QStringLiteral("Median Response"),
        QStringLiteral("Run"),
        QStringLiteral("Real Median Response Time")};
    return titles[static_cast<std::size_t>(section)];
}

} // namespace tarnbell::core
