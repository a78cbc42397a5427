#include "cli/probeoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace tarnbell::cli {

namespace {

constexpr int kLongestEverySeconds = 24 * 3600;

const QString kEvery = QStringLiteral("every");
const QString kListen = QStringLiteral("metrics-listen");
const QString kFile = QStringLiteral("metrics-file");

// "30s", "5m", "1h": a whole number and its unit, as a schedule is written; nothing else.
std::optional<int> everySeconds(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("\\A([1-9][0-9]{0,5})([smh])\\z"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int unit = match.captured(2) == QLatin1String("h")   ? 3600
                     : match.captured(2) == QLatin1String("m") ? 60
                                                               : 1;
    const qint64 seconds = match.captured(1).toLongLong() * unit;
    if (seconds > kLongestEverySeconds)
        return std::nullopt;
    return static_cast<int>(seconds);
}

} // namespace

void addProbeOptions(QCommandLineParser& parser) {
    parser.addOption({kEvery,
                      "Run again every DURATION (30s, 5m, 1h; 1s to 24h) until SIGINT or "
                      "SIGTERM, the outputs replaced after each run.",
                      "duration"});
    parser.addOption({kListen,
                      "With --every: serve the metrics at http://ADDR:PORT/metrics (a port "
                      "alone listens on 127.0.0.1).",
                      "addr:port"});
    parser.addOption({kFile,
                      "Write the metrics in the Prometheus text format to this file after "
                      "each run, replaced whole (node_exporter's textfile collector).",
                      "file"});
}

QString readProbeOptions(const QCommandLineParser& parser, ProbeOptions& options) {
    if (parser.isSet(kEvery)) {
        const std::optional<int> seconds = everySeconds(parser.value(kEvery));
        if (!seconds)
            return QStringLiteral("bad --every %1: give a whole number of seconds, minutes or "
                                  "hours, such as 30s, 5m or 1h, from 1s to 24h")
                .arg(parser.value(kEvery));
        options.everySeconds = *seconds;
    }
    if (parser.isSet(kListen)) {
        const core::ListenAddress address = core::parseListenAddress(parser.value(kListen));
        if (!address.isValid())
            return QStringLiteral("bad --metrics-listen %1: %2")
                .arg(parser.value(kListen), address.errorText);
        // A single run would end before any scraper came.
        if (options.everySeconds == 0)
            return QStringLiteral("--metrics-listen needs --every");
        options.listen = address;
    }
    options.metricsFile = parser.value(kFile);
    if (parser.isSet(kFile) && options.metricsFile.isEmpty())
        return QStringLiteral("an empty file name for --metrics-file");
    return {};
}

QString probeDescription() {
    return QStringLiteral(
        "\n"
        "As a probe for Prometheus: --every repeats the run (each one's outputs\n"
        "replacing the last's) until SIGINT or SIGTERM, which ends the run under way\n"
        "as above. --metrics-listen serves, and --metrics-file writes after each run,\n"
        "counters and histograms over all runs of the process:\n"
        "tarnbell_lookup_duration_seconds (server, transport, kind; a failed lookup\n"
        "counts 10 s), tarnbell_lookups_total (and outcome),\n"
        "tarnbell_connection_setup_seconds (server, transport),\n"
        "tarnbell_run_timestamp_seconds and tarnbell_build_info; OpenMetrics to a\n"
        "scraper that asks for it, the Prometheus text format otherwise.\n");
}

} // namespace tarnbell::cli
