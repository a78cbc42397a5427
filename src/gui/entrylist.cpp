#include "entrylist.h"

#include "controlhelp.h"
#include "core/lists/listfile.h"
#include "core/lists/randomsource.h"
#include "dialogs.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPersistentModelIndex>
#include <algorithm>

namespace tarnbell::gui {

EntryList::EntryList(QListWidget* list, core::ListKind kind, core::RandomSource& random,
                     QWidget* dialogParent)
    : QObject(list), m_list(list), m_kind(kind), m_random(random), m_dialogParent(dialogParent) {
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(false);
    const QAbstractItemModel* rows = m_list->model();
    const auto revise = [this] {
        ++m_revision;
        emit revised();
    };
    connect(rows, &QAbstractItemModel::rowsInserted, this, revise);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, revise);
    connect(rows, &QAbstractItemModel::modelReset, this, revise);
    connect(rows, &QAbstractItemModel::dataChanged, this, revise);
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
    describeForms(AskText(m_dialogParent, core::AddEntryPrompt(m_kind), QString(),
                          [this](const QString& answer) { accept(answer); }));
}

void EntryList::describeForms(QInputDialog* input) const {
    // The prompt stays as written; the empty field and its tooltip say what goes in it.
    const QString forms =
        m_kind == core::ListKind::Domains ? AcceptedDomainForms() : AcceptedServerForms();
    if (auto* field = input->findChild<QLineEdit*>()) {
        field->setPlaceholderText(forms);
        field->setToolTip(forms);
        field->setAccessibleDescription(forms);
    }
}

QString EntryList::refusal(const QString& answer) const {
    return m_kind == core::ListKind::Domains ? core::DomainQueryProblem(answer)
                                             : core::ServerEntryProblem(answer);
}

void EntryList::accept(const QString& answer) {
    const QString entry = answer.trimmed();
    if (!entry.isEmpty()) {
        const QString problem = refusal(entry);
        const QStringList before = entries();
        if (!problem.isEmpty())
            ShowMessage(m_dialogParent, problem);
        else if (!append(entry)) // filled up by a harvest while the box was open
            ShowMessage(m_dialogParent, core::ListFullMessage(m_kind));
        else
            emit edited(before);
    }
    emit countsChanged();
}

void EntryList::edit(int row) {
    QListWidgetItem* item = m_list->item(row);
    if (!item)
        return;
    // The list may change while the box is open (a harvest appends, a shuffle reorders): the
    // answer goes to this entry only if it is still where it was.
    const QPersistentModelIndex target(m_list->model()->index(row, 0));
    QInputDialog* input = AskText(m_dialogParent, core::AddEntryPrompt(m_kind), item->text(),
                                  [this, target](const QString& answer) {
                                      const QString entry = answer.trimmed();
                                      if (entry.isEmpty() || !target.isValid())
                                          return;
                                      const QString problem = refusal(entry);
                                      if (!problem.isEmpty()) {
                                          ShowMessage(m_dialogParent, problem);
                                          return;
                                      }
                                      const QStringList before = entries();
                                      m_list->item(target.row())->setText(entry);
                                      emit edited(before);
                                  });
    describeForms(input);
}

void EntryList::replaceAll(const QStringList& entries) {
    m_list->clear();
    m_list->addItems(entries);
    select(-1);
    emit countsChanged();
}

void EntryList::take(const QStringList& entries) {
    const QStringList before = this->entries();
    replaceAll(entries);
    emit edited(before);
}

QString EntryList::importFile(const QString& path) {
    QString reason;
    const std::optional<QList<core::ListLine>> read = core::readListFile(path, &reason);
    const QString name = QFileInfo(path).fileName();
    if (!read)
        return QStringLiteral("%1 could not be read: %2").arg(name, reason);
    int dropped = 0;
    take(core::AcceptedEntries(m_kind, core::entryTexts(*read), &dropped));
    return dropped == 0 ? QString() : core::LeftOutMessage(dropped, name);
}

bool EntryList::append(const QString& entry) {
    // The list may have filled up while the input box was open (the harvester adds domains).
    if (isFull())
        return false;
    m_list->addItem(entry);
    return true;
}

int EntryList::selectedIndex() const {
    int first = -1;
    for (const QListWidgetItem* item : m_list->selectedItems()) {
        const int row = m_list->row(item);
        if (first < 0 || row < first)
            first = row;
    }
    return first;
}

void EntryList::select(int index) {
    if (index >= 0 && index < m_list->count()) {
        m_list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect); // this one only
        m_list->scrollToItem(m_list->item(index));
        return;
    }
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
}

void EntryList::removeSelected() {
    const int position = selectedIndex();
    if (position >= 0) {
        const QStringList before = entries();
        QList<int> rows;
        for (const QListWidgetItem* item : m_list->selectedItems())
            rows << m_list->row(item);
        std::sort(rows.begin(), rows.end(), std::greater<>()); // from the end: rows stay put
        for (const int row : rows)
            delete m_list->takeItem(row);
        const int remaining = m_list->count();
        // The entry that moved up into the first removed one's place, the only one left, or
        // none when the removed entries were the last ones.
        select(remaining == 1 ? 0 : position);
        emit edited(before);
    }
    emit countsChanged();
}

void EntryList::shuffle() {
    const QStringList before = entries();
    const QStringList shuffled = core::ShuffleEntries(before, m_random);
    m_list->clear();
    m_list->addItems(shuffled);
    select(-1);
    emit edited(before);
}

} // namespace tarnbell::gui
