#pragma once
// The window's message box and input box: ordinary modal dialogs captioned with the
// application's title. They are opened without a nested event loop; the caller goes on in
// the callback once the user has answered.

#include <QMessageBox>
#include <QString>
#include <functional>

class QInputDialog;
class QWidget;

namespace tarnbell::gui {

inline constexpr const char* kAppTitle = "Tarnbell";

// A modal box with `text` and an OK button only. `done` runs once it is dismissed. Most boxes
// tell of something refused or gone wrong, hence the warning sign unless `icon` says otherwise
// (Information for a result or the program's own description).
QMessageBox* ShowMessage(QWidget* parent, const QString& text,
                         QMessageBox::Icon icon = QMessageBox::Warning,
                         std::function<void()> done = {});

// A modal prompt with a text field holding `initial`, OK and Cancel. `done` gets the typed
// text, or the empty text on Cancel.
QInputDialog* AskText(QWidget* parent, const QString& prompt, const QString& initial,
                      std::function<void(const QString&)> done);

} // namespace tarnbell::gui
