#pragma once
// What went wrong with a history file, in one plain sentence for a status line or standard
// error: "History not saved: the database is locked by another program". A failure never
// reaches further than that sentence: the run, its rows and its files stay as they are.

#include <QString>

class QSqlError;

namespace tarnbell::core {

// What was being done when the history failed.
enum class HistoryAction { Save, Read, Delete };

// Why, in words: from SQLite's own error code where the driver gives one.
QString historyReason(const QSqlError& error);

// "History not saved: " (read, deleted) and the reason.
QString historyMessage(HistoryAction action, const QString& reason);

// Reasons that no SQLite error code gives.
QString historyDriverMissingReason();
QString historyTooNewReason();
QString historyForeignReason();

} // namespace tarnbell::core
