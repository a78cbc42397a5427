#include "core/results/figures.h"

#include "core/results/cachecheck.h"
#include "core/results/statistics.h"
#include "core/results/verdict.h"
#include "dns/moddns.h"

#include <algorithm>
#include <cmath>

namespace tarnbell::core {

namespace {

constexpr double kIntervalTail = 0.025; // each side of a 95 % interval

// Nearest rank (the smallest value with at least `p` of the values at or below it).
double nearestRank(const QList<double>& sorted, double p) {
    const auto n = static_cast<double>(sorted.size());
    const auto rank = static_cast<qsizetype>(std::ceil(p * n));
    return sorted.at(std::clamp<qsizetype>(rank, 1, sorted.size()) - 1);
}

ServerFigures figuresOf(const QString& entry, int index, bool isLocal,
                        const QList<const LookupRecord*>& lookups) {
    ServerFigures figures;
    figures.serverEntry = entry;
    figures.serverIndex = index;
    figures.isLocal = isLocal;
    QList<const LookupRecord*> first;
    QList<const LookupRecord*> repeat;
    std::array<QList<const LookupRecord*>, kQueryKindCount> byKind;
    for (const LookupRecord* lookup : lookups) {
        if (lookup->queryKind == QueryKind::Listed)
            (lookup->repeat ? repeat : first).append(lookup);
        const auto kind = static_cast<std::size_t>(lookup->queryKind);
        // A sample that cannot be what its kind claims is counted, never timed.
        if (lookup->cacheCheck == CacheCheck::FromCache)
            ++figures.fromCache[kind];
        else
            byKind[kind].append(lookup);
    }
    figures.all = timeFigures(lookups);
    figures.first = timeFigures(first);
    figures.repeat = timeFigures(repeat);
    for (std::size_t k = 0; k < byKind.size(); ++k)
        figures.byKind[k] = timeFigures(byKind[k]);
    figures.transport = parseServerEntry(entry).transport;
    double connectSeconds = 0.0;
    for (const LookupRecord* lookup : lookups) {
        if (lookup->newConnection) {
            ++figures.connections;
            connectSeconds += lookup->connectSeconds;
        }
    }
    if (figures.connections > 0)
        figures.connectMs = connectSeconds * 1000.0 / figures.connections;
    return figures;
}

} // namespace

LookupKind LookupRecord::kind() const {
    if (outcome == ProbeOutcome::TimedOut)
        return LookupKind::TimedOut;
    if (outcome == ProbeOutcome::Answered && isAnswerCode(rcode))
        return LookupKind::Answered;
    return LookupKind::Failed;
}

bool isAnswerCode(int rcode) {
    // -1: a lookup that reports no code (a scripted one) is taken at its word.
    return rcode < 0 || rcode == dns::kRcodeNoError || rcode == dns::kRcodeNxDomain;
}

QString replyCodeText(int rcode) {
    switch (rcode) {
    case dns::kRcodeFormErr:
        return QStringLiteral("query format error");
    case dns::kRcodeServFail:
        return QStringLiteral("server failure");
    case dns::kRcodeNotImp:
        return QStringLiteral("not implemented by server");
    case dns::kRcodeRefused:
        return QStringLiteral("refused by server");
    default:
        return QStringLiteral("server error (RCODE %1)").arg(rcode);
    }
}

LookupRecord lookupRecord(const QString& serverEntry, const QString& domain,
                          const ProbeResult& result, int serverIndex, int round) {
    LookupRecord record;
    record.serverEntry = serverEntry;
    record.domain = domain;
    record.seconds = result.seconds;
    record.outcome = result.outcome;
    record.rcode = result.rcode;
    record.truncated = result.truncated;
    record.serverIndex = serverIndex;
    record.round = round;
    record.newConnection = result.newConnection;
    record.connectSeconds = result.connectSeconds;
    record.timeSource = result.timeSource;
    record.negativeTtl = result.negativeTtl;
    record.soaMinimum = result.soaMinimum;
    record.negativeZone = result.negativeZone;
    record.nsid = result.nsid;
    if (record.kind() == LookupKind::Failed) {
        record.seconds = kUnansweredSeconds;
        record.errorText = result.outcome == ProbeOutcome::Answered ? replyCodeText(result.rcode)
                                                                    : result.errorText;
    }
    return record;
}

TimeFigures timeFigures(const QList<const LookupRecord*>& lookups) {
    TimeFigures figures;
    figures.lookups = static_cast<int>(lookups.size());
    if (lookups.isEmpty())
        return figures;

    double totalSeconds = 0.0; // summed in lookup order, as the run sums them
    QList<double> wholeMs;
    wholeMs.reserve(lookups.size());
    figures.sortedMs.reserve(lookups.size());
    for (const LookupRecord* lookup : lookups) {
        totalSeconds += lookup->seconds;
        wholeMs.append(wholeMilliseconds(lookup->seconds));
        figures.sortedMs.append(lookup->seconds * 1000.0);
        switch (lookup->kind()) {
        case LookupKind::Answered:
            ++figures.answered;
            break;
        case LookupKind::TimedOut:
            ++figures.timeouts;
            break;
        case LookupKind::Failed:
            ++figures.failures;
            break;
        }
    }
    std::sort(wholeMs.begin(), wholeMs.end());
    std::sort(figures.sortedMs.begin(), figures.sortedMs.end());
    const QList<double>& exact = figures.sortedMs;

    figures.meanMs = meanMilliseconds(totalSeconds, lookups.size());
    figures.medianMs = medianMilliseconds(wholeMs);
    const Interval interval = medianInterval(exact);
    figures.medianLowMs = interval.low;
    figures.medianHighMs = interval.high;
    figures.minMs = exact.constFirst();
    figures.maxMs = exact.constLast();
    figures.q1Ms = nearestRank(exact, 0.25);
    figures.q3Ms = nearestRank(exact, 0.75);
    figures.exactMedianMs = medianMilliseconds(exact);
    figures.p90Ms = nearestRank(exact, 0.9);

    double exactMean = 0.0;
    for (double ms : exact)
        exactMean += ms;
    exactMean /= static_cast<double>(exact.size());
    double squares = 0.0;
    for (double ms : exact)
        squares += (ms - exactMean) * (ms - exactMean);
    figures.stddevMs = std::sqrt(squares / static_cast<double>(exact.size()));
    return figures;
}

ServerFigures serverFigures(const QString& serverEntry, QList<LookupRecord> lookups, bool isLocal) {
    checkCaches(lookups);
    QList<const LookupRecord*> pointers;
    pointers.reserve(lookups.size());
    for (const LookupRecord& lookup : std::as_const(lookups))
        pointers.append(&lookup);
    return figuresOf(serverEntry, lookups.isEmpty() ? 0 : lookups.constFirst().serverIndex, isLocal,
                     pointers);
}

Interval medianInterval(const QList<double>& sorted) {
    const qsizetype n = sorted.size();
    if (n == 0)
        return {};
    // The largest k with P(X <= k - 1) <= 2.5 % for X ~ Binomial(n, 1/2), from the
    // probabilities in log form (2^-n underflows for long runs).
    const auto nd = static_cast<double>(n);
    double logProbability = -nd * std::log(2.0); // P(X = 0)
    double cumulative = 0.0;
    qsizetype k = 0;
    for (qsizetype i = 0; i < n; ++i) {
        cumulative += std::exp(logProbability);
        if (cumulative > kIntervalTail)
            break;
        k = i + 1;
        // P(X = i + 1) = P(X = i) (n - i) / (i + 1)
        const auto id = static_cast<double>(i);
        logProbability += std::log((nd - id) / (id + 1.0));
    }
    if (k == 0)
        return {sorted.constFirst(), sorted.constLast()};
    return {sorted.at(k - 1), sorted.at(n - k)};
}

// ---- RunFigures -----------------------------------------------------------------------------

void RunFigures::start(const QStringList& servers, const QString& localAddress) {
    m_servers = servers;
    m_local = localAddress;
    m_lookups.clear();
    m_asked.clear();
    m_byServer = QList<QList<qsizetype>>(servers.size());
}

void RunFigures::add(LookupRecord record) {
    if (record.serverIndex < 0 || record.serverIndex >= m_byServer.size())
        return;
    if (record.queryKind == QueryKind::Listed) {
        const std::pair<int, QString> asked{record.serverIndex, record.domain};
        record.repeat = m_asked.contains(asked);
        m_asked.insert(asked);
    }
    m_byServer[record.serverIndex].append(m_lookups.size());
    m_lookups.append(record);
}

ServerFigures RunFigures::server(int index) const {
    if (index < 0 || index >= m_servers.size())
        return {};
    const QString& entry = m_servers.at(index);
    // No local resolver known means no row is the local one, not the rows whose address
    // happens to be empty too.
    const bool isLocal = !m_local.isEmpty() && serverAddress(entry) == m_local;
    QList<LookupRecord> lookups;
    lookups.reserve(m_byServer.at(index).size());
    for (const qsizetype position : m_byServer.at(index))
        lookups.append(m_lookups.at(position));
    checkCaches(lookups);
    QList<const LookupRecord*> pointers;
    pointers.reserve(lookups.size());
    for (const LookupRecord& lookup : std::as_const(lookups))
        pointers.append(&lookup);
    return figuresOf(entry, index, isLocal, pointers);
}

QList<LookupRecord> RunFigures::lookups() const {
    QList<LookupRecord> all = m_lookups;
    for (const QList<qsizetype>& positions : m_byServer) {
        QList<LookupRecord> ofServer;
        for (const qsizetype position : positions)
            ofServer.append(all.at(position));
        checkCaches(ofServer);
        for (qsizetype i = 0; i < positions.size(); ++i)
            all[positions.at(i)].cacheCheck = ofServer.at(i).cacheCheck;
    }
    return all;
}

QString cacheCheckName(CacheCheck check) {
    switch (check) {
    case CacheCheck::Fresh:
        return QStringLiteral("fresh");
    case CacheCheck::FromCache:
        return QStringLiteral("from_cache");
    case CacheCheck::Unknown:
        return QStringLiteral("unknown");
    case CacheCheck::NotChecked:
        break;
    }
    return {};
}

QList<ServerFigures> RunFigures::servers(Chances chances) const {
    QList<ServerFigures> result;
    for (int i = 0; i < m_servers.size(); ++i) {
        if (!m_byServer.at(i).isEmpty())
            result.append(server(i));
    }
    markTies(result, fastestServers(result));
    if (chances == Chances::Estimate)
        estimateFastestChances(result);
    return result;
}

} // namespace tarnbell::core
