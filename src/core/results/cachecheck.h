#pragma once
// Whether an uncached or top-level sample of one server really was a cache miss. A validating
// resolver may answer a random name from NSEC records it already holds (RFC 8198), and a
// second entry for the same resolver finds the first one's answers cached. An answer fetched
// afresh carries its zone's full negative TTL (RFC 2308 5: the lesser of the SOA record's TTL
// and its MINIMUM field); one served from a cache carries it counted down. TTLs tick in whole
// seconds, so an answer synthesised within the second of the fresh one shows the same TTL:
// such a sample is told by its time too, when it is as fast as the server's own cache hits.

#include "core/results/figures.h"

#include <QList>

namespace tarnbell::core {

// Sets cacheCheck on every uncached and top-level lookup of `lookups`, all of one server's:
// Fresh, FromCache, or Unknown for a lookup without a negative answer to judge by.
void checkCaches(QList<LookupRecord>& lookups);

} // namespace tarnbell::core
