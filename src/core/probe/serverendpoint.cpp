#include "core/probe/serverendpoint.h"

#include "core/lists/controltext.h"

#include <optional>

namespace tarnbell::core {
namespace {

// The error text goes into every result row of the server, so a huge entry is shown cut.
constexpr qsizetype kShownLength = 64;

ServerEndpoint refused(QStringView text, const QString& why) {
    QString shown = escapeControlCharacters(text.first(std::min(text.size(), kShownLength)));
    if (text.size() > kShownLength)
        shown += QStringLiteral("...");
    ServerEndpoint endpoint;
    endpoint.errorText =
        QStringLiteral("Error: \"%1\" is not a usable DNS server: %2").arg(shown, why);
    return endpoint;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A decimal port from 1 to 65535; port 0 would let the platform pick any port.
std::optional<quint16> parsePort(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (const QChar c : digits) {
        if (!isAsciiDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c.unicode() - u'0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

bool isDigitsAndDots(QStringView text) {
    bool digit = false;
    for (const QChar c : text) {
        if (isAsciiDigit(c))
            digit = true;
        else if (c != u'.')
            return false;
    }
    return digit;
}

// Four decimal parts of 0..255. Short forms ("10.1") and leading zeros (octal to some
// resolvers) are refused: they mean different addresses to different programs.
std::optional<QHostAddress> parseIPv4(QStringView text) {
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.front() == u'0'))
            return std::nullopt;
        const unsigned value = part.toUInt();
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    return QHostAddress(address);
}

// RFC 1123 host names, also with "_" and non-ASCII letters (resolved in their ACE form):
// labels of 1 to 63 characters, no hyphen at either end, at most 253 characters.
bool isHostName(QStringView text) {
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text.isEmpty() || text.size() > 253)
        return false;
    for (const QStringView label : text.split(u'.')) {
        if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
            return false;
        for (const QChar c : label) {
            if (!c.isLetterOrNumber() && c != u'-' && c != u'_')
                return false;
        }
    }
    return true;
}

// A number as inet_aton reads one: decimal, octal after "0", hexadecimal after "0x".
bool isAtonNumber(QStringView label) {
    if (label.startsWith(u"0x", Qt::CaseInsensitive))
        label = label.sliced(2);
    for (const QChar c : label) {
        if (!isAsciiDigit(c) && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
            return false;
    }
    return true;
}

// "0x7f000001" or "0x7f.1" is a host name by its letters, but the system resolver reads it
// as an address (127.0.0.1) without asking DNS: every part a number, one of them in hex.
bool isHexAddressForm(QStringView text) {
    if (text.endsWith(u'.'))
        text.chop(1);
    bool hex = false;
    for (const QStringView label : text.split(u'.')) {
        const bool isHex = label.startsWith(u"0x", Qt::CaseInsensitive);
        if (!isHex && !isDigitsAndDots(label))
            return false;
        if (isHex && !isAtonNumber(label))
            return false;
        hex = hex || isHex;
    }
    return hex;
}

std::optional<QHostAddress> parseIPv6(QStringView text) {
    QHostAddress address;
    if (!address.setAddress(text.toString()) || address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    return address;
}

const QString kBadPort = QStringLiteral("the port must be a number from 1 to 65535");

// An HTTP path as RFC 3986 allows it, without a query part: DNS over HTTPS by POST puts
// nothing after it.
bool isPath(QStringView path) {
    for (const QChar c : path) {
        if (c.unicode() > 0x7E || c.unicode() <= 0x20 || c == u'?' || c == u'#' || c == u'"' ||
            c == u'<' || c == u'>' || c == u'\\' || c == u'^' || c == u'`' || c == u'{' ||
            c == u'|' || c == u'}')
            return false;
    }
    return true;
}

// The address part: "ADDR", "ADDR:PORT", bare IPv6, "[IPv6]", "[IPv6]:PORT" or a host name,
// `defaultPort` when no port is given. `text` is the whole entry, for the messages.
ServerEndpoint parseHostAndPort(QStringView text, QStringView hostPart, quint16 defaultPort) {
    ServerEndpoint endpoint;
    endpoint.port = defaultPort;
    if (hostPart.isEmpty())
        return refused(text, QStringLiteral("no address given"));
    QStringView host = hostPart;
    if (hostPart.front() == u'[') {
        const qsizetype close = hostPart.indexOf(u']');
        if (close < 0)
            return refused(text, QStringLiteral("the \"]\" after the IPv6 address is missing"));
        const auto address = parseIPv6(hostPart.sliced(1, close - 1));
        if (!address)
            return refused(text, QStringLiteral("not an IPv6 address between the brackets"));
        const QStringView rest = hostPart.sliced(close + 1);
        if (!rest.isEmpty()) {
            const auto port = rest.front() == u':' ? parsePort(rest.sliced(1)) : std::nullopt;
            if (!port)
                return refused(text, kBadPort);
            endpoint.port = *port;
        }
        endpoint.address = *address;
        return endpoint;
    }

    const qsizetype colons = hostPart.count(u':');
    if (colons > 1) {
        // Several colons: a bare IPv6 address, always on the default port (use "[IPv6]:PORT").
        const auto address = parseIPv6(hostPart);
        if (!address)
            return refused(text, QStringLiteral("not an IPv6 address"));
        endpoint.address = *address;
        return endpoint;
    }
    if (colons == 1) {
        const qsizetype colon = hostPart.indexOf(u':');
        host = hostPart.first(colon);
        const auto port = parsePort(hostPart.sliced(colon + 1));
        if (!port)
            return refused(text, kBadPort);
        endpoint.port = *port;
        if (host.isEmpty())
            return refused(text, QStringLiteral("no address given before the port"));
    }

    if (isDigitsAndDots(host)) {
        const auto address = parseIPv4(host);
        if (!address)
            return refused(text, QStringLiteral("not an IPv4 address (four decimal numbers "
                                                "from 0 to 255, no leading zeros)"));
        endpoint.address = *address;
    } else if (isHexAddressForm(host)) {
        return refused(text, QStringLiteral("not an IPv4 address (four decimal numbers from 0 "
                                            "to 255, not hexadecimal)"));
    } else if (isHostName(host)) {
        endpoint.hostName = host.toString();
    } else {
        return refused(text, QStringLiteral("not a host name or address"));
    }
    return endpoint;
}

struct Scheme {
    const char16_t* prefix;
    Transport transport;
    quint16 port;
};
constexpr Scheme kSchemes[] = {{u"tcp://", Transport::Tcp, kDnsPort},
                               {u"tls://", Transport::Tls, kDnsOverTlsPort},
                               {u"https://", Transport::Https, kHttpsPort}};

ServerEndpoint parseStream(QStringView text, const Scheme& scheme) {
    QStringView rest = text.sliced(QStringView(scheme.prefix).size());
    QString path;
    if (scheme.transport == Transport::Https) {
        const qsizetype slash = rest.indexOf(u'/');
        path = slash < 0 ? QString::fromLatin1(kDefaultDohPath) : rest.sliced(slash).toString();
        if (slash >= 0)
            rest = rest.first(slash);
        if (!isPath(path))
            return refused(text, QStringLiteral("not a usable HTTP path after the address"));
    } else if (rest.contains(u'/')) {
        return refused(text, QStringLiteral("only https:// entries take a path"));
    }
    QString pinnedName;
    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0) {
        if (scheme.transport == Transport::Tcp)
            return refused(text, QStringLiteral("only tls:// and https:// entries name a "
                                                "server to authenticate (#NAME)"));
        const QStringView name = rest.sliced(hash + 1);
        if (!isHostName(name) || isDigitsAndDots(name) || isHexAddressForm(name))
            return refused(text, QStringLiteral("not a host name after \"#\""));
        pinnedName = name.toString();
        rest = rest.first(hash);
    }
    ServerEndpoint endpoint = parseHostAndPort(text, rest, scheme.port);
    if (!endpoint.isValid())
        return endpoint;
    if (!pinnedName.isEmpty() && endpoint.isHostName())
        return refused(text, QStringLiteral("\"#NAME\" goes after an address, not a host name"));
    endpoint.transport = scheme.transport;
    endpoint.path = path;
    if (scheme.transport != Transport::Tcp) {
        endpoint.authName = !pinnedName.isEmpty()   ? pinnedName
                            : endpoint.isHostName() ? endpoint.hostName
                                                    : endpoint.address.toString();
    }
    return endpoint;
}

} // namespace

QString transportName(Transport transport) {
    switch (transport) {
    case Transport::Udp:
        return QStringLiteral("udp");
    case Transport::Tcp:
        return QStringLiteral("tcp");
    case Transport::Tls:
        return QStringLiteral("tls");
    case Transport::Https:
        return QStringLiteral("https");
    }
    return {};
}

ServerEndpoint parseServerText(QStringView text) {
    if (text.size() > kMaxServerEntryLength) {
        return refused(
            text, QStringLiteral("it is longer than %1 characters").arg(kMaxServerEntryLength));
    }
    text = text.trimmed();
    if (text.isEmpty())
        return refused(text, QStringLiteral("no address given"));
    if (hasControlCharacter(text))
        return refused(text, QStringLiteral("it holds a control character"));
    for (const Scheme& scheme : kSchemes) {
        if (text.startsWith(QStringView(scheme.prefix), Qt::CaseInsensitive))
            return parseStream(text, scheme);
    }
    if (text.contains(u"://"))
        return refused(text, QStringLiteral("unknown scheme (use tcp://, tls:// or https://)"));
    return parseHostAndPort(text, text, kDnsPort);
}

Transport transportOf(QStringView text) {
    text = text.trimmed();
    for (const Scheme& scheme : kSchemes) {
        if (text.startsWith(QStringView(scheme.prefix), Qt::CaseInsensitive))
            return scheme.transport;
    }
    return Transport::Udp;
}

ServerEndpoint parseServerEntry(QStringView entry) {
    if (entry.size() > kMaxServerEntryLength) {
        return refused(
            entry, QStringLiteral("it is longer than %1 characters").arg(kMaxServerEntryLength));
    }
    if (hasControlCharacter(entry))
        return refused(entry, QStringLiteral("it holds a control character"));
    const qsizetype blank = entry.indexOf(u' ');
    return parseServerText(blank < 0 ? entry : entry.first(blank));
}

} // namespace tarnbell::core
