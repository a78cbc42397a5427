#include "core/results/cachecheck.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace tarnbell::core {
namespace {

bool isChecked(const LookupRecord& lookup) {
    return lookup.queryKind == QueryKind::Uncached || lookup.queryKind == QueryKind::TopLevel;
}

// The 90th percentile (nearest rank) of the answered lookups' times that the server gave from
// its cache: its cached lookups, or else the repeats of listed names; -1 when there are none.
double cacheHitMs(const QList<LookupRecord>& lookups) {
    for (const bool cachedKind : {true, false}) {
        QList<double> times;
        for (const LookupRecord& lookup : lookups) {
            const bool hit = cachedKind ? lookup.queryKind == QueryKind::Cached
                                        : lookup.queryKind == QueryKind::Listed && lookup.repeat;
            if (hit && lookup.kind() == LookupKind::Answered)
                times.append(lookup.seconds * 1000.0);
        }
        if (times.isEmpty())
            continue;
        std::sort(times.begin(), times.end());
        const auto rank =
            static_cast<qsizetype>(std::ceil(0.9 * static_cast<double>(times.size())));
        return times.at(std::clamp<qsizetype>(rank, 1, times.size()) - 1);
    }
    return -1.0;
}

} // namespace

void checkCaches(QList<LookupRecord>& lookups) {
    // The longest negative TTL each zone was served with in this run stands for its full one.
    QHash<QString, qint64> longest;
    for (const LookupRecord& lookup : lookups) {
        if (isChecked(lookup) && lookup.negativeTtl >= 0)
            longest[lookup.negativeZone.toLower()] =
                std::max(longest.value(lookup.negativeZone.toLower(), 0), lookup.negativeTtl);
    }
    const double hitMs = cacheHitMs(lookups);
    for (LookupRecord& lookup : lookups) {
        if (!isChecked(lookup))
            continue;
        if (lookup.kind() != LookupKind::Answered || lookup.negativeTtl < 0) {
            lookup.cacheCheck = CacheCheck::Unknown;
            continue;
        }
        const qint64 full =
            std::min<qint64>(longest.value(lookup.negativeZone.toLower()), lookup.soaMinimum);
        const bool countedDown = lookup.negativeTtl < full;
        const bool asFastAsAHit = hitMs >= 0.0 && lookup.seconds * 1000.0 <= hitMs;
        lookup.cacheCheck = countedDown || asFastAsAHit ? CacheCheck::FromCache : CacheCheck::Fresh;
    }
}

} // namespace tarnbell::core
