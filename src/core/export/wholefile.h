#pragma once
// Writing a result file whole or not at all: the bytes go to a temporary file beside the
// target, which replaces the target only once everything is on disk. A failed write leaves
// any earlier file of that name as it was and no partial file behind. The one exception is
// an existing, writable file in a folder the user cannot write: it is written in place.

#include <QByteArray>
#include <QString>

namespace tarnbell::core {

// Returns the empty text on success, otherwise one sentence saying what failed, fit for a
// message box or a command-line error.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

// Whether `path` could be written now (a temporary file can be created beside it and the
// target is replaceable), without touching the target. Same result convention.
QString checkWritable(const QString& path);

} // namespace tarnbell::core
