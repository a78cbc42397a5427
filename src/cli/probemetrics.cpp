#include "cli/probemetrics.h"

#include "core/export/wholefile.h"

#include <QDateTime>

namespace tarnbell::cli {

QString ProbeMetrics::start() {
    if (!m_options.listen)
        return {};
    m_server = std::make_unique<core::MetricsServer>(
        [this](core::MetricsFormat format) { return core::metricsText(m_registry, format); });
    return m_server->listen(m_options.listen->address, m_options.listen->port);
}

QString ProbeMetrics::addRun(const QList<core::LookupRecord>& lookups) {
    m_registry.addRun(lookups, double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    if (m_options.metricsFile.isEmpty())
        return {};
    // Replaced by a rename, so the collector never reads half a file; the temporary file's
    // name does not end in ".prom", so the collector passes over it.
    return core::writeWholeFile(m_options.metricsFile,
                                core::metricsText(m_registry, core::MetricsFormat::Prometheus));
}

} // namespace tarnbell::cli
