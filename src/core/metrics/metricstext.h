#pragma once
// The registry's metrics as text a scraper reads: the Prometheus text format 0.0.4, which
// node_exporter's textfile collector and promtool read, and OpenMetrics 1.0, which Prometheus
// asks for first (with `_created` samples for counters and histograms, and `# EOF`).
//
// Families, each with its labels:
//   tarnbell_lookup_duration_seconds   histogram  server, transport, kind
//   tarnbell_lookups_total             counter    server, transport, kind, outcome
//   tarnbell_connection_setup_seconds  histogram  server, transport
//   tarnbell_run_timestamp_seconds     gauge      (none; once a run has ended)
//   tarnbell_build_info                gauge      version (OpenMetrics: info tarnbell_build)

#include "core/metrics/metricsregistry.h"

#include <QByteArray>

namespace tarnbell::core {

enum class MetricsFormat { Prometheus, OpenMetrics };

// The Content-Type of each format, as scrapers expect it.
QByteArray metricsContentType(MetricsFormat format);

QByteArray metricsText(const MetricsRegistry& registry, MetricsFormat format);

} // namespace tarnbell::core
