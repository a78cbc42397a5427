#pragma once
// The measurement thread's one lookup interface: each lookup goes to the transport its
// server entry names, through a table from transport to lookup: plain entries to the UDP
// lookup, tcp://, tls:// and https:// entries to the stream lookup. One lookup runs at a time;
// results leave in the order of the calls.

#include "core/probe/lookupprobe.h"
#include "core/probe/streamlookup.h"
#include "core/probe/udplookup.h"

#include <QHash>
#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>

namespace tarnbell::core {

class LookupDispatcher final : public QObject {
    Q_OBJECT
public:
    explicit LookupDispatcher(QObject* parent = nullptr);

    UdpLookup& udp() { return *m_udp; }
    const UdpLookup& udp() const { return *m_udp; }

    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick);
    void setHostLookup(const HostLookup& lookup);
    void setBusyWait(std::chrono::microseconds window);
    // The run's settings of the transports that keep connections.
    void setFreshConnections(bool fresh);
    void setExtraCertificates(const QList<QSslCertificate>& certificates);
    void beginRun();
    void enqueue(const LookupRequest& request);

    // The run's lookups in order: each one is started the moment the one before it ends,
    // unless `hold` is set. Results carry the plan's `generation`, so that a caller can tell
    // a late result of an earlier run.
    void setPlan(const QList<PlannedLookup>& plan, std::shared_ptr<const std::atomic<bool>> hold,
                 quint64 generation);
    // The latest index of plan `generation` started so far, -1 for none (readable from any
    // thread). Until that plan has reached this thread, none of it has started: the index
    // left from the plan before must not pass for it.
    qsizetype startedUpTo(quint64 generation) const {
        return m_planGeneration.load() == generation ? m_startedUpTo.load() : -1;
    }

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result, quint64 generation);

private:
    QList<LookupTransport*> lookups() const;
    void startNext();
    const ServerEndpoint& endpointOf(const QString& server);
    void onFinished(const ProbeResult& result);
    LookupTransport& transportFor(Transport transport) const {
        return *m_transports.at(static_cast<std::size_t>(transport));
    }

    // Children: they move to the measurement thread with the dispatcher.
    UdpLookup* m_udp;
    // Indexed by Transport: a new transport is one more lookup and one more entry here.
    std::array<LookupTransport*, static_cast<std::size_t>(Transport::Https) + 1> m_transports;
    std::deque<LookupRequest> m_pending;
    QHash<QString, ServerEndpoint> m_endpoints; // each entry read once per run
    bool m_busy = false;
    std::optional<LookupRequest> m_afterPriming; // a cached lookup's timed ask, to follow
    bool m_primed = false;                       // the next lookup is such an ask
    qsizetype m_currentPlanIndex = -1;
    QList<PlannedLookup> m_plan;
    std::shared_ptr<const std::atomic<bool>> m_hold;
    quint64 m_generation = 0;
    std::atomic<qsizetype> m_startedUpTo{-1};
    std::atomic<quint64> m_planGeneration{0}; // stored after m_startedUpTo is reset
};

} // namespace tarnbell::core
