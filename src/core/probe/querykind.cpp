#include "core/probe/querykind.h"

#include <QRandomGenerator>
#include <array>

namespace tarnbell::core {
namespace {

struct KindNames {
    QueryKind kind;
    const char* name;
    const char* words;
};
constexpr std::array<KindNames, kQueryKindCount> kNames{{
    {QueryKind::Listed, "listed", "listed"},
    {QueryKind::Cached, "cached", "cached"},
    {QueryKind::Uncached, "uncached", "uncached"},
    {QueryKind::TopLevel, "tld", "top-level"},
}};

QString randomLabel(QRandomGenerator& random) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString label = QStringLiteral("tb-");
    for (int i = 0; i < 10; ++i)
        label += QLatin1Char(kAlphabet[random.bounded(36)]);
    return label;
}

} // namespace

QString queryKindName(QueryKind kind) {
    return QString::fromLatin1(kNames[static_cast<std::size_t>(kind)].name);
}

QString queryKindWords(QueryKind kind) {
    return QString::fromLatin1(kNames[static_cast<std::size_t>(kind)].words);
}

std::optional<QueryKind> queryKindFromName(QStringView name) {
    for (const KindNames& names : kNames) {
        if (name.compare(QLatin1String(names.name), Qt::CaseInsensitive) == 0)
            return names.kind;
    }
    return std::nullopt;
}

std::optional<QList<QueryKind>> queryKindsFromList(QStringView list) {
    std::array<bool, kQueryKindCount> asked{};
    for (const QStringView name : list.split(QLatin1Char(','))) {
        const std::optional<QueryKind> kind = queryKindFromName(name.trimmed());
        if (!kind)
            return std::nullopt;
        asked[static_cast<std::size_t>(*kind)] = true;
    }
    QList<QueryKind> kinds;
    for (const KindNames& names : kNames) {
        if (asked[static_cast<std::size_t>(names.kind)])
            kinds.append(names.kind);
    }
    return kinds;
}

bool queryKindCarriesEdns(QueryKind kind) {
    return kind != QueryKind::Listed;
}

QString askedName(QueryKind kind, const QString& domain, QRandomGenerator& random) {
    if (kind == QueryKind::Listed || kind == QueryKind::Cached)
        return domain;
    // A final dot (an absolute name) stays where it was.
    const bool absolute = domain.endsWith(QLatin1Char('.'));
    const QString name = absolute ? domain.chopped(1) : domain;
    const QString under =
        kind == QueryKind::Uncached ? name : name.section(QLatin1Char('.'), -1, -1);
    return randomLabel(random) + QLatin1Char('.') + under +
           (absolute ? QStringLiteral(".") : QString());
}

} // namespace tarnbell::core
