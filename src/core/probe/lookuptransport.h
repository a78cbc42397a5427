#pragma once
// What every transport of the measurement thread shares: one lookup at a time, started by
// start() and ended by one finished() from the event loop; a time limit that covers the
// server name's resolution as well as the query; that name resolved once per run; and the
// busy watch after each send. A transport adds how its query travels: its own files, and one
// entry in the dispatcher's table.

#include "core/probe/busywait.h"
#include "core/probe/lookupdeadline.h"
#include "core/probe/lookupprobe.h"
#include "core/probe/lookuprequest.h"
#include "core/probe/servernames.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <chrono>
#include <optional>

namespace tarnbell::core {

class LookupTransport : public QObject {
    Q_OBJECT
public:
    explicit LookupTransport(QObject* parent = nullptr);

    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick) {
        m_deadline.setLimit(limit, tick);
    }
    // How long after a send the thread watches for the reply without sleeping (zero: not at
    // all).
    void setBusyWait(std::chrono::microseconds window) { m_busyWait.setWindow(window); }
    void setHostLookup(HostLookup lookup) { m_names.setHostLookup(std::move(lookup)); }
    // A new run: names are resolved again by the next lookup that needs them. A transport
    // that keeps connections open opens them again too, so the run's figures hold its own
    // set-up times.
    virtual void beginRun() { m_names.forget(); }
    // The run's settings for transports with connections; the others have nothing to set.
    virtual void setFreshConnections(bool /*fresh*/) {}
    // Trusted beside the system's certificate authorities.
    virtual void setExtraCertificates(const QList<QSslCertificate>& /*certificates*/) {}

    // Starts a lookup; the one before it has finished.
    virtual void start(const LookupRequest& request) = 0;

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);

protected:
    enum class State {
        Idle,
        Resolving,  // waiting for the server's host name to resolve
        Connecting, // setting up a connection for the query
        Waiting,    // query sent, waiting for its answer, an error or the time limit
        Finishing,  // the result is decided and will be reported from the event loop
    };

    // A failed lookup counts as ten seconds, like silence, unless it failed while its clock
    // ran.
    static ProbeResult failedResult(ProbeOutcome outcome, const QString& errorText,
                                    std::optional<double> seconds = std::nullopt);

    // Starts the time limit and finds the server's address: at once for a numbered server,
    // from this run's names, or by asking the resolver. reached() follows with m_target set,
    // unless the lookup has failed.
    void reachServer(const ServerEndpoint& endpoint);
    virtual void reached() = 0;
    // The time limit ended after the name was resolved.
    virtual void timeLimitReached() = 0;
    // Called as the lookup ends, before its result leaves.
    virtual void settle() {}

    void finish(const ProbeResult& result);
    // Reports from the event loop, never from within start().
    void finishLater(const ProbeResult& result);

    ServerNames m_names;
    LookupDeadline m_deadline{this}; // children move to the measurement thread with it
    BusyWait m_busyWait{this};
    State m_state = State::Idle;
    LookupRequest m_current;
    quint64 m_serial = 0; // tells a late name resolution from the current one
    QString m_hostName;   // the current server's, when it is named rather than numbered
    QHostAddress m_target;

private:
    void useResolved(const ResolvedName& resolved);
    void onExpired();
};

} // namespace tarnbell::core
