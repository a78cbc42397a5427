#include "rowbatchproxy.h"

namespace tarnbell::gui {

void RowBatchProxy::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    QAbstractProxyModel::setSourceModel(source);
    m_shownRows = source ? source->rowCount() : 0;
    m_changedFirst = m_changedLast = -1;
    if (source) {
        m_connections << connect(source, &QAbstractItemModel::dataChanged, this,
                                 &RowBatchProxy::sourceDataChanged)
                      << connect(source, &QAbstractItemModel::rowsInserted, this,
                                 &RowBatchProxy::sourceRowsInserted)
                      << connect(source, &QAbstractItemModel::headerDataChanged, this,
                                 &QAbstractItemModel::headerDataChanged)
                      // The result models only ever append; anything else starts the view afresh.
                      << connect(source, &QAbstractItemModel::modelReset, this,
                                 &RowBatchProxy::resetFromSource)
                      << connect(source, &QAbstractItemModel::rowsRemoved, this,
                                 &RowBatchProxy::resetFromSource)
                      << connect(source, &QAbstractItemModel::rowsMoved, this,
                                 &RowBatchProxy::resetFromSource)
                      << connect(source, &QAbstractItemModel::layoutChanged, this,
                                 &RowBatchProxy::resetFromSource)
                      << connect(source, &QAbstractItemModel::columnsInserted, this,
                                 &RowBatchProxy::resetFromSource)
                      << connect(source, &QAbstractItemModel::columnsRemoved, this,
                                 &RowBatchProxy::resetFromSource);
    }
    endResetModel();
}

void RowBatchProxy::resetFromSource() {
    beginResetModel();
    m_shownRows = sourceModel() ? sourceModel()->rowCount() : 0;
    m_changedFirst = m_changedLast = -1;
    endResetModel();
}

bool RowBatchProxy::hasPending() const {
    return m_changedFirst >= 0 || (sourceModel() && sourceModel()->rowCount() > m_shownRows);
}

void RowBatchProxy::flush() {
    if (m_changedFirst >= 0) {
        const int first = m_changedFirst;
        const int last = m_changedLast;
        m_changedFirst = m_changedLast = -1;
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    }
    const int total = sourceModel() ? sourceModel()->rowCount() : 0;
    if (total > m_shownRows) {
        beginInsertRows({}, m_shownRows, total - 1);
        m_shownRows = total;
        endInsertRows();
    }
}

void RowBatchProxy::sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    // Rows not shown yet are read afresh when they are.
    const int last = std::min(bottomRight.row(), m_shownRows - 1);
    if (topLeft.row() > last)
        return;
    m_changedFirst = m_changedFirst < 0 ? topLeft.row() : std::min(m_changedFirst, topLeft.row());
    m_changedLast = std::max(m_changedLast, last);
    emit pending();
}

void RowBatchProxy::sourceRowsInserted(const QModelIndex& parent, int first, int) {
    if (parent.isValid())
        return;
    if (first < m_shownRows) { // not an append: show everything as it is now
        resetFromSource();
        return;
    }
    emit pending();
}

QModelIndex RowBatchProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= m_shownRows || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex RowBatchProxy::parent(const QModelIndex&) const {
    return {};
}

int RowBatchProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int RowBatchProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

bool RowBatchProxy::hasChildren(const QModelIndex& parent) const {
    return !parent.isValid() && m_shownRows > 0;
}

QModelIndex RowBatchProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    return sourceModel()->index(proxyIndex.row(), proxyIndex.column());
}

QModelIndex RowBatchProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.row() >= m_shownRows)
        return {};
    return createIndex(sourceIndex.row(), sourceIndex.column());
}

} // namespace tarnbell::gui
