#pragma once
// The tick scale under the progress fill: a long tick where each server's share of a run
// starts and a short tick for every single lookup, so the fill passes one short tick per
// lookup.

#include <QList>

namespace tarnbell::core {

// Positions 0, step, 2 x step, ... for as long as they stay within `width`, with step =
// width / `steps`. Single precision and repeated addition, as the strip is drawn: the tick
// at `width` itself appears only when the accumulated position does not pass it. Empty when
// `steps` < 1 or the width is not positive.
QList<float> TickPositions(float width, int steps);

struct TickScale {
    QList<float> serverTicks; // drawn from 0.8 x height down to the bottom edge
    QList<float> lookupTicks; // drawn from 0.9 x height down to the bottom edge
};

inline constexpr float kServerTickTop = 0.8F;
inline constexpr float kLookupTickTop = 0.9F;

// Both rows of ticks for a strip of `width` and lists of `servers` and `domains` entries;
// no ticks at all while either list is empty.
TickScale TickScaleFor(float width, int servers, int domains);

} // namespace tarnbell::core
