#include "core/results/figurestablemodel.h"

#include "core/results/resultmodels.h"

#include <algorithm>
#include <array>

namespace tarnbell::core {

namespace {

QString ms(double value) {
    return QString::number(value, 'f', 2);
}

} // namespace

LookupSet lookupSetOf(QueryKind kind) {
    return static_cast<LookupSet>(static_cast<int>(LookupSet::Listed) + static_cast<int>(kind));
}

const TimeFigures& figuresOf(const ServerFigures& server, LookupSet set) {
    switch (set) {
    case LookupSet::All:
        return server.all;
    case LookupSet::First:
        return server.first;
    case LookupSet::Repeat:
        return server.repeat;
    default:
        return server.byKind[static_cast<std::size_t>(static_cast<int>(set) -
                                                      static_cast<int>(LookupSet::Listed))];
    }
}

void sortFastestFirst(QList<ServerFigures>& servers) {
    std::stable_sort(servers.begin(), servers.end(),
                     [](const ServerFigures& a, const ServerFigures& b) {
                         const bool aAnswered = a.all.answered > 0;
                         if (aAnswered != (b.all.answered > 0))
                             return aAnswered;
                         if (a.all.exactMedianMs != b.all.exactMedianMs)
                             return a.all.exactMedianMs < b.all.exactMedianMs;
                         return a.all.meanMs < b.all.meanMs;
                     });
}

void FiguresTableModel::setFigures(QList<ServerFigures> servers) {
    sortFastestFirst(servers);
    beginResetModel();
    m_servers = std::move(servers);
    endResetModel();
}

void FiguresTableModel::setLookupSet(LookupSet set) {
    if (set == m_set)
        return;
    m_set = set;
    if (!m_servers.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

int FiguresTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_servers.size());
}

int FiguresTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FiguresTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount() ||
        index.column() >= kColumnCount)
        return {};
    const ServerFigures& server = m_servers.at(index.row());
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment horizontal = index.column() <= Tied ? Qt::AlignLeft : Qt::AlignRight;
        return static_cast<int>(horizontal | Qt::AlignVCenter);
    }
    if (role == MarkRole) {
        if (index.column() != Server)
            return static_cast<int>(Mark::None);
        const Mark mark = server.tiedWithFastest ? Mark::Winner
                          : server.isLocal       ? Mark::Local
                                                 : Mark::None;
        return static_cast<int>(mark);
    }
    if (role != Qt::DisplayRole)
        return {};

    const TimeFigures& f = figuresOf(server, m_set);
    switch (index.column()) {
    case Server:
        return server.serverEntry;
    case Tied:
        return server.tiedWithFastest ? QStringLiteral("tied") : QString();
    case FastestChance:
        return server.fastestChance < 0.0
                   ? QString()
                   : QString::number(server.fastestChance * 100.0, 'f', 0) + QLatin1Char('%');
    case Lookups:
        return f.lookups;
    case Answered:
        return f.answered;
    case TimedOut:
        return f.timeouts;
    case Failed:
        return f.failures;
    case FromCache:
        // Uncached and top-level samples a cache answered: counted, not timed.
        if (m_set == LookupSet::Uncached || m_set == LookupSet::TopLevel)
            return server.fromCache[static_cast<std::size_t>(static_cast<int>(m_set) -
                                                             static_cast<int>(LookupSet::Listed))];
        return QString();
    default:
        break;
    }
    if (f.lookups == 0)
        return QString();
    switch (index.column()) {
    case Mean:
        return ms(f.meanMs);
    case Median:
        return ms(f.exactMedianMs);
    case MedianInterval:
        return ms(f.medianLowMs) + QLatin1Char('-') + ms(f.medianHighMs);
    case Min:
        return ms(f.minMs);
    case P90:
        return ms(f.p90Ms);
    case Max:
        return ms(f.maxMs);
    default:
        return ms(f.stddevMs);
    }
}

QVariant FiguresTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount ||
        role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    // One title a column: a title left out fails the build rather than shifting the others.
    static constexpr auto titles = std::to_array<const char*>(
        {"DNS Server", "Tie", "P(fastest)", "Lookups", "Answered", "Timed out", "Failed", "Cached",
         "Mean ms", "Median ms", "Median 95% CI", "Min ms", "P90 ms", "Max ms", "Std dev ms"});
    static_assert(titles.size() == kColumnCount);
    return QString::fromLatin1(titles[static_cast<std::size_t>(section)]);
}

} // namespace tarnbell::core
