#pragma once
// What each control is for, for people and for assistive tools: a tooltip and an accessible
// name on every control, and a mnemonic on every button.

#include <QString>

namespace tarnbell::gui {

struct WindowControls;

// Sets the tooltips and accessible names of the window's controls.
void DescribeControls(const WindowControls& controls);

// The caption of the Pause button with its mnemonic: the engine writes "Pause" or "Resume",
// and Alt+R already belongs to the "R" buttons.
QString PauseCaption(const QString& written);

// What the "+" box accepts, shown in its empty text field and as its tooltip.
QString AcceptedServerForms();
QString AcceptedDomainForms();

} // namespace tarnbell::gui
