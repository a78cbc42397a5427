#pragma once
// The machine's own DNS server, as the system resolver is configured to use it.

#include <QByteArrayView>
#include <QString>

namespace tarnbell::core {

// The address of the first DNS server the system resolver uses, or the empty text when
// there is none or the configuration cannot be read. Asked afresh on every call.
// On Linux and other Unix systems this is the first usable "nameserver" of /etc/resolv.conf;
// on Windows the first DNS server of GetNetworkParams. `failureMessage`, when given, receives
// a message worth showing to the user when the platform call itself fails (Windows only).
QString GetLocalDNS(QString* failureMessage = nullptr);

// The first "nameserver" address in resolv.conf text, read the way glibc reads it: the
// keyword at the start of a line followed by a blank, the address up to the next blank;
// lines starting with "#" or ";" are comments; an entry that is not an IPv4 or IPv6 address
// is passed over. Empty text when there is none.
QString firstNameserver(QByteArrayView resolvConf);

// firstNameserver() of the file at `path`; empty text when it cannot be read.
QString firstNameserverInFile(const QString& path);

} // namespace tarnbell::core
