#pragma once
// The column widths of a result list. The name columns (left-aligned: domains, server
// entries) share the list's width in proportion to their longest texts; the others (right-
// aligned: times, counts) are as wide as their title and their texts. A column the user sizes
// by hand keeps that width, down to the one-pixel sliver that leaves it out of an export; a
// double click on its edge gives it back to the fit. Zero-wide columns (sort keys) stay so.

#include <QList>
#include <QObject>

class QTreeView;

namespace tarnbell::gui {

class ColumnFit final : public QObject {
    Q_OBJECT
public:
    explicit ColumnFit(QTreeView* view);

    // Follows the rows of the view's model from now on, its columns as wide as `startWidths`
    // until they are fitted to the view; call after every setModel().
    void watchModel(const QList<int>& startWidths);
    // Fits the columns to the view's width as it is now.
    void fit();
    // The width the columns take when no name is cut: the view's size hint.
    int wantedWidth() const;

    // The width of each section sized by hand, -1 for a fitted one.
    QList<int> handWidths() const;
    void setHandWidths(const QList<int>& widths);

private:
    bool isNameColumn(int section) const;
    int titleWidth(int section) const; // the title, and beside it the sort arrow
    // What a column not sized by hand asks: its title and its widest text, a time column's
    // texts at most a quarter of the view.
    int wanted(int section, int viewWidth) const;
    void measure(int firstRow, int lastRow, int firstColumn, int lastColumn);
    void remeasure();

    QTreeView* m_view;
    QList<int> m_texts; // the widest text seen in each column, margins included
    QList<bool> m_byHand;
    bool m_fitting = false;
};

} // namespace tarnbell::gui
