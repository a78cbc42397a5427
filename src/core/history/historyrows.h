#pragma once
// One run's rows in a history file: written under a new run id, read back by it. The caller
// holds the transaction; every function stops at the first failing statement and gives its
// error.

#include "core/history/runrecord.h"

#include <QSqlError>
#include <QSqlQuery>
#include <optional>

class QSqlDatabase;

namespace tarnbell::core {

// Runs `query` (prepared and bound) or `sql`; on failure sets `error`.
bool execute(QSqlQuery& query, QSqlError* error);
bool execute(QSqlDatabase& db, const QString& sql, QSqlError* error);

// The runs table's columns that pastRunAt() reads, in its order.
QString pastRunColumns();
// The run of the current row of a query that selected pastRunColumns() first.
PastRun pastRunAt(const QSqlQuery& query);

std::optional<qint64> insertRun(QSqlDatabase& db, const RunRecord& run, QSqlError* error);
// Nothing with `error` left valid: no run with that id.
std::optional<RunRecord> selectRun(QSqlDatabase& db, qint64 id, RunParts parts, QSqlError* error);

} // namespace tarnbell::core
