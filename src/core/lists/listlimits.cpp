#include "core/lists/listlimits.h"

#include "core/lists/controltext.h"
#include "core/probe/querynames.h"
#include "core/probe/serverendpoint.h"
#include "dns/moddns.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace tarnbell::core {

QString AddEntryPrompt(ListKind kind) {
    return kind == ListKind::Domains
               ? QStringLiteral(
                     "Enter a Domain Name you would like to be queried on all DNS Servers")
               : QStringLiteral("Enter a DNS Server you would like to be queried for all domains");
}

QString ListFullMessage(ListKind kind) {
    const QString what =
        kind == ListKind::Domains ? QStringLiteral("domains") : QStringLiteral("DNS Servers");
    return QStringList{
        QStringLiteral("You have too many %1!").arg(what),
        QStringLiteral("I can't process more than 99 %1, the number won't fit in the little box "
                       "and will look ugly.")
            .arg(what),
        QStringLiteral("You could run the benchmark twice, or perhaps you should reconsider why "
                       "you need to"),
        QStringLiteral("test 99 %1 on a dns server; this application is for benchmarking, not "
                       "DOSing.")
            .arg(what),
    }
        .join(QStringLiteral("\r\n"));
}

QString EmptyListMessage(ListKind kind) {
    return kind == ListKind::Domains
               ? QStringLiteral("You must have at least one domain to test your DNS!")
               : QStringLiteral("You must have at least one DNS Server to test your DNS!");
}

QString DomainNameFault(const QString& domain) {
    if (hasControlCharacter(domain))
        return QStringLiteral("it holds a control character");
    if (std::any_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.isSpace(); }))
        return QStringLiteral("it holds a blank");
    const QByteArray bytes = queryNameBytes(domain);
    if (bytes.isEmpty() && !domain.isEmpty())
        return QStringLiteral("it cannot be written as a DNS name");
    const dns::Query query = dns::BuildQuery(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), dns::kTypeMX);
    switch (query.error) {
    case dns::QueryError::None:
        return {};
    case dns::QueryError::LabelTooLong:
        return QStringLiteral("one of its labels (the parts between dots) is longer than 255 "
                              "characters");
    case dns::QueryError::QueryTooLong:
        return QStringLiteral("it is too long to fit in a DNS query");
    }
    return QStringLiteral("it cannot be written as a DNS name");
}

QString DomainQueryProblem(const QString& domain) {
    const QString fault = DomainNameFault(domain);
    if (fault.isEmpty())
        return {};
    return QStringLiteral("This domain name cannot be queried: %1.\r\nIt was not added.")
        .arg(fault);
}

QString ServerEntryProblem(const QString& entry) {
    const ServerEndpoint endpoint = parseServerEntry(entry);
    if (endpoint.isValid())
        return {};
    QString why = endpoint.errorText;
    if (why.startsWith(QLatin1String("Error: ")))
        why.remove(0, 7);
    return QStringLiteral("This DNS server entry cannot be used: %1.\r\nIt was not added.")
        .arg(why);
}

QStringList AcceptedEntries(ListKind kind, const QStringList& entries, int* dropped) {
    QStringList accepted;
    for (const QString& entry : entries) {
        if (ListIsFull(static_cast<int>(accepted.size())))
            break;
        const QString problem =
            kind == ListKind::Domains ? DomainQueryProblem(entry) : ServerEntryProblem(entry);
        if (problem.isEmpty())
            accepted << entry;
    }
    if (dropped)
        *dropped = static_cast<int>(entries.size() - accepted.size());
    return accepted;
}

QString LeftOutMessage(int dropped, const QString& source) {
    return QStringLiteral("%1 entries of %2 were left out: a list holds at most %3 entries, a "
                          "domain name must fit in a DNS query and hold no blank or control "
                          "character, and a DNS server entry must be an address or host name "
                          "with a port from 1 to 65535.")
        .arg(dropped)
        .arg(source)
        .arg(kListLimit);
}

} // namespace tarnbell::core
