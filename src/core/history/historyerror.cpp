#include "core/history/historyerror.h"

#include <QSqlError>

namespace tarnbell::core {

namespace {

// SQLite's primary result codes (sqlite3.h); the driver reports the code of the call that
// failed, an extended one carrying its primary code in the low byte.
enum SqliteCode {
    Perm = 3,
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    IoError = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
};

} // namespace

QString historyReason(const QSqlError& error) {
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber) & 0xff;
    if (isNumber) {
        switch (code) {
        case Busy:
        case Locked:
            return QStringLiteral("the database is locked by another program");
        case Corrupt:
        case NotADatabase:
            return QStringLiteral("the file is damaged or is not a history file");
        case Full:
            return QStringLiteral("the disk is full");
        case Perm:
        case ReadOnly:
        case CantOpen:
            return QStringLiteral("the file or its folder cannot be written");
        case IoError:
            return QStringLiteral("the disk failed to read or write the file");
        default:
            break;
        }
    }
    const QString words = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return QStringLiteral("the database failed (%1)").arg(words);
}

QString historyMessage(HistoryAction action, const QString& reason) {
    switch (action) {
    case HistoryAction::Save:
        return QStringLiteral("History not saved: ") + reason;
    case HistoryAction::Read:
        return QStringLiteral("History not read: ") + reason;
    case HistoryAction::Delete:
        return QStringLiteral("Runs not deleted: ") + reason;
    }
    return reason;
}

QString historyDriverMissingReason() {
    return QStringLiteral("Qt's SQLite driver is not installed (libqt6sql6-sqlite)");
}

QString historyTooNewReason() {
    return QStringLiteral("the file was written by a newer version of Tarnbell");
}

QString historyForeignReason() {
    return QStringLiteral("the file is a database of another program");
}

} // namespace tarnbell::core
