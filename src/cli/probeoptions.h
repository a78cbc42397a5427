#pragma once
// The options that make tarnbell-cli a probe for a fleet's monitoring: the run repeated on a
// schedule, its metrics served to a scraper and written for node_exporter's textfile collector.

#include "core/metrics/listenaddress.h"

#include <QString>
#include <optional>

class QCommandLineParser;

namespace tarnbell::cli {

struct ProbeOptions {
    int everySeconds = 0;                      // --every; 0 runs once
    std::optional<core::ListenAddress> listen; // --metrics-listen
    QString metricsFile;                       // --metrics-file; empty for none
};

void addProbeOptions(QCommandLineParser& parser);
// Reads the options added above: the empty text, or a one-line refusal.
QString readProbeOptions(const QCommandLineParser& parser, ProbeOptions& options);
// Their paragraph of the help's description.
QString probeDescription();

} // namespace tarnbell::cli
