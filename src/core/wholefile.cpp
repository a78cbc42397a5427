#include "core/wholefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace tarnbell::core {

namespace {

QString failure(const QString& path, QString reason) {
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("The file %1 could not be written: %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString directoryProblem(const QString& path) {
    // QSaveFile would only find out at the final rename that the name is a folder's.
    if (QFileInfo(path).isDir())
        return failure(path, QStringLiteral("it is a folder"));
    return {};
}

} // namespace

QString writeWholeFile(const QString& path, const QByteArray& bytes) {
    if (QString problem = directoryProblem(path); !problem.isEmpty())
        return problem;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    // A short write without an error is how a full disk or a file-size limit can show here;
    // commit() would then report success for a truncated file.
    if (const qint64 written = file.write(bytes); written != bytes.size()) {
        const QString reason =
            file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("only %1 of %2 bytes could be written; the disk may be full")
                      .arg(qMax<qint64>(written, 0))
                      .arg(bytes.size());
        file.cancelWriting();
        return failure(path, reason);
    }
    // commit() flushes, syncs and renames; on failure it removes the temporary file.
    if (!file.commit())
        return failure(path, file.errorString());
    return {};
}

QString checkWritable(const QString& path) {
    if (QString problem = directoryProblem(path); !problem.isEmpty())
        return problem;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    file.cancelWriting();
    return {};
}

} // namespace tarnbell::core
