#pragma once
// The pure half of the harvester: the host names taken from the links of the result text.

#include "core/lists/listlimits.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tarnbell::core {

// The names to append to the domain list, in order, from all "http://" and "https://" links
// in `text` (everything received so far, oldest first, one byte per character):
// - every case-insensitive match of https?://[A-Z0-9.-]*/ from left to right;
// - a match containing "google" (case-sensitive) is the search engine's own link: skipped;
// - the host is the match with every "https://", every "http://" and then every "/" removed
//   (all case-sensitive, so "HTTP://host/" gives "HTTP:host"); an empty host is skipped;
// - a host already in `domains` or added earlier in this parse (exact, case-sensitive
//   comparison) is skipped, and so is an IPv4 address (IsIPAddress) and a name that "+"
//   would refuse (DomainQueryProblem);
// - the parse stops once `count` names are added or the list would reach `limit`; a list
//   that already holds `limit` entries gets nothing.
QStringList harvestNames(QByteArrayView text, const QStringList& domains, int count,
                         int limit = kListLimit);

} // namespace tarnbell::core
