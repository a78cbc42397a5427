#include "core/probe/servernames.h"

#include "core/probe/stubresolver.h"

#include <algorithm>

namespace tarnbell::core {
namespace {

QString notResolvedText(const QString& name, const QString& why) {
    return QStringLiteral("Error: the server name \"%1\" could not be resolved: %2").arg(name, why);
}

} // namespace

ServerNames::ServerNames() : m_lookup(stubHostLookup()) {}

ServerNames::~ServerNames() {
    abandon();
}

void ServerNames::setHostLookup(HostLookup lookup) {
    m_lookup = lookup ? std::move(lookup) : stubHostLookup();
}

void ServerNames::abandon() {
    delete m_pending.data();
}

const ResolvedName* ServerNames::known(const QString& name) const {
    const auto found = m_known.constFind(name);
    return found != m_known.cend() ? &*found : nullptr;
}

void ServerNames::resolve(const QString& name, QObject* context, std::function<bool()> wanted,
                          std::function<void(const ResolvedName&)> done) {
    abandon();
    auto* pending = new QObject(context);
    m_pending = pending;
    m_lookup(name, pending,
             [this, pending, name, wanted = std::move(wanted),
              done = std::move(done)](const QList<QHostAddress>& addresses, const QString& error) {
                 // Called only while `pending` exists; from here on nothing can abandon it.
                 if (m_pending == pending)
                     m_pending = nullptr;
                 pending->deleteLater();
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
    abandon();
    return *m_known.insert(
        name, {{}, notResolvedText(name, QStringLiteral("no answer within the time limit"))});
}

} // namespace tarnbell::core
