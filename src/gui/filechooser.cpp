#include "filechooser.h"

#include "core/export/wholefile.h"
#include "dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>

namespace tarnbell::gui {

FileChooser::FileChooser(QWidget* owner, QLabel* status)
    : QObject(owner), m_owner(owner), m_status(status) {}

QString FileChooser::startFolder() const {
    return StartFolder(m_lastFolder,
                       QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void FileChooser::exportBytes(SaveDialogSettings dialog, const QByteArray& bytes,
                              std::function<void()> written) {
    dialog.initialDir = startFolder();
    ShowSave(m_owner, dialog,
             [this, bytes, written = std::move(written)](const SaveDialogResult& result) {
                 if (result.canceled)
                     return;
                 m_lastFolder = result.directory;
                 const QString path = result.filePath();
                 const QString problem = core::writeWholeFile(path, bytes);
                 if (!problem.isEmpty()) {
                     ShowMessage(m_owner, problem);
                     return;
                 }
                 m_status->setText(
                     QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(path)));
                 if (written)
                     written();
             });
}

void FileChooser::open(const QString& title, const QStringList& filters,
                       std::function<void(const QString&)> done) {
    ShowOpen(m_owner, title, startFolder(), filters,
             [this, done = std::move(done)](const QString& path) {
                 if (path.isEmpty())
                     return;
                 m_lastFolder = QFileInfo(path).absolutePath();
                 done(path);
             });
}

} // namespace tarnbell::gui
