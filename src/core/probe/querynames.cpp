#include "core/probe/querynames.h"

#include <QUrl>
#include <algorithm>

namespace tarnbell::core {

QByteArray queryNameBytes(const QString& domain) {
    const bool latin1 =
        std::all_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? domain.toLatin1() : QUrl::toAce(domain);
}

} // namespace tarnbell::core
