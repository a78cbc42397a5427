#include "core/runreport.h"

#include "core/benchmarkengine.h"
#include "core/resultmodels.h"
#include "core/statistics.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace tarnbell::core {

namespace {

constexpr double kUnansweredSeconds = 10.0;

QString outcomeName(ProbeOutcome outcome) {
    switch (outcome) {
    case ProbeOutcome::Answered:
        return QStringLiteral("answered");
    case ProbeOutcome::TimedOut:
        return QStringLiteral("timed_out");
    case ProbeOutcome::SocketError:
        return QStringLiteral("socket_error");
    case ProbeOutcome::HostNotFound:
        return QStringLiteral("host_not_found");
    case ProbeOutcome::QueryNotBuilt:
        return QStringLiteral("query_not_built");
    }
    return QStringLiteral("unknown");
}

} // namespace

LookupRecord lookupRecord(const QString& serverEntry, const QString& domain,
                          const ProbeResult& result) {
    return {serverEntry, domain, result.failed() ? kUnansweredSeconds : result.seconds,
            result.outcome, result.failed() ? result.errorText : QString()};
}

ServerFigures serverFigures(const QString& serverEntry, const QList<LookupRecord>& lookups,
                            bool isLocal) {
    ServerFigures figures;
    figures.serverEntry = serverEntry;
    figures.isLocal = isLocal;
    figures.lookups = static_cast<int>(lookups.size());
    if (lookups.isEmpty())
        return figures;

    double totalSeconds = 0.0; // summed in lookup order, as the run sums them
    QList<double> wholeMs;
    QList<double> exactMs;
    for (const LookupRecord& lookup : lookups) {
        totalSeconds += lookup.seconds;
        wholeMs.append(wholeMilliseconds(lookup.seconds));
        exactMs.append(lookup.seconds * 1000.0);
        figures.timeouts += lookup.outcome == ProbeOutcome::TimedOut ? 1 : 0;
        figures.errors +=
            lookup.outcome != ProbeOutcome::TimedOut && lookup.outcome != ProbeOutcome::Answered
                ? 1
                : 0;
    }
    figures.meanMs = meanMilliseconds(totalSeconds, lookups.size());
    figures.medianMs = medianMilliseconds(wholeMs);
    const auto [low, high] = std::minmax_element(exactMs.cbegin(), exactMs.cend());
    figures.minMs = *low;
    figures.maxMs = *high;

    double exactMean = 0.0;
    for (double ms : exactMs)
        exactMean += ms;
    exactMean /= static_cast<double>(exactMs.size());
    double squares = 0.0;
    for (double ms : exactMs)
        squares += (ms - exactMean) * (ms - exactMean);
    figures.stddevMs = std::sqrt(squares / static_cast<double>(exactMs.size()));
    return figures;
}

FastestServers fastestServers(const QList<ServerFigures>& servers) {
    FastestServers fastest;
    double bestMean = 0.0;
    double bestMedian = 0.0;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const ServerFigures& figures = servers.at(i);
        if (i == 0 || figures.meanMs < bestMean) {
            bestMean = figures.meanMs;
            fastest.byMean = figures.serverEntry;
        }
        if (const double median = std::floor(figures.medianMs); i == 0 || median < bestMedian) {
            bestMedian = median;
            fastest.byMedian = figures.serverEntry;
        }
    }
    return fastest;
}

RunRecorder::RunRecorder(const BenchmarkEngine* engine, const SummaryTableModel* summary,
                         QObject* parent)
    : QObject(parent), m_summary(summary) {
    connect(engine, &BenchmarkEngine::lookupMeasured, this,
            [this](int, const QString& entry, const QString& domain, const ProbeResult& result) {
                m_lookups.append(lookupRecord(entry, domain, result));
            });
    // The summary row closes the server: every lookup since the previous one is its.
    connect(engine, &BenchmarkEngine::summaryRowAdded, this, [this](int row) {
        const SummaryRow& summaryRow = m_summary->summaryAt(row);
        m_servers.append(serverFigures(summaryRow.serverEntry, m_lookups.mid(m_serverStart),
                                       summaryRow.isLocal));
        m_serverStart = m_lookups.size();
    });
}

QJsonObject runReportJson(const QString& recordType, const QList<LookupRecord>& lookups,
                          const QList<ServerFigures>& servers) {
    QJsonArray lookupArray;
    for (const LookupRecord& lookup : lookups) {
        QJsonObject item{{"server", lookup.serverEntry},
                         {"domain", lookup.domain},
                         {"record_type", recordType},
                         {"seconds", lookup.seconds},
                         {"timed_out", lookup.outcome == ProbeOutcome::TimedOut},
                         {"outcome", outcomeName(lookup.outcome)}};
        if (!lookup.errorText.isEmpty())
            item.insert(QStringLiteral("error"), lookup.errorText);
        lookupArray.append(item);
    }
    QJsonArray serverArray;
    for (const ServerFigures& figures : servers) {
        serverArray.append(QJsonObject{{"server", figures.serverEntry},
                                       {"mean_ms", figures.meanMs},
                                       {"median_ms", figures.medianMs},
                                       {"min_ms", figures.minMs},
                                       {"max_ms", figures.maxMs},
                                       {"stddev_ms", figures.stddevMs},
                                       {"lookups", figures.lookups},
                                       {"timeouts", figures.timeouts},
                                       {"errors", figures.errors},
                                       {"is_local", figures.isLocal}});
    }
    const FastestServers fastest = fastestServers(servers);
    return QJsonObject{
        {"record_type", recordType},
        {"lookups", lookupArray},
        {"servers", serverArray},
        {"fastest", QJsonObject{{"by_mean", fastest.byMean}, {"by_median", fastest.byMedian}}}};
}

} // namespace tarnbell::core
