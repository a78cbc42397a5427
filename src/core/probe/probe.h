#pragma once
// The timed probe, over UDP or a stream transport as each server entry says. Its lookups are sent,
// received and timed on a measurement thread of their own, so nothing the caller's thread does
// (painting, layout, a modal box) can delay a timestamp; the caller only starts lookups and
// receives their results from its event loop.

#include "core/probe/lookupprobe.h"

#include <chrono>
#include <functional>
#include <memory>

class QHostAddress;

namespace tarnbell::core {

class Probe final : public LookupProbe {
    Q_OBJECT
public:
    enum class Placement {
        MeasurementThread, // the program's probe
        CallerThread,      // sockets on the caller's thread, timed on reading (comparisons)
    };

    explicit Probe(QObject* parent = nullptr);
    explicit Probe(Placement placement, QObject* parent = nullptr);
    ~Probe() override;

    // The wait ends after `ticks` ticks of `interval` (10 x 1000 ms unless a test injects
    // shorter ones).
    void setTimeout(int ticks, std::chrono::milliseconds interval);
    // The wait ends after `limit`, to the millisecond (ticks of a second, the last shorter).
    void setTimeLimit(std::chrono::milliseconds limit) override;
    // Where server host names are resolved (the program's stub resolver, stubHostLookup(),
    // unless a test injects another). Called on the measurement thread.
    void setHostLookup(
        std::function<void(const QString& name, QObject* context,
                           std::function<void(const QList<QHostAddress>&, const QString&)>)>
            lookup);
    // Stream transports: every lookup on a new connection, timed with its set-up, instead
    // of one kept connection per server.
    void setFreshConnections(bool fresh) override;
    // Certificate authorities trusted beside the system's, for TLS and HTTPS servers.
    void setExtraCertificates(const QList<QSslCertificate>& certificates) override;
    // Off: the arrival time is the monotonic clock read on taking the datagram, also where
    // the kernel gives a receive timestamp.
    void setKernelTimestamps(bool use);

    // A call while a lookup is under way is queued: every call gets its own finished(), in
    // the order of the calls. A receiver of finished() may start the next lookup at once;
    // one that wants the probe gone uses deleteLater().
    void MX_Query_Speed(const QString& DNS_Addr, const QString& Domain_Addr,
                        quint16 recordType) override;
    void askCheck(const QString& DNS_Addr, const CheckAsk& question) override;
    void beginRun() override;
    void planRun(const QList<PlannedLookup>& plan,
                 std::shared_ptr<const std::atomic<bool>> hold) override;
    void lookUpPlanned(qsizetype planIndex, const QString& DNS_Addr, const QString& Domain_Addr,
                       quint16 recordType) override;

    bool isBusy() const;
    // The local port of the socket in use, 0 before the first send.
    quint16 localPort() const;

private:
    void askedFor();
    void collect();
    void wakeCaller(); // with the mailbox locked
    void arrived(const ProbeResult& result, quint64 generation);
    void deliver();

    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tarnbell::core
