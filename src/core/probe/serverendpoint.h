#pragma once
// Where a probe sends its query: the server part of a server entry, read as an address or a
// host name with an optional port, and for a stream transport its scheme, the name the TLS
// certificate must carry and the DNS over HTTPS path.

#include <QHostAddress>
#include <QString>
#include <QStringView>

namespace tarnbell::core {

inline constexpr quint16 kDnsPort = 53;
inline constexpr quint16 kDnsOverTlsPort = 853; // RFC 7858 3.1
inline constexpr quint16 kHttpsPort = 443;
inline constexpr char kDefaultDohPath[] = "/dns-query";

enum class Transport {
    Udp,   // a plain entry
    Tcp,   // tcp://: RFC 7766, two-byte length ahead of each message
    Tls,   // tls://: DNS over TLS, RFC 7858
    Https, // https://: DNS over HTTPS, RFC 8484
};

// The transport an entry's scheme names (Udp without one), without reading the rest: where a
// lookup of an entry that does not parse goes, to fail there with the parser's words.
Transport transportOf(QStringView text);
// "udp", "tcp", "tls" or "https", as the JSON names a transport.
QString transportName(Transport transport);
// Far above any address, host name (253) and label; a longer text is a wrong file or a paste.
inline constexpr qsizetype kMaxServerEntryLength = 1024;

struct ServerEndpoint {
    QHostAddress address; // set for an address literal
    QString hostName;     // set for a host name, resolved before the query is sent
    quint16 port = kDnsPort;
    Transport transport = Transport::Udp;
    // The name the server's certificate must carry (TLS, HTTPS): the "#NAME" of the entry,
    // else the host name, else the address as text. Also the HTTP authority.
    QString authName;
    QString path;      // the DNS over HTTPS path, "/dns-query" unless the entry gives one
    QString errorText; // plain words when the text is not a usable server; nothing else set

    bool isValid() const { return errorText.isEmpty(); }
    bool isHostName() const { return isValid() && !hostName.isEmpty(); }
};

// Reads "ADDR" (port 53), "ADDR:PORT", a bare IPv6 address, "[IPv6]" or "[IPv6]:PORT", and
// host names with or without ":PORT". Surrounding blanks are ignored. A dotted all-digit text
// must be a full IPv4 address, so "1.2.3" is refused rather than read as 1.2.0.3; octal
// ("0177.0.0.1") and hexadecimal ("0x7f000001") address forms, control characters and texts
// over kMaxServerEntryLength characters are refused too.
// Stream transports: "tcp://HOST[:PORT]" (port 53), "tls://HOST[:PORT]" (853) and
// "https://HOST[:PORT][/PATH]" (443, "/dns-query"), HOST as above; "tls://ADDR[:PORT]#NAME"
// and "https://ADDR[:PORT]#NAME[/PATH]" connect to ADDR and authenticate NAME.
ServerEndpoint parseServerText(QStringView text);

// A whole server entry ("ADDR - label"): its server part (the text before the first blank)
// read by parseServerText, and the entry as a whole within kMaxServerEntryLength characters
// and free of control characters.
ServerEndpoint parseServerEntry(QStringView entry);

} // namespace tarnbell::core
