#pragma once
// What a run measured, lookup by lookup and server by server, as JSON at full precision for
// the command-line tool. The figures themselves come from the run's RunFigures.

#include "core/checks/serverchecks.h"
#include "core/results/figures.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace tarnbell::core {

// How a lookup ended, as the JSON's "outcome" names it: "answered", "error_reply" (a reply
// that refuses or cannot answer), "timed_out", "socket_error", "host_not_found",
// "query_not_built" or "unreachable".
QString lookupOutcomeName(const LookupRecord& lookup);

// The whole result as JSON: "record_type", "lookups" (server, domain, record_type, seconds,
// timed_out, outcome, round, kind, qname (the name asked), rcode and truncated for a reply,
// cache_check for an uncached or top-level one, error for a failed one, connect_ms for one
// that opened a connection), "servers" (server, mean_ms, median_ms, median_exact_ms,
// median_ci_ms, min_ms, p90_ms, max_ms, stddev_ms, lookups, answered, timeouts, errors,
// is_local, tied_with_fastest, p_fastest once estimated, transport, connections and connect_ms
// (the mean set-up of a stream transport's connections), "first" and "repeat" with the same
// figures when a listed name was asked again, and "kinds" with each kind's when the run asked
// more than the listed names), "fastest" (by_mean, by_median; null when no server answered)
// and "tied_with_fastest" (server entries). Numbers keep full double precision.
// With `checks`, each server that was checked gets its "checks" (see checksJson()).
QJsonObject runReportJson(const QString& recordType, const QList<LookupRecord>& lookups,
                          const QList<ServerFigures>& servers,
                          const QList<ServerChecks>& checks = {});

} // namespace tarnbell::core
