#pragma once
// The UDP lookup as it runs on the measurement thread: resolves the server's name (once per
// run), sends the query, and waits, driven by that thread's event loop, for the matching
// reply, a socket error or the end of the time limit. One lookup at a time; every result leaves
// through finished(), always from the event loop.

#include "core/probe/arrivalclock.h"
#include "core/probe/datagramsocket.h"
#include "core/probe/lookuptransport.h"

#include <QSet>
#include <atomic>
#include <vector>

class QSocketNotifier;

namespace tarnbell::core {

class UdpLookup final : public LookupTransport {
    Q_OBJECT
public:
    explicit UdpLookup(QObject* parent = nullptr);
    ~UdpLookup() override;

    // Without kernel stamps the arrival is the monotonic clock read on taking the datagram.
    void setKernelTimestamps(bool use) { m_useKernelStamps = use; }

    void start(const LookupRequest& request) override;

    // The port of the socket in use, 0 before the first send (readable from any thread).
    quint16 localPort() const { return m_localPort.load(); }

private:
    void reached() override { send(); }
    void timeLimitReached() override;
    void send();
    bool ensureSocket(QString& errorText);
    void closeSocket();
    void onReadable();
    ProbeResult unreachable() const;
    double elapsedSeconds() const;

    bool m_useKernelStamps = true;

    DatagramSocket m_socket;
    QSocketNotifier* m_notifier = nullptr;
    // A query that got no answer may still be answered late: the next one leaves from a new
    // port, so that answer can only reach a closed one.
    bool m_socketSpent = false;
    QSet<QByteArray> m_asked; // questions (with their server) asked on this socket
    std::atomic<quint16> m_localPort{0};

    quint16 m_targetPort = 53;
    std::vector<std::uint8_t> m_query;
    std::vector<std::uint8_t> m_buffer;
    ClockReading m_sent;
};

} // namespace tarnbell::core
