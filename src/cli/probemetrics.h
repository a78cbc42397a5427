#pragma once
// The probe's metrics: every run's lookups added to one registry for the process, served to
// scrapers and written to the textfile collector's file after each run.

#include "cli/probeoptions.h"
#include "core/metrics/metricsregistry.h"
#include "core/metrics/metricsserver.h"

#include <memory>

namespace tarnbell::cli {

class ProbeMetrics {
public:
    explicit ProbeMetrics(const ProbeOptions& options) : m_options(options) {}

    // Starts the listener when one is asked for: the empty text, or why it cannot listen.
    QString start();
    // Adds a run's lookups and writes the file: the empty text, or what failed.
    QString addRun(const QList<core::LookupRecord>& lookups);

private:
    ProbeOptions m_options;
    core::MetricsRegistry m_registry;
    std::unique_ptr<core::MetricsServer> m_server;
};

} // namespace tarnbell::cli
