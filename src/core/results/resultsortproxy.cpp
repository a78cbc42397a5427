#include "core/results/resultsortproxy.h"

#include "core/results/resultmodels.h"

#include <array>

namespace tarnbell::core {

namespace {

// Clicked section -> key column. The visible time columns sort by their hidden keys.
constexpr std::array<int, LookupTableModel::kColumnCount> kLookupKeys{
    LookupTableModel::Domain, LookupTableModel::DnsServer, LookupTableModel::RealResponseTime,
    LookupTableModel::Run,    LookupTableModel::Round,     LookupTableModel::RealResponseTime};
constexpr std::array<int, SummaryTableModel::kColumnCount> kSummaryKeys{
    SummaryTableModel::DnsServer,
    SummaryTableModel::RealMeanResponseTime,
    SummaryTableModel::RealMeanResponseTime,
    SummaryTableModel::RealMedianResponseTime,
    SummaryTableModel::Run,
    SummaryTableModel::RealMedianResponseTime};

} // namespace

ResultSortProxy::ResultSortProxy(List list, QObject* parent)
    : QSortFilterProxyModel(parent), m_list(list),
      // The lookup list starts in insertion order, so its first click sorts ascending; the
      // summary starts ascending, so the run lists the fastest server first.
      m_order(list == List::Lookups ? Qt::DescendingOrder : Qt::AscendingOrder) {}

int ResultSortProxy::keyColumn(List list, int section) {
    if (section < 0)
        return -1;
    const auto index = static_cast<std::size_t>(section);
    if (list == List::Lookups)
        return index < kLookupKeys.size() ? kLookupKeys[index] : -1;
    return index < kSummaryKeys.size() ? kSummaryKeys[index] : -1;
}

void ResultSortProxy::columnClicked(int section) {
    const int key = keyColumn(m_list, section);
    if (key < 0)
        return;
    m_order = m_order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_arrowSection = section;
    sort(key, m_order);
    Q_EMIT sortShown();
}

void ResultSortProxy::resortByMean() {
    if (m_list != List::Summary)
        return;
    m_arrowSection = SummaryTableModel::MeanResponse;
    sort(SummaryTableModel::RealMeanResponseTime, m_order);
    Q_EMIT sortShown();
}

void ResultSortProxy::sortByKey(int keyColumn, Qt::SortOrder order) {
    if (keyColumn < 0 || keyColumn >= (m_list == List::Lookups ? LookupTableModel::kColumnCount
                                                               : SummaryTableModel::kColumnCount))
        return;
    m_order = order;
    sort(keyColumn, m_order);
}

bool ResultSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Times by their numbers, equal ones by their exact values; names in ordinal,
    // case-blind text order.
    const QVariant leftValue = left.data(SortRole);
    const QVariant rightValue = right.data(SortRole);
    if (leftValue.isValid() && rightValue.isValid()) {
        if (leftValue.toDouble() != rightValue.toDouble())
            return leftValue.toDouble() < rightValue.toDouble();
        return left.data(SortTieRole).toDouble() < right.data(SortTieRole).toDouble();
    }
    return QString::compare(left.data().toString(), right.data().toString(), Qt::CaseInsensitive) <
           0;
}

} // namespace tarnbell::core
