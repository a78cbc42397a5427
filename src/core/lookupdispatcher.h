#pragma once
// The measurement thread's one lookup interface: each lookup goes to the transport its
// server entry names, plain entries to the UDP lookup, tcp://, tls:// and https:// entries to
// the stream lookup. One lookup runs at a time; results leave in the order of the calls.

#include "core/lookupprobe.h"
#include "core/streamlookup.h"
#include "core/udplookup.h"

#include <deque>

namespace tarnbell::core {

class LookupDispatcher final : public QObject {
    Q_OBJECT
public:
    explicit LookupDispatcher(QObject* parent = nullptr);

    UdpLookup& udp() { return *m_udp; }
    const UdpLookup& udp() const { return *m_udp; }
    StreamLookup& stream() { return *m_stream; }

    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick);
    void setHostLookup(const HostLookup& lookup);
    void beginRun();
    void enqueue(const UdpLookup::Request& request);

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);

private:
    void startNext();
    void onFinished(const ProbeResult& result);

    UdpLookup* m_udp; // children: they move to the measurement thread with the dispatcher
    StreamLookup* m_stream;
    std::deque<UdpLookup::Request> m_pending;
    bool m_busy = false;
};

} // namespace tarnbell::core
