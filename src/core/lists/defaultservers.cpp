#include "core/lists/defaultservers.h"

namespace tarnbell::core {

QStringList DefaultServers() {
    return {
        QStringLiteral("1.1.1.1 - cloudflare.com"),
        QStringLiteral("1.0.0.1 - cloudflare.com"),
        QStringLiteral("9.9.9.9 - quad9.net"),
        QStringLiteral("149.112.112.112 - quad9.net"),
        QStringLiteral("9.9.9.10 - quad9.net"),
        QStringLiteral("149.112.112.10 - quad9.net"),
        QStringLiteral("9.9.9.11 - quad9.net"),
        QStringLiteral("149.112.112.11 - quad9.net"),
        QStringLiteral("8.8.8.8 - google.com"),
        QStringLiteral("8.8.4.4 - google.com"),
        QStringLiteral("156.154.70.1 - DNSAdvantage"),
        QStringLiteral("156.154.71.1 - DNSAdvantage"),
        QStringLiteral("208.67.222.222 - OpenDNS"),
        QStringLiteral("208.67.220.220 - OpenDNS"),
        QStringLiteral("208.67.222.220 - OpenDNS"),
        QStringLiteral("208.67.220.222 - OpenDNS"),
        QStringLiteral("a.root-servers.net"),
        QStringLiteral("b.root-servers.net"),
        QStringLiteral("c.root-servers.net"),
        QStringLiteral("d.root-servers.net"),
    };
}

QStringList DefaultDomains() {
    return {
        QStringLiteral("google.com"),   QStringLiteral("youtube.com"),
        QStringLiteral("facebook.com"), QStringLiteral("wikipedia.org"),
        QStringLiteral("amazon.com"),   QStringLiteral("yahoo.com"),
        QStringLiteral("reddit.com"),   QStringLiteral("ebay.com"),
        QStringLiteral("gmail.com"),    QStringLiteral("microsoft.com"),
        QStringLiteral("github.com"),   QStringLiteral("nytimes.com"),
        QStringLiteral("bbc.co.uk"),    QStringLiteral("baidu.com"),
        QStringLiteral("qq.com"),       QStringLiteral("yahoo.co.jp"),
        QStringLiteral("naver.com"),    QStringLiteral("yandex.ru"),
        QStringLiteral("web.de"),       QStringLiteral("globo.com"),
    };
}

QStringList InitialServers(const QString& localResolver) {
    QStringList servers;
    if (!localResolver.isEmpty())
        servers << localResolver + QStringLiteral(" - local");
    servers << DefaultServers();
    return servers;
}

QStringList RefreshLocalEntry(const QStringList& servers, const QString& localResolver) {
    const QString marker = QStringLiteral(" - local");
    QStringList refreshed;
    bool seen = false;
    for (const QString& entry : servers) {
        if (!entry.endsWith(marker)) {
            refreshed << entry;
            continue;
        }
        if (!seen && !localResolver.isEmpty())
            refreshed << localResolver + marker;
        seen = true;
    }
    return refreshed;
}

} // namespace tarnbell::core
