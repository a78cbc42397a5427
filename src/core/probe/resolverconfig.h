#pragma once
// The system resolver's configuration, read from resolv.conf text as glibc reads it, and the
// names a lookup tries by its search rules.

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tarnbell::core {

struct Nameserver {
    QHostAddress address;
    quint16 port = 53;
};

struct ResolverConfig {
    QList<Nameserver> nameservers; // at most three, in file order
    QStringList searchDomains;     // from the last "search" or "domain" line
    int ndots = 1;                 // a name with this many dots is tried as it is first
    int timeoutSeconds = 5;        // the wait for one name server before asking the next
    int attempts = 2;              // rounds over the name servers
};

// resolv.conf text read as glibc reads it: a keyword starts its line and a blank follows it;
// a line starting with "#" or ";" is a comment. "nameserver" takes the word up to the next
// blank (or NUL byte), an IPv4 address or an IPv6 one with an optional "%scope", and, as
// OpenBSD's resolver reads it, "[ADDRESS]:PORT" for a server on another port; a word that is
// none of these is passed over, and lines after the third server are ignored. "search" gives
// its words, "domain" its first word; the last of the two wins. "options" sets "ndots:N" (at
// most 15), "timeout:N" (at most 30) and "attempts:N" (at most 5).
ResolverConfig parseResolverConfig(QByteArrayView text);

// The configuration in the file at `path` (its first MiB); nothing when it cannot be read.
std::optional<ResolverConfig> readResolverConfigFile(const QString& path);

// The file the environment variable TARNBELL_RESOLV_CONF names, or /etc/resolv.conf.
QString resolverConfigPath();

// The names a lookup of `name` tries, in order, by glibc's search rules: a name ending in a dot
// is only itself (without the dot); a name with at least `ndots` dots is tried as it is, then
// with each search domain; any other name with each search domain first, then as it is.
QStringList searchCandidates(const QString& name, const ResolverConfig& config);

} // namespace tarnbell::core
