#include "core/probe/lookupdispatcher.h"

#include "core/probe/serverendpoint.h"

namespace tarnbell::core {

LookupDispatcher::LookupDispatcher(QObject* parent)
    : QObject(parent), m_udp(new UdpLookup(this)), m_stream(new StreamLookup(this)) {
    connect(m_udp, &UdpLookup::finished, this, &LookupDispatcher::onFinished);
    connect(m_stream, &StreamLookup::finished, this, &LookupDispatcher::onFinished);
}

void LookupDispatcher::setTimeLimit(std::chrono::milliseconds limit,
                                    std::chrono::milliseconds tick) {
    m_udp->setTimeLimit(limit, tick);
    m_stream->setTimeLimit(limit, tick);
}

void LookupDispatcher::setBusyWait(std::chrono::microseconds window) {
    m_udp->setBusyWait(window);
    m_stream->setBusyWait(window);
}

void LookupDispatcher::setHostLookup(const HostLookup& lookup) {
    m_udp->setHostLookup(lookup);
    m_stream->setHostLookup(lookup);
}

void LookupDispatcher::beginRun() {
    m_endpoints.clear();
    m_udp->beginRun();
    m_stream->beginRun();
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
    if (transport == Transport::Udp)
        m_udp->start(request);
    else
        m_stream->start(request);
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
