#include "resultview.h"

#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "markcolourproxy.h"

#include <QAbstractProxyModel>
#include <QEvent>
#include <QHeaderView>
#include <algorithm>

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
}

void ResultView::setSortedModel(QAbstractProxyModel* sorter, const QList<int>& widths) {
    m_sorter = sorter;
    m_colours = new MarkColourProxy(this, this);
    m_colours->setSourceModel(sorter);
    setModel(m_colours);
    // A visible column is at least as wide as its title at the font in use; the last
    // visible one takes the room a larger window gives.
    QHeaderView* head = header();
    int lastVisible = -1;
    for (int i = 0; i < widths.size(); ++i) {
        const int width = widths.at(i);
        head->resizeSection(i, width > 0 ? std::max(width, head->sectionSizeHint(i)) : 0);
        if (width > 0)
            lastVisible = i;
    }
    m_lastVisible = lastVisible;
    m_lastMinimum = lastVisible >= 0 ? head->sectionSize(lastVisible) : 0;
    fillWidth();

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

void ResultView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    fillWidth();
}

bool ResultView::viewportEvent(QEvent* event) {
    const bool handled = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        fillWidth();
    return handled;
}

void ResultView::fillWidth() {
    // Not a Stretch section: the user keeps resizing it by hand, down to the width of one
    // pixel that leaves it out of the export.
    QHeaderView* head = header();
    if (m_lastVisible < 0 || head->sectionSize(m_lastVisible) <= 1)
        return;
    // It fills the room the other columns leave, also when that room shrinks, but never
    // gets narrower than its title.
    const int width = head->sectionSize(m_lastVisible);
    const int room = viewport()->width() - (head->length() - width);
    const int wanted = std::max(room, m_lastMinimum);
    if (wanted != width)
        head->resizeSection(m_lastVisible, wanted);
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
    // Only this row, whatever modifier keys are held while a run moves along.
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
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
        fillWidth();
    };
    connect(source, &QAbstractItemModel::headerDataChanged, this, follow);
    connect(source, &QAbstractItemModel::modelReset, this, follow);
    follow();
}

} // namespace tarnbell::gui
