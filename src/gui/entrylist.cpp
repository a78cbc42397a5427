#include "entrylist.h"

#include "core/randomsource.h"
#include "dialogs.h"

#include <QListWidget>

namespace tarnbell::gui {

EntryList::EntryList(QListWidget* list, core::ListKind kind, core::RandomSource& random,
                     QWidget* dialogParent)
    : QObject(list), m_list(list), m_kind(kind), m_random(random), m_dialogParent(dialogParent) {
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
}

QStringList EntryList::entries() const {
    QStringList texts;
    texts.reserve(m_list->count());
    for (int i = 0; i < m_list->count(); ++i)
        texts << m_list->item(i)->text();
    return texts;
}

int EntryList::count() const {
    return m_list->count();
}

bool EntryList::isFull() const {
    return core::ListIsFull(count());
}

void EntryList::add() {
    if (isFull()) {
        ShowMessage(m_dialogParent, core::ListFullMessage(m_kind));
        return;
    }
    AskText(m_dialogParent, core::AddEntryPrompt(m_kind),
            [this](const QString& answer) { accept(answer); });
}

void EntryList::accept(const QString& answer) {
    if (!answer.isEmpty()) {
        const QString problem =
            m_kind == core::ListKind::Domains ? core::DomainQueryProblem(answer) : QString();
        if (!problem.isEmpty())
            ShowMessage(m_dialogParent, problem);
        else if (!append(answer)) // filled up by a harvest while the box was open
            ShowMessage(m_dialogParent, core::ListFullMessage(m_kind));
    }
    emit countsChanged();
}

bool EntryList::append(const QString& entry) {
    // The list may have filled up while the input box was open (the harvester adds domains).
    if (isFull())
        return false;
    m_list->addItem(entry);
    return true;
}

int EntryList::selectedIndex() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
}

void EntryList::select(int index) {
    if (index >= 0 && index < m_list->count()) {
        m_list->setCurrentRow(index);
        m_list->scrollToItem(m_list->item(index));
        return;
    }
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
}

void EntryList::removeSelected() {
    const int position = selectedIndex();
    if (position >= 0) {
        delete m_list->takeItem(position);
        const int remaining = m_list->count();
        // The entry that moved up into the removed one's place, the only one left, or none
        // when the last entry was removed.
        select(remaining == 1 ? 0 : position);
    }
    emit countsChanged();
}

void EntryList::shuffle() {
    const QStringList shuffled = core::ShuffleEntries(entries(), m_random);
    m_list->clear();
    m_list->addItems(shuffled);
    select(-1);
}

} // namespace tarnbell::gui
