#pragma once
// Control characters in text that came from the user or a file: found so that input holding
// them can be refused, and shown escaped so that text bound for a terminal cannot move its
// cursor, recolour it or retitle its window.

#include <QString>
#include <QStringView>

namespace tarnbell::core {

// C0 controls, DEL and C1 controls (Unicode category Cc).
bool isControlCharacter(QChar c);
bool hasControlCharacter(QStringView text);

// `text` with each control character written as "\xHH"; every other character as it is.
QString escapeControlCharacters(QStringView text);

} // namespace tarnbell::core
