#include "core/run/tickscale.h"

namespace tarnbell::core {

QList<float> TickPositions(float width, int steps) {
    QList<float> positions;
    if (steps < 1 || !(width > 0.0F))
        return positions;
    const float step = width / static_cast<float>(steps);
    positions.reserve(steps + 1);
    for (float x = 0.0F; x <= width; x += step)
        positions.append(x);
    return positions;
}

TickScale TickScaleFor(float width, int servers, int domains) {
    if (servers <= 0 || domains <= 0)
        return {};
    return {TickPositions(width, servers), TickPositions(width, servers * domains)};
}

} // namespace tarnbell::core
