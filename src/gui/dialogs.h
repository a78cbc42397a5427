#pragma once
// The window's message box and input box: ordinary modal dialogs captioned with the
// application's title. They are opened without a nested event loop; the caller goes on in
// the callback once the user has answered.

#include <QString>
#include <functional>

class QInputDialog;
class QMessageBox;
class QWidget;

namespace tarnbell::gui {

inline constexpr const char* kAppTitle = "Tarnbell";

// A modal box with `text` and an OK button only. `done` runs once it is dismissed.
QMessageBox* ShowMessage(QWidget* parent, const QString& text, std::function<void()> done = {});

// A modal prompt with a text field holding `initial`, OK and Cancel. `done` gets the typed
// text, or the empty text on Cancel.
QInputDialog* AskText(QWidget* parent, const QString& prompt, const QString& initial,
                      std::function<void(const QString&)> done);

} // namespace tarnbell::gui
