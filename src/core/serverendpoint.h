#pragma once
// Where a probe sends its query: the server part of a server entry, read as an address or a
// host name with an optional port.

#include <QHostAddress>
#include <QString>
#include <QStringView>

namespace tarnbell::core {

inline constexpr quint16 kDnsPort = 53;
// Far above any address, host name (253) and label; a longer text is a wrong file or a paste.
inline constexpr qsizetype kMaxServerEntryLength = 1024;

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
// must be a full IPv4 address, so "1.2.3" is refused rather than read as 1.2.0.3; octal
// ("0177.0.0.1") and hexadecimal ("0x7f000001") address forms, control characters and texts
// over kMaxServerEntryLength characters are refused too.
ServerEndpoint parseServerText(QStringView text);

// A whole server entry ("ADDR - label"): its server part (the text before the first blank)
// read by parseServerText, and the entry as a whole within kMaxServerEntryLength characters
// and free of control characters.
ServerEndpoint parseServerEntry(QStringView entry);

} // namespace tarnbell::core
