#pragma once
// One of the two result lists: a flat, uniform-row tree view over a core result model seen
// through its sort proxy, with the marks drawn as text colours.

#include <QList>
#include <QTreeView>

class QAbstractProxyModel;

namespace tarnbell::gui {

class MarkColourProxy;

class ResultView final : public QTreeView {
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr);

    // Shows `sorter` (a proxy over the result model) with the given column widths in logical
    // pixels; a width of 0 hides a sort-key column.
    void setSortedModel(QAbstractProxyModel* sorter, const QList<int>& widths);

    // Shows the columns of `source` (the result model under the proxies) that its ShownRole
    // says are shown, and hides the others, as they come and go; sort keys keep their width.
    void followShownColumns(const QAbstractItemModel* source);

    // Selects the row of the result model's `sourceRow` and scrolls it into view.
    void showSourceRow(int sourceRow);
    // The view's index of the result model's cell, or an invalid index.
    QModelIndex viewIndex(int sourceRow, int column = 0) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The viewport narrows when a vertical scroll bar appears, without the view resizing.
    bool viewportEvent(QEvent* event) override;

private:
    // Widens the last visible column into the room a wider list leaves empty.
    void fillWidth();

    QAbstractProxyModel* m_sorter = nullptr;
    int m_lastVisible = -1;
    int m_lastMinimum = 0; // the last visible column's width before it fills the list
    MarkColourProxy* m_colours = nullptr;
};

} // namespace tarnbell::gui
