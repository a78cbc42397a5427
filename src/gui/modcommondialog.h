#pragma once
// The file dialogs: the name of a file to save, placed over the centre of its owner window,
// and an existing file to open. Opened without a nested event loop; the caller goes on in
// the callback.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QFileDialog;
class QWidget;

namespace tarnbell::gui {

// What the caller sets before each call.
struct SaveDialogSettings {
    QStringList filters;   // "CSV Files (*.csv)", ...; the first is preselected
    QString title;         // the dialog's caption
    QString initialDir;    // the folder shown first
    QString defaultSuffix; // added to a chosen name without one: "csv"
};

struct SaveDialogResult {
    QStringList fileNames; // the chosen name without its folder; empty when none
    QString directory;     // the chosen file's folder, ending with "/"; empty when none
    bool canceled = true;  // the dialog ended without a file

    // The chosen file: the folder and the name joined.
    QString filePath() const {
        return fileNames.isEmpty() ? QString() : directory + fileNames.first();
    }
};

// Opens the dialog modal over `owner` and centred on it (also when that puts part of it off
// the screen). The dialog's own question comes before an existing file is replaced; the
// default suffix is added to a name that has none, before that question. `done` gets the
// result once the dialog closes.
QFileDialog* ShowSave(QWidget* owner, const SaveDialogSettings& settings,
                      std::function<void(const SaveDialogResult&)> done);

// The open-file dialog, modal over `owner`, for an existing file. `done` gets the chosen file,
// or the empty text when the dialog ends without one.
QFileDialog* ShowOpen(QWidget* owner, const QString& title, const QString& initialDir,
                      const QStringList& filters, std::function<void(const QString&)> done);

// The folder a file dialog starts in: `lastFolder` (where the user last saved or opened a
// file) while it is still there, otherwise `documentsDir`, or the home folder when there is
// no documents folder; never the program's own folder. Ends with "/", so that the dialog
// shows the folder rather than offer its name as the file's.
QString StartFolder(const QString& lastFolder, const QString& documentsDir);

// Where a dialog of `dialogSize` goes to sit centred on `ownerFrame`: halves rounded to
// the even neighbour.
QPoint CentreOverOwner(const QRect& ownerFrame, const QSize& dialogSize);

} // namespace tarnbell::gui
