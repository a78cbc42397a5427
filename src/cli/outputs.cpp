#include "cli/outputs.h"

#include "core/wholefile.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnbell::cli {

QString writeOutput(const QString& path, const QByteArray& bytes) {
    if (!path.isEmpty())
        return core::writeWholeFile(path, bytes);
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0) {
        return QStringLiteral("standard output could not be written: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

QString checkOutput(const QString& path) {
    return path.isEmpty() ? QString() : core::checkWritable(path);
}

void printToStderr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void printProblem(const QString& text) {
    printToStderr(QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                  QLatin1Char('\n'));
}

} // namespace tarnbell::cli
