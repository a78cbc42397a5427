#pragma once
// The history file's tables, version by version. A file carries its version in
// PRAGMA user_version; opening one applies the steps it lacks, in one transaction.

#include <QStringList>

namespace tarnbell::core {

inline constexpr int kHistorySchemaVersion = 2;

// The statements that take a file from `version` - 1 to `version` (1 creates the tables).
QStringList historySchemaStep(int version);

} // namespace tarnbell::core
