#include "modcommondialog.h"

#include "core/results/statistics.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRect>

namespace tarnbell::gui {

QPoint CentreOverOwner(const QRect& ownerFrame, const QSize& dialogSize) {
    const double x = ownerFrame.left() + ownerFrame.width() / 2.0 - dialogSize.width() / 2.0;
    const double y = ownerFrame.top() + ownerFrame.height() / 2.0 - dialogSize.height() / 2.0;
    return {static_cast<int>(core::roundHalfEven(x)), static_cast<int>(core::roundHalfEven(y))};
}

QString StartFolder(const QString& lastFolder, const QString& documentsDir) {
    QString folder = QDir::homePath(); // where no documents folder has been made
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        folder = QFileInfo(lastFolder).absoluteFilePath();
    else if (!documentsDir.isEmpty() && QFileInfo(documentsDir).isDir())
        folder = QFileInfo(documentsDir).absoluteFilePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QFileDialog* ShowSave(QWidget* owner, const SaveDialogSettings& settings,
                      std::function<void(const SaveDialogResult&)> done) {
    auto* dialog = new QFileDialog(owner, settings.title, settings.initialDir);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("ShowSave"));
    // Qt's own dialog on every platform: it can be placed over the owner and behaves the
    // same everywhere.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(settings.filters);
    dialog->setDefaultSuffix(settings.defaultSuffix);

    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, done = std::move(done)](int outcome) {
                         SaveDialogResult result;
                         const QStringList chosen = dialog->selectedFiles();
                         if (outcome == QDialog::Accepted && !chosen.isEmpty()) {
                             const QFileInfo file(chosen.first());
                             result.fileNames = {file.fileName()};
                             result.directory = file.absolutePath();
                             if (!result.directory.endsWith(QLatin1Char('/')))
                                 result.directory += QLatin1Char('/');
                             result.canceled = false;
                         }
                         done(result);
                     });
    dialog->open();
    // Placed once shown, when its size is known; a later move by the user is the user's.
    dialog->move(CentreOverOwner(owner->frameGeometry(), dialog->frameGeometry().size()));
    return dialog;
}

QFileDialog* ShowOpen(QWidget* owner, const QString& title, const QString& initialDir,
                      const QStringList& filters, std::function<void(const QString&)> done) {
    auto* dialog = new QFileDialog(owner, title, initialDir);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("ShowOpen"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters(filters);
    QObject::connect(
        dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)](int outcome) {
            const QStringList chosen = dialog->selectedFiles();
            done(outcome == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
        });
    dialog->open();
    dialog->move(CentreOverOwner(owner->frameGeometry(), dialog->frameGeometry().size()));
    return dialog;
}

} // namespace tarnbell::gui
