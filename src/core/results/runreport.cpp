#include "core/results/runreport.h"

#include "core/checks/checkstablemodel.h"
#include "core/results/verdict.h"

#include <QJsonArray>

namespace tarnbell::core {

QString lookupOutcomeName(const LookupRecord& lookup) {
    switch (lookup.outcome) {
    case ProbeOutcome::Answered:
        // A reply that refuses or cannot answer is no answer.
        return lookup.kind() == LookupKind::Answered ? QStringLiteral("answered")
                                                     : QStringLiteral("error_reply");
    case ProbeOutcome::TimedOut:
        return QStringLiteral("timed_out");
    case ProbeOutcome::SocketError:
        return QStringLiteral("socket_error");
    case ProbeOutcome::HostNotFound:
        return QStringLiteral("host_not_found");
    case ProbeOutcome::QueryNotBuilt:
        return QStringLiteral("query_not_built");
    case ProbeOutcome::Unreachable:
        return QStringLiteral("unreachable");
    }
    return QStringLiteral("unknown");
}

namespace {

// Numbers that an empty set does not have are left out rather than written as 0.
QJsonObject timeFiguresJson(const TimeFigures& figures) {
    QJsonObject object{{"lookups", figures.lookups},
                       {"answered", figures.answered},
                       {"timeouts", figures.timeouts},
                       {"errors", figures.failures}};
    if (figures.lookups == 0)
        return object;
    object.insert(QStringLiteral("mean_ms"), figures.meanMs);
    object.insert(QStringLiteral("median_ms"), figures.medianMs);
    object.insert(QStringLiteral("median_exact_ms"), figures.exactMedianMs);
    object.insert(QStringLiteral("median_ci_ms"),
                  QJsonArray{figures.medianLowMs, figures.medianHighMs});
    object.insert(QStringLiteral("min_ms"), figures.minMs);
    object.insert(QStringLiteral("p90_ms"), figures.p90Ms);
    object.insert(QStringLiteral("max_ms"), figures.maxMs);
    object.insert(QStringLiteral("stddev_ms"), figures.stddevMs);
    return object;
}

QJsonValue entryOrNull(const QString& entry, bool any) {
    return any ? QJsonValue(entry) : QJsonValue(QJsonValue::Null);
}

} // namespace

QJsonObject runReportJson(const QString& recordType, const QList<LookupRecord>& lookups,
                          const QList<ServerFigures>& servers, const QList<ServerChecks>& checks) {
    QJsonArray lookupArray;
    for (const LookupRecord& lookup : lookups) {
        QJsonObject item{{"server", lookup.serverEntry},
                         {"domain", lookup.domain},
                         {"record_type", recordType},
                         {"seconds", lookup.seconds},
                         {"timed_out", lookup.outcome == ProbeOutcome::TimedOut},
                         {"outcome", lookupOutcomeName(lookup)},
                         {"round", lookup.round + 1},
                         {"kind", queryKindName(lookup.queryKind)},
                         {"qname", lookup.askedName.isEmpty() ? lookup.domain : lookup.askedName}};
        if (lookup.rcode >= 0)
            item.insert(QStringLiteral("rcode"), lookup.rcode);
        if (lookup.truncated)
            item.insert(QStringLiteral("truncated"), true);
        if (!lookup.errorText.isEmpty())
            item.insert(QStringLiteral("error"), lookup.errorText);
        if (!lookup.nsid.isEmpty())
            item.insert(QStringLiteral("nsid"), lookup.nsid);
        if (lookup.cacheCheck != CacheCheck::NotChecked)
            item.insert(QStringLiteral("cache_check"), cacheCheckName(lookup.cacheCheck));
        if (lookup.newConnection)
            item.insert(QStringLiteral("connect_ms"), lookup.connectSeconds * 1000.0);
        lookupArray.append(item);
    }
    QJsonArray serverArray;
    QJsonArray tied;
    for (const ServerFigures& figures : servers) {
        QJsonObject item = timeFiguresJson(figures.all);
        item.insert(QStringLiteral("server"), figures.serverEntry);
        item.insert(QStringLiteral("is_local"), figures.isLocal);
        item.insert(QStringLiteral("tied_with_fastest"), figures.tiedWithFastest);
        if (figures.fastestChance >= 0.0)
            item.insert(QStringLiteral("p_fastest"), figures.fastestChance);
        item.insert(QStringLiteral("transport"), transportName(figures.transport));
        item.insert(QStringLiteral("connections"), figures.connections);
        if (figures.connections > 0)
            item.insert(QStringLiteral("connect_ms"), figures.connectMs);
        if (figures.repeat.lookups > 0) {
            item.insert(QStringLiteral("first"), timeFiguresJson(figures.first));
            item.insert(QStringLiteral("repeat"), timeFiguresJson(figures.repeat));
        }
        // Beside the figures of all lookups, each kind's own, when the run asked more than
        // the listed names.
        QJsonObject kinds;
        for (int k = 0; k < kQueryKindCount; ++k) {
            const auto index = static_cast<std::size_t>(k);
            if (figures.byKind[index].lookups == 0 && figures.fromCache[index] == 0)
                continue;
            QJsonObject kind = timeFiguresJson(figures.byKind[index]);
            if (k == static_cast<int>(QueryKind::Uncached) ||
                k == static_cast<int>(QueryKind::TopLevel))
                kind.insert(QStringLiteral("from_cache"), figures.fromCache[index]);
            kinds.insert(queryKindName(static_cast<QueryKind>(k)), kind);
        }
        if (!kinds.isEmpty() && !(kinds.size() == 1 && kinds.contains(QStringLiteral("listed"))))
            item.insert(QStringLiteral("kinds"), kinds);
        for (const ServerChecks& checked : checks) {
            if (checked.serverEntry == figures.serverEntry)
                item.insert(QStringLiteral("checks"), checksJson(checked));
        }
        serverArray.append(item);
        if (figures.tiedWithFastest)
            tied.append(figures.serverEntry);
    }
    const FastestServers fastest = fastestServers(servers);
    return QJsonObject{
        {"record_type", recordType},
        {"lookups", lookupArray},
        {"servers", serverArray},
        {"fastest", QJsonObject{{"by_mean", entryOrNull(fastest.byMean, fastest.any())},
                                {"by_median", entryOrNull(fastest.byMedian, fastest.any())}}},
        {"tied_with_fastest", tied}};
}

} // namespace tarnbell::core
