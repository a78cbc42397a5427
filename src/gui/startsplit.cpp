#include "startsplit.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QSplitter>
#include <algorithm>

namespace tarnbell::gui {

StartSplit::StartSplit(QSplitter* splitter, QList<QAbstractItemView*> lists)
    : QObject(splitter), m_splitter(splitter), m_lists(std::move(lists)) {
    splitter->installEventFilter(this);
}

void StartSplit::restore(const QByteArray& state) {
    if (m_splitter->restoreState(state))
        m_placed = true;
}

bool StartSplit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_splitter && event->type() == QEvent::Show && !m_placed) {
        m_placed = true;
        fit();
    }
    return QObject::eventFilter(watched, event);
}

void StartSplit::fit() {
    // Laid out by now: what the column spends beside each list's entries is known.
    QWidget* column = m_splitter->widget(0);
    int wanted = column->sizeHint().width();
    for (const QAbstractItemView* list : m_lists) {
        const int beside = column->width() - list->viewport()->width();
        if (list->viewport()->width() > 0 && beside > 0)
            wanted = std::max(wanted, list->sizeHintForColumn(0) + beside);
    }
    // The result lists first, as far as the column's controls leave room.
    const QList<int> now = m_splitter->sizes();
    const int whole = now.value(0) + now.value(1);
    const int room = whole - m_splitter->widget(1)->sizeHint().width();
    const int left = std::max(std::min(wanted, room), column->minimumSizeHint().width());
    m_splitter->setSizes({left, whole - left});
}

} // namespace tarnbell::gui
