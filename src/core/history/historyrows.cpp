#include "core/history/historyrows.h"

#include "core/probe/serverendpoint.h"
#include "core/results/verdict.h"

#include <QHash>
#include <QSqlDatabase>
#include <QVariant>

namespace tarnbell::core {

namespace {

// The codes a file keeps are these enumerations' values: they must never be renumbered.
static_assert(static_cast<int>(ProbeOutcome::Unreachable) == 5);
static_assert(static_cast<int>(QueryKind::TopLevel) == 3);
static_assert(static_cast<int>(CacheCheck::Unknown) == 3);
static_assert(static_cast<int>(TimeSource::Monotonic) == 2);
static_assert(static_cast<int>(LookupSet::TopLevel) == 6);

constexpr int kLookupSetCount = static_cast<int>(LookupSet::TopLevel) + 1;

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QVariant numberOrNull(double value, bool present) {
    return present ? QVariant(value) : QVariant();
}

TimeFigures& figuresIn(ServerFigures& server, LookupSet set) {
    return const_cast<TimeFigures&>(figuresOf(server, set));
}

// The kind a set of lookups is of; none for all, first asks and repeats.
std::optional<std::size_t> kindOf(LookupSet set) {
    const int kind = static_cast<int>(set) - static_cast<int>(LookupSet::Listed);
    return kind < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(kind));
}

QDateTime utcFromMs(const QVariant& ms) {
    return QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC);
}

// The run's server list with any position a lookup or figure names beyond it.
QStringList serverListOf(const RunRecord& run) {
    QStringList servers = run.servers;
    auto cover = [&servers](int index, const QString& entry) {
        while (servers.size() <= index)
            servers.append(entry);
    };
    for (const LookupRecord& lookup : run.lookups)
        cover(lookup.serverIndex, lookup.serverEntry);
    for (const ServerFigures& server : run.figures)
        cover(server.serverIndex, server.serverEntry);
    return servers;
}

bool insertRunRow(QSqlDatabase& db, const RunRecord& run, int serverCount, QSqlError* error) {
    const RunSettings& settings = run.settings;
    QStringList kinds;
    for (const QueryKind kind : settings.kinds)
        kinds.append(queryKindName(kind));
    const FastestServers fastest = fastestServers(run.figures);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO runs (started_ms, ended_ms, tool, record_type, "
                                 "rounds, kinds, timeout_seconds, interrupted, server_count, "
                                 "domain_count, lookup_count, fastest_by_median, fastest_by_mean) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& value :
         {QVariant(settings.startedAt.toMSecsSinceEpoch()),
          QVariant(settings.endedAt.toMSecsSinceEpoch()), QVariant(runToolName(settings.tool)),
          QVariant(settings.recordType), QVariant(settings.rounds),
          QVariant(kinds.join(QLatin1Char(','))), QVariant(settings.timeLimitSeconds),
          QVariant(settings.interrupted), QVariant(serverCount),
          QVariant(static_cast<int>(run.domains.size())),
          QVariant(static_cast<int>(run.lookups.size())),
          fastest.any() ? QVariant(fastest.byMedian) : QVariant(),
          fastest.any() ? QVariant(fastest.byMean) : QVariant()})
        query.addBindValue(value);
    return execute(query, error);
}

bool insertServers(QSqlDatabase& db, qint64 id, const QStringList& servers,
                   const QList<ServerFigures>& figures, QSqlError* error) {
    QHash<int, const ServerFigures*> figuresByIndex;
    for (const ServerFigures& server : figures)
        figuresByIndex.insert(server.serverIndex, &server);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO run_servers VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int index = 0; index < servers.size(); ++index) {
        ServerFigures unreached;
        unreached.transport = transportOf(servers.at(index));
        const ServerFigures& server = *figuresByIndex.value(index, &unreached);
        for (const QVariant& value :
             {QVariant(id), QVariant(index), QVariant(servers.at(index)),
              QVariant(transportName(server.transport)), QVariant(server.isLocal),
              QVariant(server.tiedWithFastest),
              numberOrNull(server.fastestChance, server.fastestChance >= 0.0),
              QVariant(server.connections), QVariant(server.connectMs)})
            query.addBindValue(value);
        if (!execute(query, error))
            return false;
    }
    return true;
}

bool insertFigures(QSqlDatabase& db, qint64 id, const QList<ServerFigures>& figures,
                   QSqlError* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO figures VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const ServerFigures& server : figures) {
        for (int set = 0; set < kLookupSetCount; ++set) {
            const auto lookupSet = static_cast<LookupSet>(set);
            const TimeFigures& f = figuresOf(server, lookupSet);
            const std::optional<std::size_t> kind = kindOf(lookupSet);
            const int cached = kind ? server.fromCache[*kind] : 0;
            if (lookupSet != LookupSet::All && f.lookups == 0 && cached == 0)
                continue;
            // As the JSON leaves them out, no lookups give no times rather than zeros.
            const bool timed = f.lookups > 0;
            for (const QVariant& value :
                 {QVariant(id), QVariant(server.serverIndex), QVariant(set), QVariant(f.lookups),
                  QVariant(f.answered), QVariant(f.timeouts), QVariant(f.failures),
                  QVariant(cached), numberOrNull(f.meanMs, timed), numberOrNull(f.medianMs, timed),
                  numberOrNull(f.exactMedianMs, timed), numberOrNull(f.medianLowMs, timed),
                  numberOrNull(f.medianHighMs, timed), numberOrNull(f.minMs, timed),
                  numberOrNull(f.q1Ms, timed), numberOrNull(f.q3Ms, timed),
                  numberOrNull(f.p90Ms, timed), numberOrNull(f.maxMs, timed),
                  numberOrNull(f.stddevMs, timed)})
                query.addBindValue(value);
            if (!execute(query, error))
                return false;
        }
    }
    return true;
}

bool insertDomainsAndLookups(QSqlDatabase& db, qint64 id, const RunRecord& run, QSqlError* error) {
    QStringList domains = run.domains;
    QHash<QString, int> domainIndex;
    for (int i = static_cast<int>(domains.size()) - 1; i >= 0; --i)
        domainIndex.insert(domains.at(i), i); // a name listed twice: its first place
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO lookups VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int position = 0; position < run.lookups.size(); ++position) {
        const LookupRecord& lookup = run.lookups.at(position);
        if (!domainIndex.contains(lookup.domain)) {
            domainIndex.insert(lookup.domain, static_cast<int>(domains.size()));
            domains.append(lookup.domain);
        }
        const bool ownName = lookup.askedName.isEmpty() || lookup.askedName == lookup.domain;
        for (const QVariant& value :
             {QVariant(id), QVariant(position), QVariant(lookup.serverIndex),
              QVariant(domainIndex.value(lookup.domain)),
              ownName ? QVariant() : QVariant(lookup.askedName),
              QVariant(static_cast<int>(lookup.queryKind)), QVariant(lookup.round + 1),
              QVariant(lookup.repeat), QVariant(lookup.seconds),
              QVariant(static_cast<int>(lookup.outcome)),
              lookup.rcode >= 0 ? QVariant(lookup.rcode) : QVariant(), QVariant(lookup.truncated),
              textOrNull(lookup.errorText), QVariant(static_cast<int>(lookup.cacheCheck)),
              textOrNull(lookup.nsid),
              numberOrNull(lookup.connectSeconds * 1000.0, lookup.newConnection),
              QVariant(static_cast<int>(lookup.timeSource))})
            query.addBindValue(value);
        if (!execute(query, error))
            return false;
    }
    query.prepare(QStringLiteral("INSERT INTO run_domains VALUES (?, ?, ?)"));
    for (int index = 0; index < domains.size(); ++index) {
        query.addBindValue(id);
        query.addBindValue(index);
        query.addBindValue(domains.at(index));
        if (!execute(query, error))
            return false;
    }
    return true;
}

// One run's rows of a table, read once in key order.
bool selectRows(QSqlQuery& query, const QString& sql, qint64 id, QSqlError* error) {
    query.setForwardOnly(true);
    query.prepare(sql);
    query.addBindValue(id);
    return execute(query, error);
}

bool selectServers(QSqlDatabase& db, qint64 id, RunRecord& run, QHash<int, ServerFigures>& byIndex,
                   QSqlError* error) {
    QSqlQuery query(db);
    if (!selectRows(query,
                    QStringLiteral("SELECT server_index, entry, transport, is_local, "
                                   "tied_with_fastest, p_fastest, connections, connect_ms FROM "
                                   "run_servers WHERE run_id = ? ORDER BY server_index"),
                    id, error))
        return false;
    while (query.next()) {
        ServerFigures& server = byIndex[query.value(0).toInt()];
        server.serverIndex = query.value(0).toInt();
        server.serverEntry = query.value(1).toString();
        for (const Transport transport :
             {Transport::Udp, Transport::Tcp, Transport::Tls, Transport::Https}) {
            if (transportName(transport) == query.value(2).toString())
                server.transport = transport;
        }
        server.isLocal = query.value(3).toBool();
        server.tiedWithFastest = query.value(4).toBool();
        server.fastestChance = query.value(5).isNull() ? -1.0 : query.value(5).toDouble();
        server.connections = query.value(6).toInt();
        server.connectMs = query.value(7).toDouble();
        run.servers.append(server.serverEntry);
    }
    return true;
}

bool selectFigures(QSqlDatabase& db, qint64 id, RunRecord& run, QHash<int, ServerFigures>& byIndex,
                   QSqlError* error) {
    QSqlQuery query(db);
    if (!selectRows(query,
                    QStringLiteral("SELECT server_index, lookup_set, lookups, answered, "
                                   "timeouts, failures, from_cache, mean_ms, median_ms, "
                                   "median_exact_ms, median_low_ms, median_high_ms, min_ms, "
                                   "q1_ms, q3_ms, p90_ms, max_ms, stddev_ms FROM figures "
                                   "WHERE run_id = ? ORDER BY server_index, lookup_set"),
                    id, error))
        return false;
    QList<int> figured; // the servers with figures, in list order
    while (query.next()) {
        const int index = query.value(0).toInt();
        ServerFigures& server = byIndex[index];
        const auto set = static_cast<LookupSet>(query.value(1).toInt());
        if (set == LookupSet::All)
            figured.append(index);
        if (const std::optional<std::size_t> kind = kindOf(set))
            server.fromCache[*kind] = query.value(6).toInt();
        TimeFigures& f = figuresIn(server, set);
        f.lookups = query.value(2).toInt();
        f.answered = query.value(3).toInt();
        f.timeouts = query.value(4).toInt();
        f.failures = query.value(5).toInt();
        double* const times[] = {&f.meanMs,       &f.medianMs, &f.exactMedianMs, &f.medianLowMs,
                                 &f.medianHighMs, &f.minMs,    &f.q1Ms,          &f.q3Ms,
                                 &f.p90Ms,        &f.maxMs,    &f.stddevMs};
        for (int i = 0; i < std::ssize(times); ++i)
            *times[i] = query.value(7 + i).toDouble();
    }
    for (const int index : std::as_const(figured))
        run.figures.append(byIndex.value(index));
    return true;
}

bool selectDomains(QSqlDatabase& db, qint64 id, RunRecord& run, QSqlError* error) {
    QSqlQuery domains(db);
    if (!selectRows(domains,
                    QStringLiteral("SELECT domain FROM run_domains WHERE run_id = ? "
                                   "ORDER BY domain_index"),
                    id, error))
        return false;
    while (domains.next())
        run.domains.append(domains.value(0).toString());
    return true;
}

bool selectLookups(QSqlDatabase& db, qint64 id, int lookupCount, RunRecord& run, QSqlError* error) {
    QSqlQuery query(db);
    if (!selectRows(query,
                    QStringLiteral("SELECT server_index, domain_index, qname, kind, round, "
                                   "repeat, seconds, outcome, rcode, truncated, error, "
                                   "cache_check, nsid, connect_ms, time_source FROM lookups "
                                   "WHERE run_id = ? ORDER BY position"),
                    id, error))
        return false;
    run.lookups.reserve(lookupCount);
    while (query.next()) {
        LookupRecord lookup;
        lookup.serverIndex = query.value(0).toInt();
        lookup.serverEntry = run.servers.value(lookup.serverIndex);
        lookup.domain = run.domains.value(query.value(1).toInt());
        lookup.askedName = query.value(2).isNull() ? lookup.domain : query.value(2).toString();
        lookup.queryKind = static_cast<QueryKind>(query.value(3).toInt());
        lookup.round = query.value(4).toInt() - 1;
        lookup.repeat = query.value(5).toBool();
        lookup.seconds = query.value(6).toDouble();
        lookup.outcome = static_cast<ProbeOutcome>(query.value(7).toInt());
        lookup.rcode = query.value(8).isNull() ? -1 : query.value(8).toInt();
        lookup.truncated = query.value(9).toBool();
        lookup.errorText = query.value(10).toString();
        lookup.cacheCheck = static_cast<CacheCheck>(query.value(11).toInt());
        lookup.nsid = query.value(12).toString();
        lookup.newConnection = !query.value(13).isNull();
        lookup.connectSeconds = query.value(13).toDouble() / 1000.0;
        lookup.timeSource = static_cast<TimeSource>(query.value(14).toInt());
        run.lookups.append(lookup);
    }
    return true;
}

} // namespace

bool execute(QSqlQuery& query, QSqlError* error) {
    if (query.exec())
        return true;
    *error = query.lastError();
    return false;
}

bool execute(QSqlDatabase& db, const QString& sql, QSqlError* error) {
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = query.lastError();
    return false;
}

QString pastRunColumns() {
    return QStringLiteral("id, started_ms, ended_ms, tool, record_type, rounds, kinds, "
                          "timeout_seconds, interrupted, server_count, domain_count, "
                          "lookup_count, fastest_by_median, fastest_by_mean");
}

PastRun pastRunAt(const QSqlQuery& query) {
    PastRun run;
    run.id = query.value(0).toLongLong();
    RunSettings& settings = run.settings;
    settings.startedAt = utcFromMs(query.value(1));
    settings.endedAt = utcFromMs(query.value(2));
    settings.tool = query.value(3).toString() == runToolName(RunTool::Window)
                        ? RunTool::Window
                        : RunTool::CommandLine;
    settings.recordType = query.value(4).toString();
    settings.rounds = query.value(5).toInt();
    settings.kinds = queryKindsFromList(query.value(6).toString()).value_or(QList<QueryKind>{});
    settings.timeLimitSeconds = query.value(7).toDouble();
    settings.interrupted = query.value(8).toBool();
    run.serverCount = query.value(9).toInt();
    run.domainCount = query.value(10).toInt();
    run.lookupCount = query.value(11).toInt();
    run.fastestByMedian = query.value(12).toString();
    run.fastestByMean = query.value(13).toString();
    return run;
}

std::optional<qint64> insertRun(QSqlDatabase& db, const RunRecord& run, QSqlError* error) {
    const QStringList servers = serverListOf(run);
    if (!insertRunRow(db, run, static_cast<int>(servers.size()), error))
        return std::nullopt;
    QSqlQuery lastId(db);
    if (!lastId.exec(QStringLiteral("SELECT last_insert_rowid()")) || !lastId.next()) {
        *error = lastId.lastError();
        return std::nullopt;
    }
    const qint64 id = lastId.value(0).toLongLong();
    if (!insertServers(db, id, servers, run.figures, error) ||
        !insertFigures(db, id, run.figures, error) || !insertDomainsAndLookups(db, id, run, error))
        return std::nullopt;
    return id;
}

std::optional<RunRecord> selectRun(QSqlDatabase& db, qint64 id, RunParts parts, QSqlError* error) {
    QSqlQuery query(db);
    if (!selectRows(query, QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(pastRunColumns()),
                    id, error))
        return std::nullopt;
    if (!query.next()) {
        *error = QSqlError();
        return std::nullopt;
    }
    const PastRun listed = pastRunAt(query);
    RunRecord run;
    run.settings = listed.settings;
    QHash<int, ServerFigures> byIndex;
    if (!selectServers(db, id, run, byIndex, error) ||
        !selectFigures(db, id, run, byIndex, error) || !selectDomains(db, id, run, error) ||
        (parts == RunParts::Whole && !selectLookups(db, id, listed.lookupCount, run, error)))
        return std::nullopt;
    return run;
}

} // namespace tarnbell::core
