#include "core/harvest/searchtarget.h"

#include <QSettings>
#include <cmath>

namespace tarnbell::core {

SearchTarget SearchTarget::fromSettings(const QSettings& settings) {
    SearchTarget target;
    // Only a bare host name or address: a scheme, port, path or user part would end up in
    // the Host header and the status line.
    const QString host = settings.value(QStringLiteral("harvest/searchHost")).toString().trimmed();
    QUrl probe;
    probe.setHost(host, QUrl::StrictMode);
    if (!host.isEmpty() && probe.isValid() && !probe.host().isEmpty())
        target.host = host;
    const QString path = settings.value(QStringLiteral("harvest/searchPath")).toString().trimmed();
    if (path.startsWith(u'/') && !path.contains(u'?') && !path.contains(u'#'))
        target.path = path;
    return target;
}

QUrl searchUrl(const SearchTarget& target, const QString& seed, int count) {
    const auto wanted = static_cast<qint64>(std::floor(count * 1.25));
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(target.host);
    url.setPort(target.port == 443 ? -1 : target.port);
    url.setPath(target.path.isEmpty() ? QStringLiteral("/") : target.path);
    url.setQuery(QStringLiteral("q=") + QString::fromLatin1(QUrl::toPercentEncoding(seed)) +
                     QStringLiteral("&num=") + QString::number(wanted),
                 QUrl::StrictMode);
    return url;
}

QByteArray searchRequest(const QUrl& url) {
    QByteArray target =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QUrl authority = url.adjusted(QUrl::RemoveUserInfo);
    authority.setPort(url.port() == 443 ? -1 : url.port());
    return "GET " + target +
           " HTTP/1.1\r\nHost: " + authority.authority(QUrl::FullyEncoded).toLatin1() +
           "\r\nUser-Agent: Tarnbell/" TARNBELL_VERSION "\r\nConnection: close\r\n\r\n";
}

} // namespace tarnbell::core
