#pragma once
// The lookup over a stream transport (TCP, TLS, HTTPS) as it runs on the measurement thread.
// A connection is opened by the first lookup of a server entry and kept for the following
// ones, as a stub resolver keeps it; its set-up is timed apart, and each lookup's time runs
// from the query's write to its answer's read on the open connection. With fresh connections
// every lookup opens its own, and its time includes the set-up. The time limit covers name
// resolution, set-up and query. One lookup at a time.

#include "core/probe/busywait.h"
#include "core/probe/lookupdeadline.h"
#include "core/probe/lookupprobe.h"
#include "core/probe/lookuprequest.h"
#include "core/probe/serverendpoint.h"
#include "core/probe/servernames.h"
#include "dns/moddns.h"

#include <QHash>
#include <QObject>
#include <QSslCertificate>
#include <chrono>

namespace tarnbell::core {

class StreamConnection;

class StreamLookup final : public QObject {
    Q_OBJECT
public:
    explicit StreamLookup(QObject* parent = nullptr);
    ~StreamLookup() override;

    void setTimeLimit(std::chrono::milliseconds limit, std::chrono::milliseconds tick) {
        m_deadline.setLimit(limit, tick);
    }
    // How long after a send the thread watches the connection without sleeping.
    void setBusyWait(std::chrono::microseconds window) { m_busyWait.setWindow(window); }
    void setHostLookup(HostLookup lookup);
    void setFreshConnections(bool fresh) { m_fresh = fresh; }
    // Trusted beside the system's certificate authorities.
    void setExtraCertificates(const QList<QSslCertificate>& certificates) {
        m_extraCas = certificates;
    }
    // Tests: the largest reply a connection takes.
    void setReplyCapacity(std::size_t bytes) { m_capacity = bytes; }
    // A new run: names are resolved again, and every connection is opened again, so the
    // run's figures hold its own set-up times.
    void beginRun();

    // Starts a lookup; the one before it has finished.
    void start(const LookupRequest& request);

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);

private:
    enum class State { Idle, Resolving, Connecting, Waiting, Finishing };
    void useResolved(const ResolvedName& resolved);
    void openConnection();
    void sendQuery();
    void onReply(StreamConnection* connection, const dns::Bytes& reply,
                 const ClockReading& arrival);
    void onConnectionFailed(StreamConnection* connection, const QString& errorText);
    void dropConnection(StreamConnection* connection);
    void onExpired();
    void finish(const ProbeResult& result);
    void finishLater(const ProbeResult& result);

    ServerNames m_names;
    QHash<QString, StreamConnection*> m_connections; // by server text
    QList<QSslCertificate> m_extraCas;
    std::size_t m_capacity = 65535;
    bool m_fresh = false;
    LookupDeadline m_deadline{this};
    BusyWait m_busyWait{this};

    State m_state = State::Idle;
    LookupRequest m_current;
    QString m_key;
    ServerEndpoint m_endpoint;
    quint64 m_serial = 0;
    QHostAddress m_target;
    dns::Bytes m_query;
    StreamConnection* m_connection = nullptr; // the current lookup's
    bool m_opened = false;                    // the current lookup opened its connection
    bool m_retried = false;                   // and has reopened one the server closed under it
    bool m_strayAnswer = false;               // its connection brought an answer to another query
    ClockReading m_sent;
};

} // namespace tarnbell::core
