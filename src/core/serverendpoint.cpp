#include "core/serverendpoint.h"

#include "core/controltext.h"

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

} // namespace

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

    ServerEndpoint endpoint;
    QStringView host = text;
    if (text.front() == u'[') {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return refused(text, QStringLiteral("the \"]\" after the IPv6 address is missing"));
        const auto address = parseIPv6(text.sliced(1, close - 1));
        if (!address)
            return refused(text, QStringLiteral("not an IPv6 address between the brackets"));
        const QStringView rest = text.sliced(close + 1);
        if (!rest.isEmpty()) {
            const auto port = rest.front() == u':' ? parsePort(rest.sliced(1)) : std::nullopt;
            if (!port)
                return refused(text, kBadPort);
            endpoint.port = *port;
        }
        endpoint.address = *address;
        return endpoint;
    }

    const qsizetype colons = text.count(u':');
    if (colons > 1) {
        // Several colons: a bare IPv6 address, always on port 53 (use "[IPv6]:PORT").
        const auto address = parseIPv6(text);
        if (!address)
            return refused(text, QStringLiteral("not an IPv6 address"));
        endpoint.address = *address;
        return endpoint;
    }
    if (colons == 1) {
        const qsizetype colon = text.indexOf(u':');
        host = text.first(colon);
        const auto port = parsePort(text.sliced(colon + 1));
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
