#pragma once
// The UDP lookup as it runs on the measurement thread: resolves the server's name (once per
// run), sends the query, and waits, driven by that thread's event loop, for the matching
// reply, a socket error or the end of the time limit. One lookup at a time; every result leaves
// through finished(), always from the event loop.

#include "core/probe/arrivalclock.h"
#include "core/probe/busywait.h"
#include "core/probe/datagramsocket.h"
#include "core/probe/lookupdeadline.h"
#include "core/probe/lookupprobe.h"
#include "core/probe/lookuprequest.h"
#include "core/probe/servernames.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class QSocketNotifier;

namespace tarnbell::core {

class UdpLookup final : public QObject {
    Q_OBJECT
public:
    explicit UdpLookup(QObject* parent = nullptr);
    ~UdpLookup() override;

    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick) {
        m_deadline.setLimit(limit, tick);
    }
    void setHostLookup(HostLookup lookup);
    // Without kernel stamps the arrival is the monotonic clock read on taking the datagram.
    void setKernelTimestamps(bool use) { m_useKernelStamps = use; }
    // How long after a send the thread watches the socket without sleeping (zero: not at all).
    void setBusyWait(std::chrono::microseconds window) { m_busyWait.setWindow(window); }
    // Names resolved so far are resolved again by the next lookup that needs them.
    void forgetResolvedNames() { m_names.forget(); }

    // Starts a lookup; the one before it has finished.
    void start(const LookupRequest& request);

    // The port of the socket in use, 0 before the first send (readable from any thread).
    quint16 localPort() const { return m_localPort.load(); }

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);

private:
    enum class State {
        Idle,
        Resolving, // waiting for the server's host name to resolve
        Waiting,   // query sent, waiting for its answer, a socket error or the time limit
        Finishing, // the result is decided and will be reported from the event loop
    };
    void useResolved(const ResolvedName& resolved);
    void send();
    bool ensureSocket(QString& errorText);
    void closeSocket();
    void onReadable();
    void onExpired();
    ProbeResult unreachable() const;
    double elapsedSeconds() const;
    void finish(const ProbeResult& result);
    void finishLater(const ProbeResult& result);

    ServerNames m_names;
    QString m_hostName;              // the current server's, when it is named rather than numbered
    LookupDeadline m_deadline{this}; // children move to the measurement thread with it
    bool m_useKernelStamps = true;
    BusyWait m_busyWait{this};

    DatagramSocket m_socket;
    QSocketNotifier* m_notifier = nullptr;
    // A query that got no answer may still be answered late: the next one leaves from a new
    // port, so that answer can only reach a closed one.
    bool m_socketSpent = false;
    QSet<QByteArray> m_asked; // questions (with their server) asked on this socket
    std::atomic<quint16> m_localPort{0};

    State m_state = State::Idle;
    LookupRequest m_current;
    quint64 m_serial = 0; // tells a late name resolution from the current one
    QHostAddress m_target;
    quint16 m_targetPort = 53;
    std::vector<std::uint8_t> m_query;
    std::vector<std::uint8_t> m_buffer;
    ClockReading m_sent;
};

} // namespace tarnbell::core
