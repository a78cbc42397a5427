#pragma once
// The record types a run can ask for, as the window offers them: the type's name, a blank and
// its DNS type code.

#include <QString>
#include <QStringList>

namespace tarnbell::core {

inline QStringList RecordTypeChoices() {
    return {QStringLiteral("A 1"), QStringLiteral("MX 15"), QStringLiteral("NS 2"),
            QStringLiteral("SOA 6")};
}

// MX, so a run started at once asks for mail servers.
inline constexpr int kDefaultRecordTypeIndex = 1;

} // namespace tarnbell::core
