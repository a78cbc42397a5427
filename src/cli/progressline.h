#pragma once
// The progress bar of a run on a terminal: one line on standard error, redrawn in place,
// with the percentage and the lookup under way.

#include <QString>
#include <cstdio>

namespace tarnbell::cli {

class ProgressLine final {
public:
    // Draws nothing unless `enabled` (a terminal, and no --quiet).
    ProgressLine(std::FILE* stream, bool enabled);

    void setPercent(double percent);
    void setLookup(const QString& text); // "Querying E for MX record of D"
    void clear();                        // removes the line, before the completion text

    // "[#####               ]  25.00% text", cut to `columns` - 1 characters so the line
    // never wraps (a wrapped line cannot be redrawn in place).
    static QString render(double percent, const QString& text, int columns);

private:
    void draw();
    int columns() const;

    std::FILE* m_stream;
    bool m_enabled;
    bool m_drawn = false;
    double m_percent = 0.0;
    QString m_text;
};

// Whether `stream` is a terminal.
bool isTerminal(std::FILE* stream);

} // namespace tarnbell::cli
