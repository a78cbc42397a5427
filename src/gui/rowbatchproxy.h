#pragma once
// Hands the rows of an append-only result model to its view in batches. A run can append
// a row every few hundred microseconds, and a tree view lays out all its rows again for
// every insertion it hears of; shown in batches, at most a few dozen times a second, the
// rows cost the view one layout per batch instead of one per lookup. Changed cells of rows
// already shown are passed on at the same pace.

#include <QAbstractProxyModel>

namespace tarnbell::gui {

class RowBatchProxy final : public QAbstractProxyModel {
    Q_OBJECT
public:
    using QAbstractProxyModel::QAbstractProxyModel;

    void setSourceModel(QAbstractItemModel* source) override;

    // Shows the rows appended and the cells changed since the last flush.
    void flush();
    bool hasPending() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

Q_SIGNALS:
    // Something waits for the next flush.
    void pending();

private:
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void sourceRowsInserted(const QModelIndex& parent, int first, int last);
    void resetFromSource();

    int m_shownRows = 0;
    int m_changedFirst = -1; // rows already shown whose cells changed, -1 for none
    int m_changedLast = -1;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace tarnbell::gui
