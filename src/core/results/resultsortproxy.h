#pragma once
// Header-click sorting of the result lists. Times are shown for people ("95 ms") but sorted
// by the numbers they are made from (SortRole), so a click on a time column sorts by its
// hidden key column's numbers; rows that show the same time keep the exact order.

#include <QSortFilterProxyModel>

namespace tarnbell::core {

class ResultSortProxy final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class List {
        Lookups, // lvDNS over a LookupTableModel: starts unsorted, in insertion order
        Summary, // lvSummary over a SummaryTableModel: starts ascending
    };

    explicit ResultSortProxy(List list, QObject* parent = nullptr);

    // The column whose text orders the rows after a click on header `section` (0-based,
    // as QHeaderView::sectionClicked gives it); -1 for a section the list does not have.
    static int keyColumn(List list, int section);

    // A header click: sort by the section's key column in the order opposite to the current
    // one, whichever column was sorted before.
    void columnClicked(int section);
    // The run's re-sort of the summary after each server: by the mean key, in the current
    // order (so a user's earlier click also decides the direction of later runs).
    void resortByMean();
    // Sorts by `keyColumn` in `order` (the state remembered from an earlier start); a
    // column the list does not have leaves it as it is.
    void sortByKey(int keyColumn, Qt::SortOrder order);

    bool isSorted() const { return sortColumn() >= 0; }
    Qt::SortOrder currentOrder() const { return m_order; }
    // The header section whose arrow shows currentOrder(): the one clicked last, or "Mean
    // Response" after the run's re-sort; -1 while the list is unsorted.
    int arrowSection() const { return m_arrowSection; }

Q_SIGNALS:
    // After every click and re-sort: the arrow is to show arrowSection() and currentOrder().
    void sortShown();

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    List m_list;
    Qt::SortOrder m_order;
    int m_arrowSection = -1;
};

} // namespace tarnbell::core
