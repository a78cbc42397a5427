#include "core/history/historyschema.h"

namespace tarnbell::core {

namespace {

// Codes kept as numbers (small integers cost SQLite one byte or none, and a history holds
// millions of lookups): kind is QueryKind, outcome ProbeOutcome, cache_check CacheCheck,
// time_source TimeSource, lookup_set LookupSet. Times are milliseconds since 1970 (UTC).
// Servers and domains are listed once per run and named by their position in the run's list.
// The tables without a rowid keep each run's rows together in key order, so reopening a run
// reads its rows and nothing else, and the list of runs reads the runs table alone.
const QStringList kVersion1 = {
    QStringLiteral("CREATE TABLE runs ("
                   "id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL, "
                   "ended_ms INTEGER NOT NULL, tool TEXT NOT NULL, record_type TEXT NOT NULL, "
                   "rounds INTEGER NOT NULL, kinds TEXT NOT NULL, "
                   "timeout_seconds REAL NOT NULL, interrupted INTEGER NOT NULL, "
                   "server_count INTEGER NOT NULL, domain_count INTEGER NOT NULL, "
                   "lookup_count INTEGER NOT NULL, fastest_by_median TEXT, fastest_by_mean TEXT)"),
    QStringLiteral("CREATE TABLE run_servers ("
                   "run_id INTEGER NOT NULL, server_index INTEGER NOT NULL, "
                   "entry TEXT NOT NULL, transport TEXT NOT NULL, is_local INTEGER NOT NULL, "
                   "tied_with_fastest INTEGER NOT NULL, p_fastest REAL, "
                   "connections INTEGER NOT NULL, connect_ms REAL NOT NULL, "
                   "PRIMARY KEY (run_id, server_index)) WITHOUT ROWID"),
    QStringLiteral("CREATE TABLE run_domains ("
                   "run_id INTEGER NOT NULL, domain_index INTEGER NOT NULL, "
                   "domain TEXT NOT NULL, PRIMARY KEY (run_id, domain_index)) WITHOUT ROWID"),
    // One row per server and set of lookups that has any: all, first asks, repeats, each kind.
    QStringLiteral("CREATE TABLE figures ("
                   "run_id INTEGER NOT NULL, server_index INTEGER NOT NULL, "
                   "lookup_set INTEGER NOT NULL, lookups INTEGER NOT NULL, "
                   "answered INTEGER NOT NULL, timeouts INTEGER NOT NULL, "
                   "failures INTEGER NOT NULL, from_cache INTEGER NOT NULL, mean_ms REAL, "
                   "median_ms REAL, median_exact_ms REAL, median_low_ms REAL, "
                   "median_high_ms REAL, min_ms REAL, q1_ms REAL, q3_ms REAL, p90_ms REAL, "
                   "max_ms REAL, stddev_ms REAL, "
                   "PRIMARY KEY (run_id, server_index, lookup_set)) WITHOUT ROWID"),
    // qname is NULL when the listed name itself was asked; rcode NULL without a reply;
    // connect_ms NULL when the lookup opened no connection.
    QStringLiteral("CREATE TABLE lookups ("
                   "run_id INTEGER NOT NULL, position INTEGER NOT NULL, "
                   "server_index INTEGER NOT NULL, domain_index INTEGER NOT NULL, qname TEXT, "
                   "kind INTEGER NOT NULL, round INTEGER NOT NULL, repeat INTEGER NOT NULL, "
                   "seconds REAL NOT NULL, outcome INTEGER NOT NULL, rcode INTEGER, "
                   "truncated INTEGER NOT NULL, error TEXT, cache_check INTEGER NOT NULL, "
                   "nsid TEXT, connect_ms REAL, time_source INTEGER NOT NULL, "
                   "PRIMARY KEY (run_id, position)) WITHOUT ROWID"),
};

// The list of runs comes newest first, and a trend follows one server across runs: both
// read an index instead of every run's servers.
const QStringList kVersion2 = {
    QStringLiteral("CREATE INDEX runs_by_start ON runs (started_ms)"),
    QStringLiteral("CREATE INDEX run_servers_by_entry ON run_servers (entry, run_id)"),
};

} // namespace

QStringList historySchemaStep(int version) {
    switch (version) {
    case 1:
        return kVersion1;
    case 2:
        return kVersion2;
    default:
        return {};
    }
}

} // namespace tarnbell::core
