#include "core/probe/hostsfile.h"

#include <QFile>
#include <QIODevice>

namespace tarnbell::core {

QList<QHostAddress> hostsAddresses(QIODevice& hosts, QByteArrayView name) {
    QList<QHostAddress> addresses;
    while (!hosts.atEnd()) {
        QByteArray line = hosts.readLine();
        const qsizetype comment = line.indexOf('#');
        if (comment >= 0)
            line.truncate(comment);
        const QList<QByteArray> fields = line.simplified().split(' ');
        QHostAddress address;
        if (fields.size() < 2 || !address.setAddress(QString::fromLatin1(fields.front())))
            continue;
        for (qsizetype i = 1; i < fields.size(); ++i) {
            if (QByteArrayView(fields[i]).compare(name, Qt::CaseInsensitive) == 0) {
                addresses << address;
                break;
            }
        }
    }
    return addresses;
}

QList<QHostAddress> hostsFileAddresses(QByteArrayView name) {
    QFile hosts(QStringLiteral("/etc/hosts"));
    if (!hosts.open(QIODevice::ReadOnly))
        return {};
    return hostsAddresses(hosts, name);
}

} // namespace tarnbell::core
