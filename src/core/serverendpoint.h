#pragma once
// Where a probe sends its query: the server part of a server entry, read as an address or a
// host name with an optional port.

#include <QHostAddress>
#include <QString>
#include <QStringView>

namespace tarnbell::core {

inline constexpr quint16 kDnsPort = 53;

struct ServerEndpoint {
    QHostAddress address; // set for an address literal
    QString hostName;     // set for a host name, resolved before the query is sent
    quint16 port = kDnsPort;
    QString errorText; // plain words when the text is not a usable server; nothing else set

    bool isValid() const { return errorText.isEmpty(); }
    bool isHostName() const { return isValid() && !hostName.isEmpty(); }
};

// Reads "ADDR" (port 53), "ADDR:PORT", a bare IPv6 address, "[IPv6]" or "[IPv6]:PORT", and
// host names with or without ":PORT". Surrounding blanks are ignored. A dotted all-digit text
// must be a full IPv4 address, so "1.2.3" is refused rather than read as 1.2.0.3.
ServerEndpoint parseServerText(QStringView text);

} // namespace tarnbell::core
