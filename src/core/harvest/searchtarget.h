#pragma once
// Where the harvester searches and what it asks: the search service's host, path and port,
// read from the program's settings, and the HTTPS request for one results page.

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QSettings;

namespace tarnbell::core {

struct SearchTarget {
    QString host = QStringLiteral("www.google.com");
    QString path = QStringLiteral("/search");
    quint16 port = 443;
    // When not empty, the only authorities trusted for the host's certificate instead of the
    // system's (a test's throwaway authority).
    QList<QSslCertificate> caCertificates;

    // The settings "harvest/searchHost" and "harvest/searchPath"; a missing or unusable
    // value keeps its default.
    static SearchTarget fromSettings(const QSettings& settings);
};

// https://host[:port]/path?q=<seed>&num=<count x 1.25, rounded down>. Asking for a quarter
// more results than names wanted leaves room for links that are skipped. The seed is
// percent-encoded (UTF-8), so whatever the user typed stays inside the query.
QUrl searchUrl(const SearchTarget& target, const QString& seed, int count);

// The HTTP/1.1 GET for `url`, with Host, User-Agent and Connection: close, so the host
// ends the reply by closing the connection.
QByteArray searchRequest(const QUrl& url);

} // namespace tarnbell::core
