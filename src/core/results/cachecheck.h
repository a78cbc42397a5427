#pragma once
// Whether an uncached or top-level sample of one server really was a cache miss. A validating
// resolver may answer a random name from NSEC records it already holds (RFC 8198), and a
// second entry for the same resolver finds the first one's answers cached. Such an answer
// costs the resolver no trip to another server: it comes back as fast as the server's own
// cache hits (its cached lookups, or else its repeated ones), where a fetched one takes at
// least a round trip more. The time decides where there are cache hits to measure against.
// The negative answer's TTL alone cannot: a resolver may answer a name it has just fetched
// with the SOA record it already held, counted down (unbound does). Without cache hits, a
// sample whose TTL is the longest its zone was served with is taken as fetched, and one
// counted down below it is unknown.

#include "core/results/figures.h"

#include <QList>

namespace tarnbell::core {

// Sets cacheCheck on every uncached and top-level lookup of `lookups`, all of one server's:
// Fresh, FromCache, or Unknown for a lookup without a negative answer to judge by.
void checkCaches(QList<LookupRecord>& lookups);

} // namespace tarnbell::core
