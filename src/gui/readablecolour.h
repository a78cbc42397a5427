#pragma once
// Text that stays readable on light and dark colour schemes: the program's written colours
// (the blue and red marks, the status fill) are kept wherever they stand out enough from
// what they are drawn against, and otherwise lightened or darkened, hue kept, until they do.

#include <QColor>

namespace tarnbell::gui {

// WCAG 2's minimum for text of this weight against its background: pure red on white
// (4.0) passes, blue on a dark scheme's base (about 1.7) does not.
inline constexpr double kMinimumContrast = 3.0;

// WCAG 2 contrast ratio of two colours, from 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& first, const QColor& second);

// `written` when it contrasts enough with `against`; otherwise the nearest lighter (on a
// dark `against`) or darker shade of it that does.
QColor Readable(const QColor& written, const QColor& against, double minimum = kMinimumContrast);

} // namespace tarnbell::gui
