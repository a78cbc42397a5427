#include "core/results/cachecheck.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace tarnbell::core {
namespace {

bool isChecked(const LookupRecord& lookup) {
    return lookup.queryKind == QueryKind::Uncached || lookup.queryKind == QueryKind::TopLevel;
}

// The time under which an answer comes from the server's cache: the 90th percentile (nearest
// rank) of its answered cache hits (its cached lookups, or else its repeats of listed names),
// with a margin of a quarter of it, and at least a millisecond, for the larger answers a
// synthesised one may be; -1 when there are no cache hits to measure against.
double cacheHitLimitMs(const QList<LookupRecord>& lookups) {
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
        const double p90 = times.at(std::clamp<qsizetype>(rank, 1, times.size()) - 1);
        return p90 + std::max(1.0, p90 / 4.0);
    }
    return -1.0;
}

} // namespace

void checkCaches(QList<LookupRecord>& lookups) {
    // The longest negative TTL each zone was served with in this run.
    QHash<QString, qint64> longest;
    for (const LookupRecord& lookup : lookups) {
        if (isChecked(lookup) && lookup.negativeTtl >= 0)
            longest[lookup.negativeZone.toLower()] =
                std::max(longest.value(lookup.negativeZone.toLower(), 0), lookup.negativeTtl);
    }
    const double hitLimitMs = cacheHitLimitMs(lookups);
    for (LookupRecord& lookup : lookups) {
        if (!isChecked(lookup))
            continue;
        if (lookup.kind() != LookupKind::Answered) {
            lookup.cacheCheck = CacheCheck::Unknown;
        } else if (hitLimitMs >= 0.0) {
            lookup.cacheCheck =
                lookup.seconds * 1000.0 <= hitLimitMs ? CacheCheck::FromCache : CacheCheck::Fresh;
        } else if (lookup.negativeTtl < 0) {
            lookup.cacheCheck = CacheCheck::Unknown;
        } else {
            const qint64 full =
                std::min<qint64>(longest.value(lookup.negativeZone.toLower()), lookup.soaMinimum);
            lookup.cacheCheck =
                lookup.negativeTtl >= full ? CacheCheck::Fresh : CacheCheck::Unknown;
        }
    }
}

} // namespace tarnbell::core
