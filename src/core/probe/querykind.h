#pragma once
// What a lookup asks, besides which name: the listed name as it is; the listed name once more
// right after an untimed ask (the resolver's time on a cache hit); a fresh random label under
// the listed name, which no cache can hold (the resolver must ask the name's authoritative
// servers); or a fresh random label under its top-level domain (the resolver must ask that
// domain's servers).

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

class QRandomGenerator;

namespace tarnbell::core {

enum class QueryKind { Listed, Cached, Uncached, TopLevel };
inline constexpr int kQueryKindCount = 4;

// "listed", "cached", "uncached", "tld": as the JSON and the command line name them.
QString queryKindName(QueryKind kind);
std::optional<QueryKind> queryKindFromName(QStringView name);
// A comma-separated list of kind names ("listed,uncached"), in the order a run asks them
// (listed, cached, uncached, top-level), each once; nothing for an empty list or an unknown
// name.
std::optional<QList<QueryKind>> queryKindsFromList(QStringView list);
// "listed", "cached", "uncached", "top-level": as the window words them.
QString queryKindWords(QueryKind kind);

// The kinds whose answers are worth reading beyond their code carry EDNS with the DO bit:
// the negative answer of a random label tells by its TTL whether it came from a cache.
bool queryKindCarriesEdns(QueryKind kind);

// The name a lookup of `kind` asks about `domain`: the domain itself, or "tb-" and ten random
// letters and digits (drawn from `random`) under the domain or under its last label.
QString askedName(QueryKind kind, const QString& domain, QRandomGenerator& random);

} // namespace tarnbell::core
