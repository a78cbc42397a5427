#pragma once
// The machine's own DNS server, as the system resolver is configured to use it.

#include <QByteArrayView>
#include <QString>

namespace tarnbell::core {

// The address of the first DNS server the system resolver uses, or the empty text when
// there is none or the configuration cannot be read. Asked afresh on every call.
// On Linux and other Unix systems this is the first usable "nameserver" of resolverConfigPath();
// on Windows the first DNS server of GetNetworkParams. `failureMessage`, when given, receives
// a message worth showing to the user when the platform call itself fails (Windows only).
QString GetLocalDNS(QString* failureMessage = nullptr);

// The first nameserver of resolver configuration text (see parseResolverConfig) as a server
// entry names it: the address alone on port 53, "ADDRESS:PORT" or "[IPv6]:PORT" otherwise. Empty
// text when there is none.
QString firstNameserver(QByteArrayView resolvConf);

} // namespace tarnbell::core
