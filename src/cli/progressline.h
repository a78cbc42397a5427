#pragma once
// The progress bar of a run on a terminal: one line on standard error, redrawn in place,
// with the percentage, the time so far and an estimate of the time left, and the lookup
// under way.

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace tarnbell::cli {

class ProgressLine final {
public:
    struct State {
        double percent = 0.0;
        qint64 elapsedSeconds = 0;
        qint64 remainingSeconds = -1; // unknown until a lookup has finished
        QString recordType;           // "MX"
        QString server;               // the entry under test
        QString domain;
    };

    // Draws nothing unless `enabled` (a terminal, and no --quiet). The clock starts here.
    ProgressLine(std::FILE* stream, bool enabled);

    bool isEnabled() const { return m_enabled; }
    void setPercent(double percent);
    void setLookup(const QString& recordType, const QString& server, const QString& domain);
    // `finished` of `total` lookups done: the estimate assumes the rest take as long.
    void setFinished(qsizetype finished, qsizetype total);
    void redraw(); // the clock moved on
    void clear();  // removes the line, before any other text on the stream

    // The richest line that fits in `columns` - 1 characters (a wrapped line cannot be
    // redrawn in place): the bar shrinks and goes first, then the wording around the domain
    // and server, the words of the times, the server's label, the times and the percentage;
    // only then is the line cut. Control characters in the server and domain are shown
    // escaped.
    static QString render(const State& state, int columns);

private:
    void draw();
    int columns() const;

    std::FILE* m_stream;
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_clock;
    qsizetype m_finished = 0;
    qsizetype m_total = 0;
    State m_state;
};

// Whether `stream` is a terminal.
bool isTerminal(std::FILE* stream);

} // namespace tarnbell::cli
