#pragma once
// Where the command-line tool's results and messages go: the CSV and the JSON to files or
// standard output, problems as one line on standard error. Text bound for a terminal has
// its control characters escaped.

#include <QByteArray>
#include <QString>

namespace tarnbell::cli {

// Writes `bytes` whole to `path`, or to standard output when `path` is "-". Returns the
// empty text on success, otherwise what failed. A reader that went away (EPIPE) is such a
// failure, not the end of the program: SIGPIPE is ignored from main().
QString writeOutput(const QString& path, const QByteArray& bytes);

// Whether `path` can be written (always true for standard output), before a run that may
// take minutes makes results that could not be kept.
QString checkOutput(const QString& path);

// "tarnbell-cli: <text>" on standard error, its control characters escaped.
void printProblem(const QString& text);

// Lines of text on standard error, each line's control characters escaped.
void printToStderr(const QString& text);

} // namespace tarnbell::cli
