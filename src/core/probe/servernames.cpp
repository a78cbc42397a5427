#include "core/probe/servernames.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QMutex>
#include <algorithm>
#include <memory>

namespace tarnbell::core {
namespace {

QString notResolvedText(const QString& name, const QString& why) {
    return QStringLiteral("Error: the server name \"%1\" could not be resolved: %2").arg(name, why);
}

} // namespace

HostLookup systemHostLookup() {
    return [](const QString& name, QObject* context, auto done) {
        // Qt reports the lookup to an object on the program's main thread, which lives as
        // long as the program: reported to the measurement thread, a result that arrives
        // after that thread has ended would be kept for ever. From there it goes on to
        // `context`, unless that has gone meanwhile.
        struct Forward {
            QMutex lock;
            QObject* target = nullptr;
            QMetaObject::Connection targetGone;
        };
        auto forward = std::make_shared<Forward>();
        forward->target = context;
        forward->targetGone = QObject::connect(context, &QObject::destroyed, [forward] {
            const QMutexLocker lock(&forward->lock);
            forward->target = nullptr;
        });
        QHostInfo::lookupHost(
            name, QCoreApplication::instance(), [forward, done](const QHostInfo& info) {
                const QMutexLocker lock(&forward->lock);
                if (!forward->target)
                    return;
                QObject::disconnect(forward->targetGone);
                const QList<QHostAddress> addresses = info.addresses();
                const QString error =
                    info.error() != QHostInfo::NoError ? info.errorString() : QString();
                QMetaObject::invokeMethod(
                    forward->target, [done, addresses, error] { done(addresses, error); },
                    Qt::QueuedConnection);
            });
    };
}

ServerNames::ServerNames() : m_lookup(systemHostLookup()) {}

void ServerNames::setHostLookup(HostLookup lookup) {
    m_lookup = lookup ? std::move(lookup) : systemHostLookup();
}

const ResolvedName* ServerNames::known(const QString& name) const {
    const auto found = m_known.constFind(name);
    return found != m_known.cend() ? &*found : nullptr;
}

void ServerNames::resolve(const QString& name, QObject* context, std::function<bool()> wanted,
                          std::function<void(const ResolvedName&)> done) {
    m_lookup(name, context,
             [this, name, wanted = std::move(wanted),
              done = std::move(done)](const QList<QHostAddress>& addresses, const QString& error) {
                 if (!wanted())
                     return;
                 ResolvedName resolved;
                 if (!error.isEmpty() || addresses.isEmpty()) {
                     resolved.errorText = notResolvedText(
                         name, error.isEmpty() ? QStringLiteral("the name has no address") : error);
                 } else {
                     // IPv4 first: most resolvers listed by name are reached over IPv4, and a
                     // host with both kinds of address answers on either.
                     const auto ipv4 =
                         std::find_if(addresses.cbegin(), addresses.cend(), [](const auto& a) {
                             return a.protocol() == QAbstractSocket::IPv4Protocol;
                         });
                     resolved.address = ipv4 != addresses.cend() ? *ipv4 : addresses.front();
                 }
                 done(*m_known.insert(name, resolved));
             });
}

const ResolvedName& ServerNames::silent(const QString& name) {
    return *m_known.insert(
        name, {{}, notResolvedText(name, QStringLiteral("no answer within the time limit"))});
}

} // namespace tarnbell::core
