#pragma once
// What each control is for, for people and for assistive tools: a tooltip and an accessible
// name on every control, and a mnemonic on every button whose caption is a word (the small
// "R", "-" and "+" buttons of both lists would share theirs: Tab reaches them).

#include <QString>

class QPushButton;

namespace tarnbell::gui {

struct WindowControls;

// Sets the tooltips and accessible names of the window's controls.
void DescribeControls(const WindowControls& controls);

// Captions the Pause button "Pause", or "Resume" while paused. Alt+P presses it either way, so
// the key that paused a run also resumes it.
void ShowPauseCaption(QPushButton* button, bool paused);

// What the "+" box accepts, shown under its prompt and as its field's tooltip.
QString AcceptedServerForms();
QString AcceptedDomainForms();

} // namespace tarnbell::gui
