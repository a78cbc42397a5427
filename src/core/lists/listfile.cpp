#include "core/lists/listfile.h"

#include <QFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnbell::core {

namespace {
constexpr qint64 kMaxListFileBytes = 1 << 20;
} // namespace

QList<ListLine> parseListText(const QString& text) {
    QList<ListLine> entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString entry = lines.at(i).trimmed();
        if (!entry.isEmpty() && !entry.startsWith(QLatin1Char('#')))
            entries.append({entry, static_cast<int>(i + 1)});
    }
    return entries;
}

QStringList entryTexts(const QList<ListLine>& lines) {
    QStringList texts;
    texts.reserve(lines.size());
    for (const ListLine& line : lines)
        texts.append(line.text);
    return texts;
}

QByteArray listFileBytes(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += entry.toUtf8() + '\n';
    return bytes;
}

std::optional<QList<ListLine>> readListFile(const QString& path, QString* error) {
    // Non-blocking, so that a FIFO without a writer cannot hold the open; fstat on the open
    // file then decides, with no gap in which the path could change.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    QFile file;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        *error = QStringLiteral("it is a folder");
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = QStringLiteral("it is not a regular file (a pipe, a socket or a device)");
        return std::nullopt;
    }
    // 99 entries fit many times over; the cap keeps a wrong path (a log, an image) out.
    const QByteArray bytes = file.read(kMaxListFileBytes + 1);
    if (bytes.size() > kMaxListFileBytes) {
        *error = QStringLiteral("it is larger than 1 MiB");
        return std::nullopt;
    }
    // A NUL is valid UTF-8 but no text file holds one; UTF-16 and binary files do.
    QStringDecoder utf8(QStringDecoder::Utf8); // drops a leading byte-order mark
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0')) {
        *error = QStringLiteral("it is not UTF-8 text");
        return std::nullopt;
    }
    return parseListText(text);
}

} // namespace tarnbell::core
