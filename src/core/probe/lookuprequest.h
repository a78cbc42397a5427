#pragma once
// One lookup as the measurement thread is asked for it.

#include "core/probe/querykind.h"
#include "core/probe/serverendpoint.h"

#include <QString>
#include <optional>

namespace tarnbell::core {

// A server check's question: asked of the server like a lookup, but never one of the run's
// timed lookups; its reply comes back whole (ProbeResult::reply).
struct CheckAsk {
    QString name;
    quint16 type = 1;
    bool edns = false;     // an OPT record asking for the NSID
    bool dnssecOk = false; // with the DO bit
    bool overTcp = false;  // a plain server asked over TCP instead, on a connection of its own
};

struct LookupRequest {
    QString server;
    QString domain;
    quint16 recordType = 0;
    qsizetype planIndex = -1; // its place in the run's plan, -1 for none
    QueryKind kind = QueryKind::Listed;
    std::optional<CheckAsk> check = std::nullopt;
    // The server entry as read once for the whole run; read from `server` when not given.
    std::optional<ServerEndpoint> endpoint = std::nullopt;
};

} // namespace tarnbell::core
