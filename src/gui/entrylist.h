#pragma once
// One of the two input lists (servers or domains) with its add, remove and shuffle buttons:
// at most 99 entries, entries kept exactly as typed, in order, duplicates allowed.

#include "core/listlimits.h"

#include <QObject>
#include <QStringList>

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
    QStringList entries() const;
    int count() const;
    bool isFull() const;

    // "+": on a full list the list-full message; otherwise asks for an entry and appends a
    // non-empty answer. A domain that no query can carry is refused with a message.
    void add();
    // "-": removes the selected entry and selects the one that moved into its place (the
    // remaining one when one is left, none when the last entry went).
    void removeSelected();
    // "R": a random order, nothing selected afterwards.
    void shuffle();
    // Appends `entry` as it is unless the list is full; true when it was appended.
    bool append(const QString& entry);

    // The selected position, -1 for none.
    int selectedIndex() const;
    void select(int index);

Q_SIGNALS:
    // After every add or remove attempt, answered or not: the counts are to be redrawn.
    void countsChanged();

private:
    void accept(const QString& answer);

    QListWidget* m_list;
    core::ListKind m_kind;
    core::RandomSource& m_random;
    QWidget* m_dialogParent;
};

} // namespace tarnbell::gui
