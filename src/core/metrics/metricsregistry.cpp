#include "core/metrics/metricsregistry.h"

#include "core/results/runreport.h"

#include <algorithm>

namespace tarnbell::core {

void HistogramSeries::observe(double seconds) {
    const auto bucket = std::lower_bound(kDurationBuckets.begin(), kDurationBuckets.end(), seconds);
    ++counts[static_cast<std::size_t>(bucket - kDurationBuckets.begin())];
    ++count;
    sum += seconds;
}

void MetricsRegistry::addRun(const QList<LookupRecord>& lookups, double endedSeconds) {
    for (const LookupRecord& lookup : lookups) {
        const QString transport = transportName(transportOf(lookup.serverEntry));
        const QString kind = queryKindName(lookup.queryKind);
        // Every lookup is counted by its outcome, as the JSON names it.
        CounterSeries& counter =
            m_outcomes
                .try_emplace({lookup.serverEntry, transport, kind, lookupOutcomeName(lookup)},
                             CounterSeries{0, endedSeconds})
                .first->second;
        ++counter.value;
        // Timed as every figure of the program times it: a failed or unanswered lookup counts
        // ten seconds, so a server that fails often shows it in its quantiles, as it does in
        // its median, instead of looking fast on the few lookups it answers. An uncached or
        // top-level sample that came from a cache is counted, not timed, as in the figures.
        if (lookup.cacheCheck != CacheCheck::FromCache) {
            HistogramSeries series;
            series.createdSeconds = endedSeconds;
            m_durations.try_emplace({lookup.serverEntry, transport, kind}, series)
                .first->second.observe(lookup.seconds);
        }
        if (lookup.newConnection) {
            HistogramSeries series;
            series.createdSeconds = endedSeconds;
            m_setups.try_emplace({lookup.serverEntry, transport}, series)
                .first->second.observe(lookup.connectSeconds);
        }
    }
    ++m_runs;
    m_lastRunEnd = endedSeconds;
}

} // namespace tarnbell::core
