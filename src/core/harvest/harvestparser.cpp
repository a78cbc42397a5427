#include "core/harvest/harvestparser.h"

#include "core/harvest/modvalidation.h"

#include <QRegularExpression>
#include <QSet>

namespace tarnbell::core {

QStringList harvestNames(QByteArrayView text, const QStringList& domains, int count, int limit) {
    // The text is read as Latin-1, one character per byte, so case folding can only pair
    // ASCII letters with ASCII letters: no non-ASCII character folds onto "http" or the run.
    static const QRegularExpression link(QStringLiteral("https?://[A-Z0-9.-]*/"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList added;
    if (domains.size() >= limit)
        return added;

    QSet<QString> known(domains.cbegin(), domains.cend());
    const QString page = QString::fromLatin1(text);
    auto matches = link.globalMatch(page);
    while (matches.hasNext()) {
        QString host = matches.next().captured();
        if (host.contains(QLatin1String("google")))
            continue;
        host.remove(QLatin1String("https://"));
        host.remove(QLatin1String("http://"));
        host.remove(u'/');
        if (host.isEmpty() || known.contains(host) || IsIPAddress(host) ||
            !DomainQueryProblem(host).isEmpty())
            continue;
        known.insert(host);
        added.append(host);
        if (domains.size() + added.size() >= limit || added.size() == count)
            break;
    }
    return added;
}

} // namespace tarnbell::core
