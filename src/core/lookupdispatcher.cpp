#include "core/lookupdispatcher.h"

#include "core/serverendpoint.h"

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

void LookupDispatcher::setHostLookup(const HostLookup& lookup) {
    m_udp->setHostLookup(lookup);
    m_stream->setHostLookup(lookup);
}

void LookupDispatcher::beginRun() {
    m_udp->forgetResolvedNames();
    m_stream->beginRun();
}

void LookupDispatcher::enqueue(const UdpLookup::Request& request) {
    m_pending.push_back(request);
    startNext();
}

void LookupDispatcher::startNext() {
    if (m_busy || m_pending.empty())
        return;
    const UdpLookup::Request request = std::move(m_pending.front());
    m_pending.pop_front();
    m_busy = true;
    // An entry that does not parse fails in the UDP lookup with the parser's words.
    if (parseServerText(request.server).transport == Transport::Udp)
        m_udp->enqueue(request);
    else
        m_stream->enqueue(request);
}

void LookupDispatcher::onFinished(const ProbeResult& result) {
    m_busy = false;
    emit finished(result);
    startNext();
}

} // namespace tarnbell::core
