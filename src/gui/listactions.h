#pragma once
// The editing the input lists offer beyond their buttons: Delete removes the selected entries,
// a double-click edits one, Ctrl+C copies, a context menu gathers these with import and export
// of list files and "Restore default list" (the menu bar shows the last three too). Import and
// Restore ask before they replace entries. The result lists get Ctrl+C and a context menu
// with Copy and Clear results. Every action that changes a list follows its "+" button, so
// nothing here edits a list that a run has locked.

#include <QObject>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace tarnbell::gui {

class EntryList;
class FileChooser;
class ResultView;

class ListActions final : public QObject {
    Q_OBJECT
public:
    // `defaults` gives the list as at the first start, for "Restore default list".
    ListActions(EntryList* list, QPushButton* addButton, QPushButton* removeButton,
                std::function<QStringList()> defaults, FileChooser* files, QWidget* dialogParent);

    // Opens the dialog that picks a list file to read, or a file to write the list to.
    void importList();
    void exportList();
    // Asks, then puts the default entries in place.
    void restoreDefaults();
    // Adds Import, Export and Restore to `menu`: the same actions as the context menu's.
    void addFileActions(QMenu* menu) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An action of the list's own, found by `name`, in its context menu.
    QAction* addAction(const char* name, const QString& text, std::function<void()> run,
                       bool edits);
    void followLock();
    // Runs `replace` at once on an empty list, otherwise once the user has agreed to lose
    // the entries to `replacement`; never while the list is locked.
    void askToReplace(const QString& replacement, std::function<void()> replace);
    QString listName() const;

    EntryList* m_list;
    QPushButton* m_addButton;
    std::function<QStringList()> m_defaults;
    FileChooser* m_files;
    QWidget* m_dialogParent;
    QList<QAction*> m_editing;     // the actions a run's lock disables
    QList<QAction*> m_fileActions; // import, export, restore
};

// Ctrl+C and the context menu (Copy, Clear results) of a result list; "Clear results" presses
// `clearButton`, so it is refused whenever that button is.
void AddResultActions(ResultView* view, QPushButton* clearButton);

} // namespace tarnbell::gui
