#pragma once
// The UDP lookup as it runs on the measurement thread: resolves the server's name (once per
// run), sends the query, and waits, driven by that thread's event loop, for the matching
// reply, a socket error or the end of the time limit. Lookups asked for while one is under
// way run in turn. Every result leaves through finished(), always from the event loop.

#include "core/arrivalclock.h"
#include "core/busywait.h"
#include "core/datagramsocket.h"
#include "core/lookupprobe.h"
#include "core/serverendpoint.h"
#include "core/servernames.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace tarnbell::core {

class UdpLookup final : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString server;
        QString domain;
        quint16 recordType = 0;
        qsizetype planIndex = -1; // its place in the run's plan, -1 for none
        // The server entry as read once for the whole run; read here when not given.
        std::optional<ServerEndpoint> endpoint;
    };

    explicit UdpLookup(QObject* parent = nullptr);
    ~UdpLookup() override;

    // The whole lookup, name resolution included, ends after `limit`, counted in ticks of
    // `tick` and a last, shorter tick for the rest.
    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick);
    void setHostLookup(HostLookup lookup);
    // Without kernel stamps the arrival is the monotonic clock read on taking the datagram.
    void setKernelTimestamps(bool use) { m_useKernelStamps = use; }
    // How long after a send the thread watches the socket without sleeping (zero: not at all).
    void setBusyWait(std::chrono::microseconds window) { m_busyWait.setWindow(window); }
    // Names resolved so far are resolved again by the next lookup that needs them.
    void forgetResolvedNames() { m_names.forget(); }

    void enqueue(const Request& request);

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
    void startNext();
    void useResolved(const ResolvedName& resolved);
    void send();
    bool ensureSocket(QString& errorText);
    void closeSocket();
    void onReadable();
    void armTick();
    void onTick();
    double elapsedSeconds() const;
    void finish(const ProbeResult& result);
    void finishLater(const ProbeResult& result);

    ServerNames m_names;
    QString m_hostName; // the current server's, when it is named rather than numbered
    std::chrono::milliseconds m_limit{kLookupTimeLimit};
    std::chrono::milliseconds m_tickInterval{1000};
    std::chrono::milliseconds m_remaining{0};
    QTimer m_tick{this}; // a child, so it moves to the measurement thread with the lookup
    bool m_useKernelStamps = true;
    BusyWait m_busyWait{this};

    DatagramSocket m_socket;
    QSocketNotifier* m_notifier = nullptr;
    // A query that got no answer may still be answered late: the next one leaves from a new
    // port, so that answer can only reach a closed one.
    bool m_socketSpent = false;
    std::atomic<quint16> m_localPort{0};

    std::deque<Request> m_pending;
    State m_state = State::Idle;
    Request m_current;
    quint64 m_serial = 0; // tells a late name resolution from the current one
    QHostAddress m_target;
    quint16 m_targetPort = 53;
    std::vector<std::uint8_t> m_query;
    std::vector<std::uint8_t> m_buffer;
    ClockReading m_sent;
};

} // namespace tarnbell::core
