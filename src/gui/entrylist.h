#pragma once
// One of the two input lists (servers or domains) with its add, remove and shuffle buttons:
// at most 99 entries, entries kept as typed (less surrounding blanks, as list files and the
// command-line tool take them), in order, duplicates allowed. Several entries can be selected
// at once, edited in place, and read from a plain text file, one entry a line. Every change
// the user makes is announced, so that it can be undone.

#include "core/lists/listlimits.h"

#include <QObject>
#include <QStringList>

class QInputDialog;
class QListWidget;

namespace tarnbell::core {
class RandomSource;
}

namespace tarnbell::gui {

class EntryList final : public QObject {
    Q_OBJECT
public:
    EntryList(QListWidget* list, core::ListKind kind, core::RandomSource& random,
              QWidget* dialogParent);

    QListWidget* widget() const { return m_list; }
    core::ListKind kind() const { return m_kind; }
    // Counts the changes to the entries, whatever made them (a harvest's names too).
    quint64 revision() const { return m_revision; }
    QStringList entries() const;
    int count() const;
    bool isFull() const;

    // "+": on a full list the list-full message; otherwise asks for an entry and appends a
    // non-empty answer. An entry the list's rules refuse (a domain with a blank, a server
    // entry with a port over 65535) is refused with a message.
    void add();
    // "-": removes the selected entries and selects the one that moved into the first
    // removed one's place (the remaining one when one is left, none when the last went).
    void removeSelected();
    // Asks for a new text for the entry at `row`, prefilled; the answer passes the checks of
    // "+" and replaces the entry. An empty answer or Cancel keeps it.
    void edit(int row);
    // Replaces the whole list with `entries` (nothing selected) and redraws the counts.
    void replaceAll(const QStringList& entries);
    // replaceAll() as the user's change (Restore, Import), announced by edited().
    void take(const QStringList& entries);
    // Replaces the list with the entries of a list file; the first 99 are kept and entries
    // the list's rules refuse are left out. The empty text when all went in, otherwise what
    // the user is to be told.
    QString importFile(const QString& path);
    // "R": a random order, nothing selected afterwards.
    void shuffle();
    // Appends `entry` as it is unless the list is full; true when it was appended.
    bool append(const QString& entry);

    // The first selected position, -1 for none.
    int selectedIndex() const;
    void select(int index);

Q_SIGNALS:
    // After every add or remove attempt, answered or not: the counts are to be redrawn.
    void countsChanged();
    // After each change the user made with the list's buttons, keys or menus (add, edit,
    // remove, shuffle, import, restore): what the list held before it.
    void edited(const QStringList& before);
    // After every change to the entries: revision() has grown.
    void revised();

private:
    void accept(const QString& answer);
    void describeForms(QInputDialog* input) const;
    // A message for `answer` that "+" would refuse, the empty text otherwise.
    QString refusal(const QString& answer) const;

    QListWidget* m_list;
    core::ListKind m_kind;
    core::RandomSource& m_random;
    QWidget* m_dialogParent;
    quint64 m_revision = 0;
};

} // namespace tarnbell::gui
