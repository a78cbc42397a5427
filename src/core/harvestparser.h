#pragma once
// The pure half of the harvester: the request line sent to the search host and the host
// names taken from the links of the result text.

#include "core/listlimits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tarnbell::core {

// "GET /search?q=" + seed + "&num=" + floor(count x 1.25) + CR LF, and nothing else: no
// protocol version, no header lines. Asking for a quarter more results than names wanted
// leaves room for links that are skipped. The seed goes in as typed, one byte per character
// (Latin-1; characters beyond it become "?"); only CR and LF are dropped from it, because
// they would end the request line early and let the seed write lines of its own.
QByteArray searchRequestLine(const QString& seed, int count);

// The names to append to the domain list, in order, from all "http://" links in `text`
// (everything received so far, oldest first, one byte per character):
// - every case-insensitive match of http://[A-Z0-9.-]*/ from left to right;
// - a match containing "google" (case-sensitive) is the search engine's own link: skipped;
// - the host is the match with every "http://" and then every "/" removed (both
//   case-sensitive, so "HTTP://host/" gives "HTTP:host"); an empty host is skipped;
// - a host already in `domains` or added earlier in this parse (exact, case-sensitive
//   comparison) is skipped, and so is an IPv4 address (IsIPAddress);
// - the parse stops once `count` names are added or the list would reach `limit`; a list
//   that already holds `limit` entries gets nothing.
QStringList harvestNames(QByteArrayView text, const QStringList& domains, int count,
                         int limit = kListLimit);

} // namespace tarnbell::core
