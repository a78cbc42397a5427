#include "core/probe/localdns.h"

#include "core/probe/resolverconfig.h"

#ifdef Q_OS_WIN
#include <QByteArray>
#include <winsock2.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <iphlpapi.h>
#endif

namespace tarnbell::core {
namespace {

QString firstNameserverOf(const std::optional<ResolverConfig>& config) {
    if (!config || config->nameservers.isEmpty())
        return {};
    const Nameserver& first = config->nameservers.front();
    const QString address = first.address.toString();
    if (first.port == 53)
        return address;
    const bool ipv6 = first.address.protocol() == QAbstractSocket::IPv6Protocol;
    return (ipv6 ? u'[' + address + u']' : address) + u':' + QString::number(first.port);
}

} // namespace

QString firstNameserver(QByteArrayView resolvConf) {
    return firstNameserverOf(parseResolverConfig(resolvConf));
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
    return firstNameserverOf(readResolverConfigFile(resolverConfigPath()));
}

#endif

} // namespace tarnbell::core
