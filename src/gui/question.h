#pragma once
// The question before a step that replaces what the user made: a modal box with the step's
// own button and Cancel (the default), opened without a nested event loop.

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace tarnbell::gui {

// Asks `text` with `detail` below it; `confirmed` runs only when `confirmCaption` is clicked.
QMessageBox* AskFirst(QWidget* parent, const QString& text, const QString& detail,
                      const QString& confirmCaption, std::function<void()> confirmed);

} // namespace tarnbell::gui
