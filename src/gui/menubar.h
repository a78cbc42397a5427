#pragma once
// The window's menu bar: File (Export CSV, Quit), Lists (Import, Export and Restore for each
// list, Undo), Run (Benchmark, Pause, Skip, Stop) and Help (About). An entry that stands for
// a button presses it and is enabled exactly when the button is, so a run's lock and a
// harvest's apply to the menu as they do to the buttons.

class QAction;
class frmMain;

namespace tarnbell::gui {

class ListActions;

void BuildMenuBar(frmMain& window, const ListActions& servers, const ListActions& domains,
                  QAction* undo);

} // namespace tarnbell::gui
