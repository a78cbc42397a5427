#include "core/history/historystore.h"

#include "core/history/historyrows.h"
#include "core/history/historyschema.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>
#include <QVariant>
#include <atomic>

namespace tarnbell::core {

namespace {

// SQLITE_BUSY and SQLITE_LOCKED, with their extended codes.
bool isBusy(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 5 || code == 6);
}

const QString kDriver = QStringLiteral("QSQLITE");

QString newConnectionName() {
    static std::atomic<int> count{0};
    return QStringLiteral("tarnbell-history-%1").arg(++count);
}

std::optional<int> userVersion(QSqlDatabase& db, QSqlError* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        *error = query.lastError();
        return std::nullopt;
    }
    return query.value(0).toInt();
}

// A file of version 0 is new only when it holds no tables: any others are another
// program's, and adding ours beside them would be no kindness.
std::optional<bool> holdsTables(QSqlDatabase& db, QSqlError* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
        *error = query.lastError();
        return std::nullopt;
    }
    return query.value(0).toInt() > 0;
}

} // namespace

HistoryStore::HistoryStore(const QString& path, std::chrono::milliseconds busyTimeout)
    : m_path(path), m_connection(newConnectionName()), m_busyTimeout(busyTimeout) {}

HistoryStore::~HistoryStore() {
    close();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

void HistoryStore::close() {
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
    m_open = false;
}

bool HistoryStore::fail(HistoryAction action, const QString& reason) {
    m_error = historyMessage(action, reason);
    if (m_open) {
        // Nothing to roll back is no failure of its own: the message stays the first one.
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    }
    return false;
}

bool HistoryStore::ensureOpen(HistoryAction action) {
    if (m_open)
        return true;
    // Programs starting together on a new file meet each other's locks where SQLite does not
    // wait by itself (switching the file to WAL, reading a header being written): a busy
    // file is tried again until the busy timeout has passed.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        bool busy = false;
        if (openOnce(action, busy))
            return true;
        if (!busy || waited.hasExpired(m_busyTimeout.count()))
            return false;
        QThread::msleep(10);
    }
}

bool HistoryStore::openOnce(HistoryAction action, bool& busy) {
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return fail(action, historyDriverMissingReason());
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(kDriver, m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout.count()));
    if (!db.open())
        return fail(action, historyReason(db.lastError()));
    QSqlError error;
    // WAL: the window may read the history while the command-line tool writes a run, and
    // NORMAL syncs at each checkpoint rather than at each run, which WAL keeps consistent.
    if (!execute(db, QStringLiteral("PRAGMA journal_mode = WAL"), &error) ||
        !execute(db, QStringLiteral("PRAGMA synchronous = NORMAL"), &error)) {
        busy = isBusy(error);
        db.close();
        return fail(action, historyReason(error));
    }
    m_open = true;
    if (!migrate(action, busy)) {
        close();
        return false;
    }
    return true;
}

bool HistoryStore::migrate(HistoryAction action, bool& busy) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    std::optional<int> version = userVersion(db, &error);
    if (version == kHistorySchemaVersion)
        return true;
    // Another program may be bringing the same file up to date: the version is read again
    // under the write lock, and only the steps still missing are taken.
    if (version && *version < kHistorySchemaVersion) {
        version = execute(db, QStringLiteral("BEGIN IMMEDIATE"), &error) ? userVersion(db, &error)
                                                                         : std::nullopt;
    }
    if (!version) {
        busy = isBusy(error);
        return fail(action, historyReason(error));
    }
    if (*version > kHistorySchemaVersion)
        return fail(action, historyTooNewReason());
    if (*version == 0) {
        const std::optional<bool> tables = holdsTables(db, &error);
        if (!tables)
            return fail(action, historyReason(error));
        if (*tables)
            return fail(action, historyForeignReason());
    }
    for (int step = *version + 1; step <= kHistorySchemaVersion; ++step) {
        for (const QString& statement : historySchemaStep(step)) {
            if (!execute(db, statement, &error))
                return fail(action, historyReason(error));
        }
    }
    if (!execute(db, QStringLiteral("PRAGMA user_version = %1").arg(kHistorySchemaVersion),
                 &error) ||
        !execute(db, QStringLiteral("COMMIT"), &error))
        return fail(action, historyReason(error));
    return true;
}

std::optional<qint64> HistoryStore::save(const RunRecord& run) {
    if (!ensureOpen(HistoryAction::Save))
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    std::optional<qint64> id;
    if (!execute(db, QStringLiteral("BEGIN IMMEDIATE"), &error) ||
        !(id = insertRun(db, run, &error)) || !execute(db, QStringLiteral("COMMIT"), &error)) {
        fail(HistoryAction::Save, historyReason(error));
        return std::nullopt;
    }
    m_error.clear();
    return id;
}

std::optional<QList<PastRun>> HistoryStore::runs() {
    if (!ensureOpen(HistoryAction::Read))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM runs ORDER BY started_ms DESC, id DESC")
                        .arg(pastRunColumns()))) {
        fail(HistoryAction::Read, historyReason(query.lastError()));
        return std::nullopt;
    }
    QList<PastRun> runs;
    while (query.next())
        runs.append(pastRunAt(query));
    m_error.clear();
    return runs;
}

std::optional<RunRecord> HistoryStore::run(qint64 id, RunParts parts) {
    if (!ensureOpen(HistoryAction::Read))
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    // One snapshot: a run deleted by another program while it is read is read whole or not.
    if (!execute(db, QStringLiteral("BEGIN"), &error)) {
        fail(HistoryAction::Read, historyReason(error));
        return std::nullopt;
    }
    std::optional<RunRecord> run = selectRun(db, id, parts, &error);
    if (!run && error.isValid()) {
        fail(HistoryAction::Read, historyReason(error));
        return std::nullopt;
    }
    execute(db, QStringLiteral("COMMIT"), &error);
    m_error.clear();
    return run;
}

bool HistoryStore::remove(const QList<qint64>& ids) {
    if (!ensureOpen(HistoryAction::Delete))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    if (!execute(db, QStringLiteral("BEGIN IMMEDIATE"), &error))
        return fail(HistoryAction::Delete, historyReason(error));
    for (const qint64 id : ids) {
        for (const char* table : {"lookups", "figures", "run_domains", "run_servers"}) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("DELETE FROM %1 WHERE run_id = ?").arg(table));
            query.addBindValue(id);
            if (!execute(query, &error))
                return fail(HistoryAction::Delete, historyReason(error));
        }
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM runs WHERE id = ?"));
        query.addBindValue(id);
        if (!execute(query, &error))
            return fail(HistoryAction::Delete, historyReason(error));
    }
    if (!execute(db, QStringLiteral("COMMIT"), &error))
        return fail(HistoryAction::Delete, historyReason(error));
    m_error.clear();
    return true;
}

std::optional<QList<MedianPoint>> HistoryStore::medians(LookupSet set, const QString& serverEntry) {
    if (!ensureOpen(HistoryAction::Read))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    // One server's trend reads that server's rows by the entry's index.
    query.prepare(QStringLiteral("SELECT r.id, r.started_ms, s.entry, f.median_exact_ms, "
                                 "f.answered FROM run_servers s JOIN figures f ON "
                                 "f.run_id = s.run_id AND f.server_index = s.server_index AND "
                                 "f.lookup_set = ? JOIN runs r ON r.id = s.run_id "
                                 "WHERE f.lookups > 0 %1 "
                                 "ORDER BY r.started_ms, r.id, s.server_index")
                      .arg(serverEntry.isEmpty() ? QString() : QStringLiteral("AND s.entry = ?")));
    query.addBindValue(static_cast<int>(set));
    if (!serverEntry.isEmpty())
        query.addBindValue(serverEntry);
    if (!query.exec()) {
        fail(HistoryAction::Read, historyReason(query.lastError()));
        return std::nullopt;
    }
    QList<MedianPoint> points;
    while (query.next()) {
        points.append({query.value(0).toLongLong(),
                       QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC),
                       query.value(2).toString(), query.value(3).toDouble(),
                       query.value(4).toInt()});
    }
    m_error.clear();
    return points;
}

} // namespace tarnbell::core
