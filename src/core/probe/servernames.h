#pragma once
// Server host names, resolved once per run for the UDP and the stream lookups alike: the
// resolver behind a seam, and its answers (a silent resolver's too) kept until the next run.

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace tarnbell::core {

// Resolves a server's host name; calls `done` on `context`'s thread with the addresses, or
// with none and plain words. A lookup that never calls back is ended by the time limit.
using HostLookup = std::function<void(
    const QString& name, QObject* context,
    std::function<void(const QList<QHostAddress>& addresses, const QString& error)> done)>;

// The system's resolver, through QHostInfo.
HostLookup systemHostLookup();

struct ResolvedName {
    QHostAddress address;
    QString errorText; // set when the name did not resolve
};

class ServerNames {
public:
    ServerNames();

    void setHostLookup(HostLookup lookup); // empty: the system's resolver
    void forget() { m_known.clear(); }     // a new run resolves every name afresh

    // The answer kept for `name` this run, null when it has not been asked yet.
    const ResolvedName* known(const QString& name) const;
    // Asks the resolver about `name`; `done` gets the answer, now kept, unless `wanted()`
    // says by then that the lookup has moved on.
    void resolve(const QString& name, QObject* context, std::function<bool()> wanted,
                 std::function<void(const ResolvedName&)> done);
    // The resolver gave no answer within the time limit: the name stays unresolved for the
    // rest of the run, so a silent resolver does not hold every later lookup again.
    const ResolvedName& silent(const QString& name);

private:
    HostLookup m_lookup;
    QHash<QString, ResolvedName> m_known;
};

} // namespace tarnbell::core
