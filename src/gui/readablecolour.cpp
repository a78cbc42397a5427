#include "readablecolour.h"

#include <algorithm>
#include <cmath>

namespace tarnbell::gui {

namespace {

double channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor Readable(const QColor& written, const QColor& against, double minimum) {
    if (ContrastRatio(written, against) >= minimum)
        return written;
    const bool lighten = luminance(against) < 0.18; // away from the background's side
    const QColor hsl = written.toHsl();
    for (int step = 1; step <= 50; ++step) {
        const double lightness =
            std::clamp(double(hsl.lightnessF()) + (lighten ? 0.02 : -0.02) * step, 0.0, 1.0);
        // Judged as drawn: in 8 bits a channel.
        const QColor shade(
            QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness).toRgb().rgb());
        if (ContrastRatio(shade, against) >= minimum)
            return shade;
    }
    return lighten ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace tarnbell::gui
