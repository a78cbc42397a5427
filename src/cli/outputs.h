#pragma once
// Where the command-line tool's results and messages go: the CSV to a file or standard
// output, the JSON to a file, problems as one line on standard error.

#include <QByteArray>
#include <QString>

namespace tarnbell::cli {

// Writes `bytes` whole to `path`, or to standard output when `path` is empty. Returns the
// empty text on success, otherwise what failed.
QString writeOutput(const QString& path, const QByteArray& bytes);

// Whether `path` can be written (always true for standard output), before a run that may
// take minutes makes results that could not be kept.
QString checkOutput(const QString& path);

// "tarnbell-cli: <text>" on standard error.
void printProblem(const QString& text);

// Any text on standard error as it is.
void printToStderr(const QString& text);

} // namespace tarnbell::cli
