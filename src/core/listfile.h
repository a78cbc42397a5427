#pragma once
// Server and domain lists kept in text files: one entry a line, blank lines and lines
// starting with "#" skipped.

#include <QString>
#include <QStringList>
#include <optional>

namespace tarnbell::core {

// The entries of the file at `path`, each trimmed of surrounding blanks (and of the CR of
// a CR LF line end). On failure `error` gets the reason and the result is empty.
std::optional<QStringList> readListFile(const QString& path, QString* error);

// The same rules applied to text already read.
QStringList parseListText(const QString& text);

// `entries` as a list file: one entry a line, each line ended by LF.
QByteArray listFileBytes(const QStringList& entries);

} // namespace tarnbell::core
