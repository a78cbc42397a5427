#pragma once
// Server and domain lists kept in text files: UTF-8, one entry a line, blank lines and lines
// starting with "#" skipped.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tarnbell::core {

struct ListLine {
    QString text; // trimmed of surrounding blanks (and of the CR of a CR LF line end)
    int line = 0; // counted from 1, as an editor shows it
};

// The entries of the file at `path`. Refused, with the reason in `error`: anything but a
// regular file (a pipe or device is never opened for a blocking read), more than 1 MiB, and
// text that is not UTF-8 (UTF-16, binary); a UTF-8 byte-order mark is fine.
std::optional<QList<ListLine>> readListFile(const QString& path, QString* error);

// The same rules applied to text already read.
QList<ListLine> parseListText(const QString& text);

// The entries' texts, without their line numbers.
QStringList entryTexts(const QList<ListLine>& lines);

// `entries` as a list file: one entry a line, each line ended by LF.
QByteArray listFileBytes(const QStringList& entries);

} // namespace tarnbell::core
