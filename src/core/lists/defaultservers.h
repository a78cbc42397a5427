#pragma once
// The lists a fresh window starts with, so that a first "Benchmark!" has something to ask;
// the command line takes them on request.

#include <QString>
#include <QStringList>

namespace tarnbell::core {

// The built-in entries, in list order: public resolvers as "ADDRESS - provider", then the
// root servers a to d by host name.
QStringList DefaultServers();

// The built-in domain list: popular names, each in use for many years, of several kinds of
// service (search, video, social, shopping, news, reference, mail, software) and regions, so
// that a first run asks about names a resolver's users ask about too.
QStringList DefaultDomains();

// The machine's own resolver, marked " - local", ahead of the built-in entries; the built-in
// entries alone when `localResolver` is empty.
QStringList InitialServers(const QString& localResolver);

// A server list remembered from an earlier start, with its " - local" entry brought up to
// date: the machine's resolver may have changed since (another network), so the first local
// entry now names `localResolver`, or goes when there is none; further local entries go. A
// list the user had removed the local entry from stays without one.
QStringList RefreshLocalEntry(const QStringList& servers, const QString& localResolver);

} // namespace tarnbell::core
