#include "core/probe/localdns.h"

#include <QFile>
#include <QHostAddress>
#include <QList>

#ifdef Q_OS_WIN
#include <QByteArray>
#include <winsock2.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <iphlpapi.h>
#endif

namespace tarnbell::core {
namespace {

// A resolver configuration is a few hundred bytes; the cap keeps a strange file (a device,
// a huge log linked in its place) from taking the memory.
constexpr qsizetype kMaxResolvConfSize = 1024 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

QByteArrayView trimmedStart(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return text;
}

// The address ends at a blank or, as for the C string glibc reads, at a NUL byte.
QByteArrayView firstWord(QByteArrayView text) {
    qsizetype end = 0;
    while (end < text.size() && !isBlank(text[end]) && text[end] != '\0')
        ++end;
    return text.first(end);
}

// glibc accepts IPv4 in dotted form and IPv6 with an optional "%scope".
bool isNameserverAddress(QByteArrayView word) {
    QHostAddress address;
    return address.setAddress(QString::fromLatin1(word));
}

} // namespace

QString firstNameserver(QByteArrayView resolvConf) {
    static constexpr QByteArrayView keyword("nameserver");
    while (!resolvConf.isEmpty()) {
        qsizetype end = resolvConf.indexOf('\n');
        if (end < 0)
            end = resolvConf.size();
        const QByteArrayView line = resolvConf.first(end);
        resolvConf = resolvConf.sliced(std::min(end + 1, resolvConf.size()));

        // The keyword must start the line and be followed by a blank, as glibc matches it.
        if (!line.startsWith(keyword) || line.size() == keyword.size() ||
            !isBlank(line[keyword.size()]))
            continue;
        const QByteArrayView address = firstWord(trimmedStart(line.sliced(keyword.size())));
        if (!address.isEmpty() && isNameserverAddress(address))
            return QString::fromLatin1(address);
    }
    return {};
}

QString firstNameserverInFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return firstNameserver(file.read(kMaxResolvConfSize));
}

#ifdef Q_OS_WIN

QString GetLocalDNS(QString* failureMessage) {
    // The sizing call: no buffer, the needed size comes back in `size`.
    ULONG size = 0;
    const DWORD sizing = GetNetworkParams(nullptr, &size);
    if (sizing != ERROR_SUCCESS && sizing != ERROR_BUFFER_OVERFLOW) {
        if (failureMessage)
            *failureMessage =
                QStringLiteral("GetNetworkParams sizing failed with error: %1").arg(sizing);
        return {};
    }
    QByteArray buffer(static_cast<qsizetype>(size), '\0');
    auto* info = reinterpret_cast<FIXED_INFO*>(buffer.data());
    if (size < sizeof(FIXED_INFO) || GetNetworkParams(info, &size) != ERROR_SUCCESS)
        return {};
    const char* field = info->DnsServerList.IpAddress.String;
    const QByteArrayView text(field, qstrnlen(field, sizeof(info->DnsServerList.IpAddress)));
    return QString::fromLatin1(text).remove(u'\r').remove(u'\n').trimmed();
}

#else

QString GetLocalDNS(QString* /*failureMessage*/) {
    // The file glibc's resolver reads; systemd-resolved and resolvconf keep it current.
    return firstNameserverInFile(QStringLiteral("/etc/resolv.conf"));
}

#endif

} // namespace tarnbell::core
