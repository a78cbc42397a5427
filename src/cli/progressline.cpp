#include "cli/progressline.h"

#include "core/lists/controltext.h"
#include "core/run/runwording.h"

#include <QStringList>
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

// "4:05", or "1:02:03" from an hour on.
QString clockText(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60,
                                            hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesSeconds : minutesSeconds;
}

QString bar(double percent, int cells) {
    const int filled = static_cast<int>(std::floor(percent / 100.0 * cells));
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(cells - filled, QLatin1Char(' ')) + QStringLiteral("] ");
}

} // namespace

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

ProgressLine::ProgressLine(std::FILE* stream, bool enabled) : m_stream(stream), m_enabled(enabled) {
    m_clock.start();
}

void ProgressLine::setPercent(double percent) {
    m_state.percent = std::clamp(percent, 0.0, 100.0);
    draw();
}

void ProgressLine::setLookup(const QString& recordType, const QString& server,
                             const QString& domain) {
    m_state.recordType = recordType;
    m_state.server = server;
    m_state.domain = domain;
    draw();
}

void ProgressLine::setFinished(qsizetype finished, qsizetype total) {
    m_finished = finished;
    m_total = total;
}

void ProgressLine::redraw() {
    draw();
}

void ProgressLine::clear() {
    if (!m_enabled || !m_drawn)
        return;
    std::fputs(kRewind, m_stream);
    std::fflush(m_stream);
    m_drawn = false;
}

QString ProgressLine::render(const State& state, int columns) {
    const int room = std::max(columns - 1, 0);
    const QString percent = QStringLiteral("%1% ").arg(state.percent, 6, 'f', 2);
    const QString elapsed = clockText(state.elapsedSeconds);
    const bool estimated = state.remainingSeconds >= 0;
    const QString remaining = QLatin1Char('~') + clockText(state.remainingSeconds);
    const QString times =
        estimated ? elapsed + QStringLiteral(" elapsed, ") + remaining + QStringLiteral(" left  ")
                  : elapsed + QStringLiteral(" elapsed  ");
    const QString shortTimes =
        estimated ? elapsed + QLatin1Char(' ') + remaining + QStringLiteral("  ") : elapsed + "  ";
    const QString server = core::escapeControlCharacters(state.server);
    const QString domain = core::escapeControlCharacters(state.domain);
    QString full;
    QString compact;
    QString shortest; // the address without the label
    if (!server.isEmpty()) {
        full = core::queryingText(server, state.recordType, domain);
        compact = domain + QStringLiteral(" @ ") + server;
        shortest = domain + QStringLiteral(" @ ") + server.section(QLatin1Char(' '), 0, 0);
    }

    QStringList candidates;
    for (const QString& lookup : {full, compact}) {
        for (int cells = kBarCells; cells > 0; --cells)
            candidates << bar(state.percent, cells) + percent + times + lookup;
        candidates << percent + times + lookup;
    }
    candidates << percent + shortTimes + compact << percent + shortTimes + shortest
               << percent + shortest << shortest;
    for (const QString& line : std::as_const(candidates)) {
        if (line.size() <= room)
            return line;
    }
    return shortest.left(room);
}

void ProgressLine::draw() {
    if (!m_enabled)
        return;
    const qint64 elapsedMs = m_clock.elapsed();
    m_state.elapsedSeconds = elapsedMs / 1000;
    m_state.remainingSeconds =
        m_finished > 0 && m_total >= m_finished
            ? static_cast<qint64>(std::ceil(static_cast<double>(elapsedMs) / 1000.0 /
                                            static_cast<double>(m_finished) *
                                            static_cast<double>(m_total - m_finished)))
            : -1;
    const QByteArray bytes = (QLatin1String(kRewind) + render(m_state, columns())).toLocal8Bit();
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
