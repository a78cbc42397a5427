#pragma once
// The window's file dialogs for exports and list files: every export asks with the same save
// dialog (its own question before replacing a file, the suffix added to a bare name), every
// dialog starts in the folder last used, and a written file is named on the status line.

#include "modcommondialog.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QWidget;

namespace tarnbell::gui {

class FileChooser final : public QObject {
    Q_OBJECT
public:
    FileChooser(QWidget* owner, QLabel* status);

    // The folder of the last file saved or opened; empty before the first.
    QString lastFolder() const { return m_lastFolder; }
    void setLastFolder(const QString& folder) { m_lastFolder = folder; }

    // Asks where to save with `dialog` (its start folder is chosen here), writes `bytes` whole
    // to the chosen file and says so on the status line, or in a box why it could not.
    // `written` runs after a successful write.
    void exportBytes(SaveDialogSettings dialog, const QByteArray& bytes,
                     std::function<void()> written = {});

    // Asks for an existing file to read; `done` gets it (not for a dialog cancelled).
    void open(const QString& title, const QStringList& filters,
              std::function<void(const QString&)> done);

private:
    QString startFolder() const;

    QWidget* m_owner;
    QLabel* m_status;
    QString m_lastFolder;
};

} // namespace tarnbell::gui
