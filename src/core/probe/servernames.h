#pragma once
// Server host names, resolved once per run for the UDP and the stream lookups alike: the
// resolver behind a seam, and its answers (a silent resolver's too) kept until the next run.

#include "core/probe/hostlookup.h"

#include <QHash>
#include <QPointer>

namespace tarnbell::core {

struct ResolvedName {
    QHostAddress address;
    QString errorText; // set when the name did not resolve
};

class ServerNames {
public:
    ServerNames();
    ~ServerNames();
    ServerNames(const ServerNames&) = delete;
    ServerNames& operator=(const ServerNames&) = delete;

    void setHostLookup(HostLookup lookup); // empty: stubHostLookup()
    void forget() { m_known.clear(); }     // a new run resolves every name afresh

    // The answer kept for `name` this run, null when it has not been asked yet.
    const ResolvedName* known(const QString& name) const;
    // Asks the resolver about `name`, abandoning any resolution still under way; `done` gets
    // the answer, now kept, unless `wanted()` says by then that the lookup has moved on.
    void resolve(const QString& name, QObject* context, std::function<bool()> wanted,
                 std::function<void(const ResolvedName&)> done);
    // The resolver gave no answer within the time limit: the name stays unresolved for the
    // rest of the run, so a silent resolver does not hold every later lookup again. Its
    // resolution is abandoned.
    const ResolvedName& silent(const QString& name);

private:
    void abandon();

    HostLookup m_lookup;
    QHash<QString, ResolvedName> m_known;
    // The resolution under way: the context the resolver is given, a child of the caller's,
    // so destroying it ends the resolver and drops its answer.
    QPointer<QObject> m_pending;
};

} // namespace tarnbell::core
