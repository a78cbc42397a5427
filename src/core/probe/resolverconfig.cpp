#include "core/probe/resolverconfig.h"

#include <QFile>
#include <algorithm>

namespace tarnbell::core {
namespace {

// A resolver configuration is a few hundred bytes; the cap keeps a strange file (a device,
// a huge log linked in its place) from taking the memory.
constexpr qsizetype kMaxResolvConfSize = 1024 * 1024;
// glibc's MAXNS, RES_MAXNDOTS, RES_MAXRETRANS and RES_MAXRETRY.
constexpr qsizetype kMaxNameservers = 3;
constexpr int kMaxNdots = 15;
constexpr int kMaxTimeout = 30;
constexpr int kMaxAttempts = 5;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The words of `text`; a NUL byte ends the text, as for the C string glibc reads.
QList<QByteArrayView> wordsOf(QByteArrayView text) {
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text = text.first(nul);
    QList<QByteArrayView> words;
    qsizetype at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at]))
            ++at;
        const qsizetype start = at;
        while (at < text.size() && !isBlank(text[at]))
            ++at;
        if (at > start)
            words << text.sliced(start, at - start);
    }
    return words;
}

// The leading digits as atoi reads them (none: 0), capped at `most`.
int optionNumber(QByteArrayView text, int most) {
    int value = 0;
    for (qsizetype at = 0; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min(most, value * 10 + (text[at] - '0'));
    return value;
}

std::optional<Nameserver> nameserverOf(QByteArrayView word) {
    Nameserver server;
    // OpenBSD's form for another port: "[ADDRESS]:PORT".
    if (word.startsWith('[')) {
        const qsizetype close = word.indexOf(']');
        const QByteArrayView rest = close < 0 ? QByteArrayView() : word.sliced(close + 1);
        bool numeric = rest.startsWith(':');
        const uint port = numeric ? rest.sliced(1).toByteArray().toUInt(&numeric) : 53;
        if (close < 0 || (!rest.isEmpty() && (!numeric || port == 0 || port > 65535)))
            return std::nullopt;
        server.port = static_cast<quint16>(port);
        word = word.sliced(1, close - 1);
    }
    if (!server.address.setAddress(QString::fromLatin1(word)))
        return std::nullopt;
    return server;
}

} // namespace

ResolverConfig parseResolverConfig(QByteArrayView text) {
    ResolverConfig config;
    while (!text.isEmpty()) {
        qsizetype end = text.indexOf('\n');
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.first(end);
        text = text.sliced(std::min(end + 1, text.size()));

        const QList<QByteArrayView> words = wordsOf(line);
        // The keyword starts the line and a blank follows it, as glibc matches it.
        if (words.size() < 2 || isBlank(line.front()) || line[words.front().size()] == '\r')
            continue;
        const QByteArrayView keyword = words.front();
        const QList<QByteArrayView> values = words.sliced(1);
        if (keyword == "nameserver") {
            const auto server = nameserverOf(values.front());
            if (server && config.nameservers.size() < kMaxNameservers)
                config.nameservers << *server;
        } else if (keyword == "search" || keyword == "domain") {
            config.searchDomains.clear();
            for (const QByteArrayView value : keyword == "search" ? values : values.first(1))
                config.searchDomains << QString::fromLatin1(value);
        } else if (keyword == "options") {
            for (const QByteArrayView value : values) {
                if (value.startsWith("ndots:"))
                    config.ndots = optionNumber(value.sliced(6), kMaxNdots);
                else if (value.startsWith("timeout:"))
                    config.timeoutSeconds = optionNumber(value.sliced(8), kMaxTimeout);
                else if (value.startsWith("attempts:"))
                    config.attempts = optionNumber(value.sliced(9), kMaxAttempts);
            }
        }
    }
    return config;
}

std::optional<ResolverConfig> readResolverConfigFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseResolverConfig(file.read(kMaxResolvConfSize));
}

QString resolverConfigPath() {
    const QString chosen = qEnvironmentVariable("TARNBELL_RESOLV_CONF");
    // The file glibc's resolver reads; systemd-resolved and resolvconf keep it current.
    return chosen.isEmpty() ? QStringLiteral("/etc/resolv.conf") : chosen;
}

QStringList searchCandidates(const QString& name, const ResolverConfig& config) {
    if (name.endsWith(u'.'))
        return {name.chopped(1)};
    QStringList searched;
    for (QString domain : config.searchDomains) {
        while (domain.endsWith(u'.'))
            domain.chop(1);
        searched << (domain.isEmpty() ? name : name + u'.' + domain);
    }
    QStringList candidates =
        name.count(u'.') >= config.ndots ? QStringList{name} + searched : searched << name;
    candidates.removeDuplicates();
    return candidates;
}

} // namespace tarnbell::core
