#include "listundo.h"

#include "entrylist.h"

#include <QAction>
#include <QEvent>

namespace tarnbell::gui {

ListUndo::ListUndo(const QList<EntryList*>& lists, QPushButton* lockButton, QObject* parent)
    : QObject(parent), m_action(new QAction(QStringLiteral("&Undo"), this)),
      m_lockButton(lockButton) {
    m_action->setObjectName(QStringLiteral("undoListChange"));
    m_action->setShortcut(QKeySequence::Undo);
    m_action->setToolTip(QStringLiteral("Put back the list as it was before its last change"));
    connect(m_action, &QAction::triggered, this, &ListUndo::undo);
    for (EntryList* list : lists) {
        connect(list, &EntryList::edited, this,
                [this, list](const QStringList& before) { record(list, before); });
        connect(list, &EntryList::revised, this, &ListUndo::refresh);
    }
    lockButton->installEventFilter(this);
    refresh();
}

bool ListUndo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lockButton && event->type() == QEvent::EnabledChange)
        refresh();
    return QObject::eventFilter(watched, event);
}

void ListUndo::record(EntryList* list, const QStringList& before) {
    m_changed = list;
    m_before = before;
    m_revisionAfter = list->revision();
    refresh();
}

void ListUndo::undo() {
    refresh();
    if (!m_action->isEnabled())
        return;
    EntryList* list = m_changed;
    m_changed = nullptr;
    list->replaceAll(m_before);
}

void ListUndo::refresh() {
    if (m_changed && m_changed->revision() != m_revisionAfter)
        m_changed = nullptr;
    m_action->setEnabled(m_changed && m_lockButton && m_lockButton->isEnabled());
}

} // namespace tarnbell::gui
