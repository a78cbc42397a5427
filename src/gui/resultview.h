#pragma once
// One of the two result lists: a flat, uniform-row tree view over a core result model seen
// through its sort proxy, with the marks drawn as text colours.

#include <QList>
#include <QTreeView>

class QAbstractProxyModel;

namespace tarnbell::gui {

class ColumnFit;
class MarkColourProxy;

class ResultView final : public QTreeView {
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr);

    // Shows `sorter` (a proxy over the result model) with the given column widths in logical
    // pixels until the columns are fitted to the list; a width of 0 hides a sort-key column.
    void setSortedModel(QAbstractProxyModel* sorter, const QList<int>& widths);
    // The names take the list's width, the times as much as they need (see ColumnFit).
    ColumnFit* columns() const { return m_columns; }

    // Shows the columns of `source` (the result model under the proxies) that its ShownRole
    // says are shown, and hides the others, as they come and go; sort keys keep their width.
    void followShownColumns(const QAbstractItemModel* source);

    // Selects the row of the result model's `sourceRow` and scrolls it into view, unless the
    // user has scrolled the row selected before out of sight.
    void showSourceRow(int sourceRow);
    // The view's index of the result model's cell, or an invalid index.
    QModelIndex viewIndex(int sourceRow, int column = 0) const;

    // As wide as the columns want (ColumnFit::wantedWidth).
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The viewport narrows when a vertical scroll bar appears, without the view resizing.
    bool viewportEvent(QEvent* event) override;

private:
    QAbstractProxyModel* m_sorter = nullptr;
    MarkColourProxy* m_colours = nullptr;
    ColumnFit* m_columns = nullptr;
};

} // namespace tarnbell::gui
