#include "core/lists/controltext.h"

#include <algorithm>

namespace tarnbell::core {

bool isControlCharacter(QChar c) {
    return c.category() == QChar::Other_Control;
}

bool hasControlCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

QString escapeControlCharacters(QStringView text) {
    if (!hasControlCharacter(text))
        return text.toString();
    QString shown;
    shown.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (isControlCharacter(c))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace tarnbell::core
