#pragma once
// The server list a fresh window (and the command line, when given no servers) starts with.

#include <QString>
#include <QStringList>

namespace tarnbell::core {

// The built-in entries, in list order: public resolvers as "ADDRESS - provider", then the
// root servers a to d by host name.
QStringList DefaultServers();

// The machine's own resolver, marked " - local", ahead of the built-in entries; the built-in
// entries alone when `localResolver` is empty.
QStringList InitialServers(const QString& localResolver);

} // namespace tarnbell::core
