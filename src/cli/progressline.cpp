#include "cli/progressline.h"

#include <algorithm>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tarnbell::cli {

namespace {

constexpr int kBarCells = 20;
constexpr int kFallbackColumns = 80;
// Carriage return, then erase to the end of the line (ECMA-48 EL).
constexpr char kRewind[] = "\r\033[K";

} // namespace

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

ProgressLine::ProgressLine(std::FILE* stream, bool enabled)
    : m_stream(stream), m_enabled(enabled) {}

void ProgressLine::setPercent(double percent) {
    m_percent = std::clamp(percent, 0.0, 100.0);
    draw();
}

void ProgressLine::setLookup(const QString& text) {
    m_text = text;
    draw();
}

void ProgressLine::clear() {
    if (!m_enabled || !m_drawn)
        return;
    std::fputs(kRewind, m_stream);
    std::fflush(m_stream);
    m_drawn = false;
}

QString ProgressLine::render(double percent, const QString& text, int columns) {
    const int filled = static_cast<int>(std::floor(percent / 100.0 * kBarCells));
    QString line = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(kBarCells - filled, QLatin1Char(' ')) + QStringLiteral("] ") +
                   QStringLiteral("%1% ").arg(percent, 6, 'f', 2) + text;
    const int room = std::max(columns - 1, 0);
    if (line.size() > room)
        line.truncate(room);
    return line;
}

void ProgressLine::draw() {
    if (!m_enabled)
        return;
    const QByteArray bytes =
        (QLatin1String(kRewind) + render(m_percent, m_text, columns())).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_stream);
    std::fflush(m_stream);
    m_drawn = true;
}

int ProgressLine::columns() const {
    winsize size{};
    if (::ioctl(::fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kFallbackColumns;
}

} // namespace tarnbell::cli
