#pragma once
// The seam where a server's host name is resolved.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace tarnbell::core {

using HostLookupDone =
    std::function<void(const QList<QHostAddress>& addresses, const QString& error)>;

// Resolves a server's host name; calls `done` once, on `context`'s thread and never after
// `context` is destroyed, with the addresses, or with none and plain words. Destroying
// `context` abandons the lookup. One that never calls back is ended by the time limit.
using HostLookup = std::function<void(const QString& name, QObject* context, HostLookupDone done)>;

} // namespace tarnbell::core
