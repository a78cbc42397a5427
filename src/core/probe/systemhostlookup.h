#pragma once
// The system's resolver (getaddrinfo), for where the program cannot ask name servers itself.

#include "core/probe/hostlookup.h"

namespace tarnbell::core {

// At most this many system lookups are pending at once; a name beyond them fails at once.
inline constexpr int kMaxPendingSystemLookups = 8;

// getaddrinfo on a thread of its own that nothing waits for, at the end of a run or of the
// program: a resolver that never answers holds only that thread, for as long as the system's
// configuration lets it. Its answer goes to `context` by a queued call when that still exists.
HostLookup systemHostLookup();

} // namespace tarnbell::core
