#pragma once
// The two clocks a lookup is timed with. The span is taken on the monotonic clock, which no
// wall-clock step moves; the arrival may instead come from the kernel's receive timestamp,
// which is read on the wall clock but tells when the datagram reached the machine, not when
// a busy thread got round to reading it.

#include <QtGlobal>
#include <optional>

namespace tarnbell::core {

// Where a lookup's arrival time came from.
enum class TimeSource {
    None,      // no answer arrived
    Kernel,    // the kernel's receive timestamp of the datagram
    Monotonic, // the monotonic clock read when the datagram was taken from the socket
};

// Both clocks read back to back, in nanoseconds.
struct ClockReading {
    qint64 monotonicNs = 0;
    qint64 wallNs = 0;
};

ClockReading readClocks();

struct MeasuredSpan {
    qint64 nanoseconds = 0;
    TimeSource source = TimeSource::Monotonic;
};

// The span from `sent` (read just before the query left) to the reply's arrival. The
// kernel's wall-clock stamp is used when it lies between the send and the read on the
// monotonic clock, once both are put on one scale by the wall clock's offset at the send;
// a wall-clock step between send and read (the offset moved) or a stamp outside that window
// falls back to the monotonic span up to `read`.
MeasuredSpan measuredSpan(const ClockReading& sent, const ClockReading& read,
                          std::optional<qint64> kernelWallNs);

} // namespace tarnbell::core
