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
    QStringList filters; // "CSV Files (*.csv)", ...; the first is preselected
    QString title;       // the dialog's caption
    QString initialDir;  // the folder shown first
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
// the screen). No question before replacing an existing file, and no extension added to a
// typed name. `done` gets the result once the dialog closes.
QFileDialog* ShowSave(QWidget* owner, const SaveDialogSettings& settings,
                      std::function<void(const SaveDialogResult&)> done);

// The open-file dialog, modal over `owner`, for an existing file. `done` gets the chosen file,
// or the empty text when the dialog ends without one.
QFileDialog* ShowOpen(QWidget* owner, const QString& title, const QString& initialDir,
                      const QStringList& filters, std::function<void(const QString&)> done);

// The folder a save dialog starts in: `programDir` when the user may write there, otherwise
// `documentsDir` (an installed program's folder never is writable), or the home folder
// when there is no documents folder; ends with "/".
QString StartFolder(const QString& programDir, const QString& documentsDir);

// Where a dialog of `dialogSize` goes to sit centred on `ownerFrame`: halves rounded to
// the even neighbour.
QPoint CentreOverOwner(const QRect& ownerFrame, const QSize& dialogSize);

} // namespace tarnbell::gui
