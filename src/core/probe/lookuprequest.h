#pragma once
// One lookup as the measurement thread is asked for it.

#include "core/probe/querykind.h"
#include "core/probe/serverendpoint.h"

#include <QString>
#include <optional>

namespace tarnbell::core {

struct LookupRequest {
    QString server;
    QString domain;
    quint16 recordType = 0;
    qsizetype planIndex = -1; // its place in the run's plan, -1 for none
    QueryKind kind = QueryKind::Listed;
    // The server entry as read once for the whole run; read from `server` when not given.
    std::optional<ServerEndpoint> endpoint = std::nullopt;
};

} // namespace tarnbell::core
