#include "core/listfile.h"

#include <QFile>
#include <QFileInfo>

namespace tarnbell::core {

namespace {
constexpr qint64 kMaxListFileBytes = 1 << 20;
} // namespace

QStringList parseListText(const QString& text) {
    QStringList entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith(QLatin1Char('#')))
            entries.append(entry);
    }
    return entries;
}

QByteArray listFileBytes(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += entry.toUtf8() + '\n';
    return bytes;
}

std::optional<QStringList> readListFile(const QString& path, QString* error) {
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("it is a folder");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    // 99 entries fit many times over; the cap keeps a wrong path (a device, a log) from
    // being read without end.
    const QByteArray bytes = file.read(kMaxListFileBytes + 1);
    if (bytes.size() > kMaxListFileBytes) {
        *error = QStringLiteral("it is larger than 1 MiB");
        return std::nullopt;
    }
    return parseListText(QString::fromUtf8(bytes));
}

} // namespace tarnbell::core
