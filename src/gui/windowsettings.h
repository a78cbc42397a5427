#pragma once
// What the window remembers from one start to the next: both input lists, the record type,
// the transports' settings, the harvest count, the window's geometry and state, and each result
// list's column widths and sort. Kept in QSettings at the platform's standard place (tests
// give a file of their own).

#include <QSize>

class QSettings;
class QWidget;
class frmMain;

namespace tarnbell::gui {

// Writes what the window is to remember into `settings`.
void SaveWindowSettings(const frmMain& window, QSettings& settings);

// Puts back what `settings` holds. Whatever is missing or unusable keeps the window's start
// value, so the first start ever shows the defaults; lists that come back pass the same
// limits as typed entries.
void RestoreWindowSettings(frmMain& window, QSettings& settings);

// The window's start size when none is remembered: `preferred`, shrunk to fit `available`
// (the screen less its panels) with a margin, so that at large scaling it is not larger
// than the screen.
QSize StartSize(QSize preferred, QSize available);
// The start size of `window` on its screen: 900 x 560 at the font it was laid out at,
// larger for a larger font and where its controls ask for more.
QSize StartSize(const QWidget& window);

} // namespace tarnbell::gui
