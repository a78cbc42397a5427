#include "core/probe/arrivalclock.h"

#include <algorithm>
#include <chrono>

namespace tarnbell::core {
namespace {

// Reading two clocks back to back takes a few hundred nanoseconds, and the wall clock may
// be slewed by a few hundred parts per million: a step smaller than this is not told apart
// from that noise, and cannot move a figure by a whole millisecond either.
constexpr qint64 kStepToleranceNs = 200'000;

qint64 sinceEpochNs(auto timePoint) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(timePoint.time_since_epoch())
        .count();
}

} // namespace

ClockReading readClocks() {
    ClockReading reading;
    reading.monotonicNs = sinceEpochNs(std::chrono::steady_clock::now());
    reading.wallNs = sinceEpochNs(std::chrono::system_clock::now());
    return reading;
}

MeasuredSpan measuredSpan(const ClockReading& sent, const ClockReading& read,
                          std::optional<qint64> kernelWallNs) {
    const qint64 monotonicSpan = read.monotonicNs - sent.monotonicNs;
    const MeasuredSpan fallback{monotonicSpan, TimeSource::Monotonic};
    if (!kernelWallNs)
        return fallback;
    const qint64 offsetAtSend = sent.wallNs - sent.monotonicNs;
    const qint64 offsetAtRead = read.wallNs - read.monotonicNs;
    const qint64 drift = offsetAtRead - offsetAtSend;
    if (drift > kStepToleranceNs || drift < -kStepToleranceNs)
        return fallback;
    const qint64 kernelSpan = *kernelWallNs - offsetAtSend - sent.monotonicNs;
    if (kernelSpan < -kStepToleranceNs || kernelSpan > monotonicSpan + kStepToleranceNs)
        return fallback;
    return {std::clamp<qint64>(kernelSpan, 0, monotonicSpan), TimeSource::Kernel};
}

} // namespace tarnbell::core
