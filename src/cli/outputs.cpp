#include "cli/outputs.h"

#include "cli/progressline.h"
#include "core/export/wholefile.h"
#include "core/lists/controltext.h"

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnbell::cli {

namespace {

// Control characters escaped line by line; the line ends themselves stay.
QString escapedLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        const bool crlf = line.endsWith(QLatin1Char('\r'));
        if (crlf)
            line.chop(1);
        line = core::escapeControlCharacters(line);
        if (crlf)
            line += QLatin1Char('\r');
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString writeOutput(const QString& path, const QByteArray& bytes) {
    if (path != QLatin1String("-"))
        return core::writeWholeFile(path, bytes);
    // A domain may hold an escape sequence; on a terminal it is shown, not obeyed.
    const QByteArray shown =
        isTerminal(stdout) ? escapedLines(QString::fromUtf8(bytes)).toUtf8() : bytes;
    const std::size_t size = static_cast<std::size_t>(shown.size());
    errno = 0;
    if (std::fwrite(shown.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0) {
        const int error = errno;
        std::clearerr(stdout);
        return QStringLiteral("standard output could not be written: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    return {};
}

QString checkOutput(const QString& path) {
    return path.isEmpty() || path == QLatin1String("-") ? QString() : core::checkWritable(path);
}

void printToStderr(const QString& text) {
    // Nothing to be done when standard error itself is gone.
    const QByteArray bytes = escapedLines(text).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void printProblem(const QString& text) {
    printToStderr(QCoreApplication::applicationName() + QStringLiteral(": ") +
                  core::escapeControlCharacters(text) + QLatin1Char('\n'));
}

} // namespace tarnbell::cli
