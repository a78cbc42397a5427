#pragma once
// The editing the input lists offer beyond their buttons: Delete removes the selected entries,
// a double-click edits one, Ctrl+C copies, a context menu gathers these with import and export
// of list files and "Restore default lists". The result lists get Ctrl+C and a context menu
// with Copy and Clear results. Every action that changes a list follows its "+" button, so
// nothing here edits a list that a run has locked.

#include <QObject>
#include <functional>

class QAction;
class QPushButton;
class QWidget;

namespace tarnbell::gui {

class EntryList;
class FileChooser;
class ResultView;

class ListActions final : public QObject {
    Q_OBJECT
public:
    ListActions(EntryList* list, QPushButton* addButton, QPushButton* removeButton,
                std::function<void()> restoreDefaults, FileChooser* files, QWidget* dialogParent);

    // Opens the dialog that picks a list file to read, or a file to write the list to.
    void importList();
    void exportList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An action of the list's own, found by `name`, in its context menu.
    QAction* addAction(const char* name, const QString& text, std::function<void()> run,
                       bool edits);
    void followLock();
    QString listName() const;

    EntryList* m_list;
    QPushButton* m_addButton;
    FileChooser* m_files;
    QWidget* m_dialogParent;
    QList<QAction*> m_editing; // the actions a run's lock disables
};

// Ctrl+C and the context menu (Copy, Clear results) of a result list; "Clear results" presses
// `clearButton`, so it is refused whenever that button is.
void AddResultActions(ResultView* view, QPushButton* clearButton);

} // namespace tarnbell::gui
