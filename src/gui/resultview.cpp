#include "resultview.h"

#include "columnfit.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "markcolourproxy.h"

#include <QAbstractProxyModel>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

namespace tarnbell::gui {

ResultView::ResultView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // thousands of rows in a long run
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection); // rows to copy
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // header clicks go to the sort proxy's own column mapping

    QHeaderView* head = header();
    head->setSectionsClickable(true);
    head->setSectionsMovable(false);
    head->setStretchLastSection(false);
    // The sort-key columns are zero wide but stay in the header, where a user can still pull
    // them open.
    head->setMinimumSectionSize(0);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSortIndicatorShown(true);
    head->setSortIndicator(-1, Qt::AscendingOrder); // unsorted until the first click
    m_columns = new ColumnFit(this);
}

void ResultView::setSortedModel(QAbstractProxyModel* sorter, const QList<int>& widths) {
    m_sorter = sorter;
    m_colours = new MarkColourProxy(this, this);
    m_colours->setSourceModel(sorter);
    setModel(m_colours);
    m_columns->watchModel(widths);
    QHeaderView* head = header();

    auto* sortProxy = qobject_cast<core::ResultSortProxy*>(sorter);
    if (!sortProxy)
        return;
    // The arrow shows the order the rows are in. A click on a new section makes the header
    // draw its own ascending arrow, whatever order the click gives: that is put right too.
    const auto showSort = [head, sortProxy] {
        if (head->sortIndicatorSection() != sortProxy->arrowSection() ||
            head->sortIndicatorOrder() != sortProxy->currentOrder())
            head->setSortIndicator(sortProxy->arrowSection(), sortProxy->currentOrder());
    };
    connect(sortProxy, &core::ResultSortProxy::sortShown, head, showSort);
    connect(head, &QHeaderView::sortIndicatorChanged, sortProxy, showSort);
}

QSize ResultView::sizeHint() const {
    const int beside = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    return {m_columns->wantedWidth() + beside, QTreeView::sizeHint().height()};
}

void ResultView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    m_columns->fit();
}

bool ResultView::viewportEvent(QEvent* event) {
    const bool handled = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        m_columns->fit();
    return handled;
}

QModelIndex ResultView::viewIndex(int sourceRow, int column) const {
    if (!m_sorter || !m_sorter->sourceModel())
        return {};
    const QModelIndex source = m_sorter->sourceModel()->index(sourceRow, column);
    return m_colours->mapFromSource(m_sorter->mapFromSource(source));
}

void ResultView::showSourceRow(int sourceRow) {
    const QModelIndex index = viewIndex(sourceRow);
    if (!index.isValid())
        return;
    // The list follows the run while the row it showed last is in sight; a user who scrolls
    // away to read is left there until they scroll back.
    const QModelIndex last = currentIndex();
    const bool following = !last.isValid() || viewport()->rect().intersects(visualRect(last));
    // Only this row, whatever modifier keys are held while a run moves along.
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    if (following)
        scrollTo(index);
}

void ResultView::followShownColumns(const QAbstractItemModel* source) {
    const auto follow = [this, source] {
        QHeaderView* head = header();
        for (int section = 0; section < head->count(); ++section) {
            if (source->headerData(section, Qt::Horizontal, core::SortKeyRole).toBool())
                continue;
            const bool shown =
                source->headerData(section, Qt::Horizontal, core::ShownRole).toBool();
            if (shown != head->isSectionHidden(section))
                continue;
            head->setSectionHidden(section, !shown);
            // A column shown for the first time gets room for its title.
            if (shown && head->sectionSize(section) <= 1)
                head->resizeSection(section, head->sectionSizeHint(section));
        }
        m_columns->fit();
    };
    connect(source, &QAbstractItemModel::headerDataChanged, this, follow);
    connect(source, &QAbstractItemModel::modelReset, this, follow);
    follow();
}

} // namespace tarnbell::gui
