#include "core/export/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnbell::core {

namespace {

QString failure(const QString& path, QString reason) {
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("The file %1 could not be written: %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

enum class Target { Regular, Folder, Special };

Target targetKind(const QString& path) {
    const QFileInfo info(path); // follows symbolic links
    if (info.isDir())
        return Target::Folder;
    // A device, a pipe or a socket: a temporary file renamed over it would replace the node
    // itself (think of /dev/null), so such a target is written in place.
    if (info.exists() && !info.isFile())
        return Target::Special;
    return Target::Regular;
}

// Writes all of `bytes`; the empty text, or why not. A short write without an error is how
// a full disk or a file-size limit can show, so it is a failure too.
QString writeAll(QFileDevice& file, const QByteArray& bytes) {
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return {};
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QStringLiteral("only %1 of %2 bytes could be written; the disk may be full")
        .arg(qMax<qint64>(written, 0))
        .arg(bytes.size());
}

// Opening a pipe for writing waits until some program reads it, for ever if none does:
// the open is tried without waiting, and a pipe nobody reads is a failure like any other.
// Once open, the writes wait for the reader as usual.
bool openInPlace(QFile& file, const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISFIFO(status.st_mode)) {
        file.setFileName(path);
        if (file.open(QIODevice::WriteOnly))
            return true;
        *error = file.errorString();
        return false;
    }
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno == ENXIO ? QStringLiteral("no program reads from this pipe")
                                : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle)) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    return true;
}

QString writeInPlace(const QString& path, const QByteArray& bytes) {
    QFile file;
    if (QString error; !openInPlace(file, path, &error))
        return failure(path, error);
    if (const QString problem = writeAll(file, bytes); !problem.isEmpty())
        return failure(path, problem);
    if (!file.flush())
        return failure(path, file.errorString());
    return {};
}

// No temporary file can go beside a file in a folder the user cannot write, so there is
// no rename to replace it whole; an existing file the user may write is then written in
// place, which also keeps its hard links, owner and mode. Anything else (a new file in
// such a folder, or a temporary file failing for another reason) stays refused, so a
// failure never truncates a file that could have been replaced whole.
bool onlyWritableInPlace(const QString& path) {
    const QFileInfo info(path); // follows symbolic links, as the save does
    if (!info.isFile() || !info.isWritable())
        return false;
    return !QFileInfo(QFileInfo(info.canonicalFilePath()).absolutePath()).isWritable();
}

} // namespace

QString writeWholeFile(const QString& path, const QByteArray& bytes) {
    switch (targetKind(path)) {
    case Target::Folder:
        return failure(path, QStringLiteral("it is a folder"));
    case Target::Special:
        return writeInPlace(path, bytes);
    case Target::Regular:
        break;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return onlyWritableInPlace(path) ? writeInPlace(path, bytes)
                                         : failure(path, file.errorString());
    if (const QString problem = writeAll(file, bytes); !problem.isEmpty()) {
        file.cancelWriting();
        return failure(path, problem);
    }
    // commit() flushes, syncs and renames; on failure it removes the temporary file.
    if (!file.commit())
        return failure(path, file.errorString());
    return {};
}

QString checkWritable(const QString& path) {
    switch (targetKind(path)) {
    case Target::Folder:
        return failure(path, QStringLiteral("it is a folder"));
    case Target::Special:
        // Not opened: opening a pipe for writing waits for its reader.
        return QFileInfo(path).isWritable() ? QString()
                                            : failure(path, QStringLiteral("Permission denied"));
    case Target::Regular:
        break;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return onlyWritableInPlace(path) ? QString() : failure(path, file.errorString());
    file.cancelWriting();
    return {};
}

} // namespace tarnbell::core
