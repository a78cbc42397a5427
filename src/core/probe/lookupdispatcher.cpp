#include "core/probe/lookupdispatcher.h"

#include "core/probe/serverendpoint.h"

namespace tarnbell::core {

LookupDispatcher::LookupDispatcher(QObject* parent) : QObject(parent), m_udp(new UdpLookup(this)) {
    auto* stream = new StreamLookup(this);
    m_transports = {
        m_udp,  // Transport::Udp
        stream, // Transport::Tcp
        stream, // Transport::Tls
        stream, // Transport::Https
    };
    for (LookupTransport* transport : lookups())
        connect(transport, &LookupTransport::finished, this, &LookupDispatcher::onFinished);
}

// Each lookup once, though it serves several transports.
QList<LookupTransport*> LookupDispatcher::lookups() const {
    QList<LookupTransport*> distinct;
    for (LookupTransport* transport : m_transports) {
        if (!distinct.contains(transport))
            distinct.append(transport);
    }
    return distinct;
}

void LookupDispatcher::setTimeLimit(std::chrono::milliseconds limit,
                                    std::chrono::milliseconds tick) {
    for (LookupTransport* transport : lookups())
        transport->setTimeLimit(limit, tick);
}

void LookupDispatcher::setBusyWait(std::chrono::microseconds window) {
    for (LookupTransport* transport : lookups())
        transport->setBusyWait(window);
}

void LookupDispatcher::setHostLookup(const HostLookup& lookup) {
    for (LookupTransport* transport : lookups())
        transport->setHostLookup(lookup);
}

void LookupDispatcher::setFreshConnections(bool fresh) {
    for (LookupTransport* transport : lookups())
        transport->setFreshConnections(fresh);
}

void LookupDispatcher::setExtraCertificates(const QList<QSslCertificate>& certificates) {
    for (LookupTransport* transport : lookups())
        transport->setExtraCertificates(certificates);
}

void LookupDispatcher::beginRun() {
    m_endpoints.clear();
    for (LookupTransport* transport : lookups())
        transport->beginRun();
}

void LookupDispatcher::enqueue(const LookupRequest& request) {
    m_pending.push_back(request);
    // A lookup of the plan is asked as the plan says.
    if (request.planIndex >= 0 && request.planIndex < m_plan.size())
        m_pending.back().kind = m_plan.at(request.planIndex).kind;
    startNext();
}

void LookupDispatcher::setPlan(const QList<PlannedLookup>& plan,
                               std::shared_ptr<const std::atomic<bool>> hold, quint64 generation) {
    m_plan = plan;
    m_hold = std::move(hold);
    m_generation = generation;
    m_startedUpTo = -1;
    m_planGeneration = generation;
}

void LookupDispatcher::startNext() {
    if (m_busy || m_pending.empty())
        return;
    LookupRequest request = std::move(m_pending.front());
    m_pending.pop_front();
    m_busy = true;
    m_currentPlanIndex = request.planIndex;
    // A cached lookup asks its name once untimed first; the timed ask follows at once.
    if (request.kind == QueryKind::Cached && !std::exchange(m_primed, false))
        m_afterPriming = request;
    if (request.planIndex > m_startedUpTo.load())
        m_startedUpTo = request.planIndex;
    // An entry that does not parse fails each of its lookups with the parser's words.
    request.endpoint = endpointOf(request.server);
    Transport transport =
        request.endpoint->isValid() ? request.endpoint->transport : transportOf(request.server);
    // A check of a plain server over TCP: the same address and port, on a stream.
    if (request.check && request.check->overTcp && transport == Transport::Udp &&
        request.endpoint->isValid())
        request.endpoint->transport = transport = Transport::Tcp;
    transportFor(transport).start(request);
}

const ServerEndpoint& LookupDispatcher::endpointOf(const QString& server) {
    auto known = m_endpoints.find(server);
    if (known == m_endpoints.end())
        known = m_endpoints.insert(server, parseServerText(server));
    return *known;
}

void LookupDispatcher::onFinished(const ProbeResult& ended) {
    m_busy = false;
    if (m_afterPriming) {
        // The untimed ask is over, whatever its outcome: the timed one goes now, and its
        // result is the lookup's.
        m_pending.push_front(std::move(*m_afterPriming));
        m_afterPriming.reset();
        m_primed = true;
        startNext();
        return;
    }
    ProbeResult result = ended;
    // The next planned lookup starts now, not after a round trip through the caller's
    // thread; the caller learns it from this result, before it asks for that lookup.
    const qsizetype next = m_currentPlanIndex + 1;
    const bool startPlanned = m_currentPlanIndex >= 0 && next < m_plan.size() && m_hold &&
                              !m_hold->load() && m_pending.empty();
    if (startPlanned) {
        result.nextStarted = true;
        m_startedUpTo = next;
        const PlannedLookup& planned = m_plan.at(next);
        m_pending.push_front({.server = planned.server,
                              .domain = planned.domain,
                              .recordType = planned.recordType,
                              .planIndex = next,
                              .kind = planned.kind});
    }
    emit finished(result, m_generation);
    startNext();
}

} // namespace tarnbell::core
