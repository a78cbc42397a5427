#pragma once
// What a long-running probe tells a metrics scraper: counters and histograms that add up the
// lookups of every run of the process, series by server, transport, kind and outcome. Never a
// domain: one series per name would grow with the list. The number of series is bounded by
// the servers and kinds of the runs, so a probe running for months holds no more than after
// its first run.

#include "core/results/figures.h"

#include <QString>
#include <array>
#include <map>
#include <tuple>

namespace tarnbell::core {

// Upper bounds of the histogram buckets, in seconds: a cache hit on the same machine takes a
// tenth of a millisecond, a resolver across a continent a few hundred, and a lookup without
// an answer counts ten seconds. Roughly three buckets a decade (1, 2.5, 5) keep the
// quantiles Prometheus estimates from them within the spacing of one bucket.
inline constexpr std::array<double, 16> kDurationBuckets = {
    0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
    0.05,   0.1,     0.25,   0.5,   1.0,    2.5,   5.0,  10.0};

struct HistogramSeries {
    // Observations per bucket, not yet added up; the last for those above the largest bound.
    std::array<quint64, kDurationBuckets.size() + 1> counts{};
    quint64 count = 0;
    double sum = 0.0;
    double createdSeconds = 0.0; // since the Unix epoch: the end of the run that began it

    void observe(double seconds);
};

struct CounterSeries {
    quint64 value = 0;
    double createdSeconds = 0.0;
};

class MetricsRegistry {
public:
    using DurationKey = std::tuple<QString, QString, QString>;         // server, transport, kind
    using OutcomeKey = std::tuple<QString, QString, QString, QString>; // ..., outcome
    using SetupKey = std::tuple<QString, QString>;                     // server, transport

    // Adds a run's lookups as the run's figures give them (their cache checks made), the run
    // having ended at `endedSeconds` since the Unix epoch. A run stopped early adds what it
    // measured.
    void addRun(const QList<LookupRecord>& lookups, double endedSeconds);

    const std::map<DurationKey, HistogramSeries>& durations() const { return m_durations; }
    const std::map<OutcomeKey, CounterSeries>& outcomes() const { return m_outcomes; }
    const std::map<SetupKey, HistogramSeries>& setups() const { return m_setups; }
    int runs() const { return m_runs; }
    double lastRunEndSeconds() const { return m_lastRunEnd; } // meaningful once runs() > 0

private:
    std::map<DurationKey, HistogramSeries> m_durations;
    std::map<OutcomeKey, CounterSeries> m_outcomes;
    std::map<SetupKey, HistogramSeries> m_setups;
    int m_runs = 0;
    double m_lastRunEnd = 0.0;
};

} // namespace tarnbell::core
