#pragma once
// Host names the machine's hosts file gives, looked up before any name server is asked.

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>

class QIODevice;

namespace tarnbell::core {

// The addresses `hosts` gives `name`, every matching line's, in file order, as glibc's files
// backend reads it: "#" starts a comment anywhere; a line is an address (IPv4, or IPv6 with an
// optional "%scope") and then names, the first canonical and the rest aliases, compared
// without regard to ASCII case; a line whose address does not read is passed over.
QList<QHostAddress> hostsAddresses(QIODevice& hosts, QByteArrayView name);

// hostsAddresses() of /etc/hosts; none when it cannot be read.
QList<QHostAddress> hostsFileAddresses(QByteArrayView name);

} // namespace tarnbell::core
