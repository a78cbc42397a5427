#include "core/metrics/listenaddress.h"

#include <algorithm>

namespace tarnbell::core {

namespace {

ListenAddress refused(const QString& why) {
    ListenAddress result;
    result.errorText = why;
    return result;
}

} // namespace

ListenAddress parseListenAddress(QStringView text) {
    text = text.trimmed();
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QStringView host = colon < 0 ? QStringView() : text.left(colon);
    const QStringView portText = colon < 0 ? text : text.mid(colon + 1);
    bool isNumber = false;
    const uint port = portText.toUInt(&isNumber);
    // Digits only: toUInt would take " 80" or "+80" too.
    if (!isNumber || port < 1 || port > 65535 ||
        !std::all_of(portText.begin(), portText.end(), [](QChar c) { return c.isDigit(); }))
        return refused(QStringLiteral("give a port from 1 to 65535 after the address"));
    ListenAddress result;
    result.port = static_cast<quint16>(port);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return refused(QStringLiteral("write an IPv6 address in brackets: [::1]:PORT"));
    if (host.isEmpty())
        return result;
    // An address, not a name: what a name resolves to can change behind the user's back.
    if (!result.address.setAddress(host.toString()))
        return refused(QStringLiteral("%1 is not an IP address").arg(host));
    return result;
}

} // namespace tarnbell::core
