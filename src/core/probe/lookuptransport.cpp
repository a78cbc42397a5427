#include "core/probe/lookuptransport.h"

#include "core/probe/serverendpoint.h"

#include <algorithm>

namespace tarnbell::core {

LookupTransport::LookupTransport(QObject* parent) : QObject(parent) {
    connect(&m_deadline, &LookupDeadline::expired, this, &LookupTransport::onExpired);
}

ProbeResult LookupTransport::failedResult(ProbeOutcome outcome, const QString& errorText,
                                          std::optional<double> seconds) {
    ProbeResult result;
    result.outcome = outcome;
    if (seconds) {
        result.seconds = std::min(*seconds, kUnansweredSeconds);
    }
    result.errorText = errorText;
    return result;
}

void LookupTransport::reachServer(const ServerEndpoint& endpoint) {
    m_deadline.start();
    if (!endpoint.isHostName()) {
        m_target = endpoint.address;
        reached();
        return;
    }
    m_hostName = endpoint.hostName;
    if (const ResolvedName* known = m_names.known(m_hostName)) {
        useResolved(*known);
        return;
    }
    m_state = State::Resolving;
    m_names.resolve(
        m_hostName, this,
        [this, serial = m_serial] { return serial == m_serial && m_state == State::Resolving; },
        [this](const ResolvedName& resolved) { useResolved(resolved); });
}

void LookupTransport::useResolved(const ResolvedName& resolved) {
    if (!resolved.errorText.isEmpty()) {
        finishLater(failedResult(ProbeOutcome::HostNotFound, resolved.errorText));
        return;
    }
    m_target = resolved.address;
    reached();
}

void LookupTransport::onExpired() {
    if (m_state == State::Resolving) {
        finish(failedResult(ProbeOutcome::HostNotFound, m_names.silent(m_hostName).errorText));
        return;
    }
    timeLimitReached();
}

void LookupTransport::finish(const ProbeResult& result) {
    settle();
    m_deadline.stop();
    m_busyWait.stop();
    m_state = State::Idle;
    emit finished(result);
}

void LookupTransport::finishLater(const ProbeResult& result) {
    m_deadline.stop();
    m_busyWait.stop();
    m_state = State::Finishing;
    QMetaObject::invokeMethod(
        this, [this, result] { finish(result); }, Qt::QueuedConnection);
}

} // namespace tarnbell::core
