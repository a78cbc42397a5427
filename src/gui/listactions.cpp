#include "listactions.h"

#include "copyrows.h"
#include "core/lists/listfile.h"
#include "dialogs.h"
#include "entrylist.h"
#include "filechooser.h"
#include "question.h"
#include "resultview.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace tarnbell::gui {

namespace {

QAction* separator(QWidget* owner) {
    auto* action = new QAction(owner);
    action->setSeparator(true);
    owner->addAction(action);
    return action;
}

const QStringList kListFilters{QStringLiteral("Text Files (*.txt)"),
                               QStringLiteral("All Files (*)")};

QString entryCount(int count) {
    return count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count);
}

} // namespace

ListActions::ListActions(EntryList* list, QPushButton* addButton, QPushButton* removeButton,
                         std::function<QStringList()> defaults, FileChooser* files,
                         QWidget* dialogParent)
    : QObject(list), m_list(list), m_addButton(addButton), m_defaults(std::move(defaults)),
      m_files(files), m_dialogParent(dialogParent) {
    QListWidget* widget = list->widget();
    widget->setContextMenuPolicy(Qt::ActionsContextMenu);

    addAction(
        "addEntry", QStringLiteral("&Add..."), [addButton] { addButton->click(); }, true);
    QAction* edit = addAction(
        "editEntry", QStringLiteral("&Edit..."),
        [list] { list->edit(list->widget()->currentRow()); }, true);
    edit->setShortcut(Qt::Key_F2);
    QAction* remove = addAction(
        "removeEntries", QStringLiteral("&Remove"), [removeButton] { removeButton->click(); },
        true);
    remove->setShortcut(QKeySequence::Delete);
    QAction* copy = addAction(
        "copyRows", QStringLiteral("&Copy"), [widget] { CopySelectedRows(*widget); }, false);
    copy->setShortcut(QKeySequence::Copy);
    separator(widget);
    m_fileActions << addAction(
        "importList", QStringLiteral("&Import..."), [this] { importList(); }, true);
    m_fileActions << addAction(
        "exportList", QStringLiteral("E&xport..."), [this] { exportList(); }, false);
    separator(widget);
    m_fileActions << addAction(
        "restoreDefaults", QStringLiteral("Restore &default list..."),
        [this] { restoreDefaults(); }, true);

    connect(widget, &QListWidget::itemDoubleClicked, this, [this, list](QListWidgetItem* item) {
        if (m_addButton->isEnabled())
            list->edit(list->widget()->row(item));
    });
    addButton->installEventFilter(this);
    followLock();
}

QAction* ListActions::addAction(const char* name, const QString& text, std::function<void()> run,
                                bool edits) {
    QWidget* widget = m_list->widget();
    auto* action = new QAction(text, widget);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcutContext(Qt::WidgetShortcut); // each list's keys act on that list only
    connect(action, &QAction::triggered, this, std::move(run));
    widget->addAction(action);
    if (edits)
        m_editing << action;
    return action;
}

bool ListActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_addButton && event->type() == QEvent::EnabledChange)
        followLock();
    return QObject::eventFilter(watched, event);
}

void ListActions::followLock() {
    const bool editable = m_addButton->isEnabled();
    for (QAction* action : std::as_const(m_editing))
        action->setEnabled(editable);
}

void ListActions::addFileActions(QMenu* menu) const {
    menu->addActions(m_fileActions);
}

QString ListActions::listName() const {
    return m_list->kind() == core::ListKind::Domains ? QStringLiteral("domain list")
                                                     : QStringLiteral("DNS server list");
}

void ListActions::askToReplace(const QString& replacement, std::function<void()> replace) {
    if (!m_addButton->isEnabled())
        return;
    if (m_list->count() == 0) {
        replace();
        return;
    }
    AskFirst(m_dialogParent,
             QStringLiteral("Replace the %1 (%2) with %3?")
                 .arg(listName(), entryCount(m_list->count()), replacement),
             QStringLiteral("Lists > Undo (Ctrl+Z) brings the entries back."),
             QStringLiteral("&Replace"), [this, replace = std::move(replace)] {
                 // A run may have started since the question was asked.
                 if (m_addButton->isEnabled())
                     replace();
             });
}

void ListActions::importList() {
    const QString title = QStringLiteral("Import %1").arg(listName());
    m_files->open(title, kListFilters, [this](const QString& path) {
        askToReplace(QStringLiteral("the entries of %1").arg(QFileInfo(path).fileName()),
                     [this, path] {
                         const QString note = m_list->importFile(path);
                         if (!note.isEmpty())
                             ShowMessage(m_dialogParent, note);
                     });
    });
}

void ListActions::exportList() {
    SaveDialogSettings dialog;
    dialog.title = QStringLiteral("Export %1").arg(listName());
    dialog.filters = kListFilters;
    dialog.defaultSuffix = QStringLiteral("txt");
    m_files->exportBytes(dialog, core::listFileBytes(m_list->entries()));
}

void ListActions::restoreDefaults() {
    const QString replacement = m_list->kind() == core::ListKind::Domains
                                    ? QStringLiteral("the built-in domains")
                                    : QStringLiteral("the default servers");
    askToReplace(replacement, [this] { m_list->take(m_defaults()); });
}

void AddResultActions(ResultView* view, QPushButton* clearButton) {
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("&Copy"), view);
    copy->setObjectName(QStringLiteral("copyRows"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, view, [view] { CopySelectedRows(*view); });
    view->addAction(copy);
    auto* clear = new QAction(QStringLiteral("C&lear results"), view);
    clear->setObjectName(QStringLiteral("clearResults"));
    QObject::connect(clear, &QAction::triggered, clearButton, [clearButton] {
        if (clearButton->isEnabled())
            clearButton->click();
    });
    view->addAction(clear);
}

} // namespace tarnbell::gui
