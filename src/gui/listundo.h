#pragma once
// Undo for the input lists: Ctrl+Z takes back the last change the user made to either list
// (add, edit, remove, shuffle, import, restore), once. It is offered only while that list
// still holds what the change left: after a harvest has added names since, undoing would
// take them too, so it is not offered. A run's lock disables it as it does the list buttons.

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

class QAction;

namespace tarnbell::gui {

class EntryList;

class ListUndo final : public QObject {
    Q_OBJECT
public:
    // `lockButton` is a list's "+" button: Undo is enabled only when it is.
    ListUndo(const QList<EntryList*>& lists, QPushButton* lockButton, QObject* parent);

    // "Undo" with its Ctrl+Z, for the menu bar.
    QAction* action() const { return m_action; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void record(EntryList* list, const QStringList& before);
    void undo();
    // Forgets the change once its list holds something else, and enables the action.
    void refresh();

    QAction* m_action;
    // Both go before this object when the window closes, and may still signal meanwhile;
    // the button is held as a widget, which it still is while its destructor tells the
    // filter it changed (no longer a push button by then).
    QPointer<QWidget> m_lockButton;
    QPointer<EntryList> m_changed; // the list of the last change, null when none
    QStringList m_before;
    quint64 m_revisionAfter = 0; // the list's revision once changed
};

} // namespace tarnbell::gui
