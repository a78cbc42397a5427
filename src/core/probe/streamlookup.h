#pragma once
// The lookup over a stream transport (TCP, TLS, HTTPS) as it runs on the measurement thread.
// A connection is opened by the first lookup of a server entry and kept for the following
// ones, as a stub resolver keeps it; its set-up is timed apart, and each lookup's time runs
// from the query's write to its answer's read on the open connection. With fresh connections
// every lookup opens its own, and its time includes the set-up. The time limit covers name
// resolution, set-up and query. One lookup at a time.

#include "core/probe/lookuptransport.h"
#include "core/probe/serverendpoint.h"
#include "dns/moddns.h"

#include <QHash>

namespace tarnbell::core {

class StreamConnection;

class StreamLookup final : public LookupTransport {
    Q_OBJECT
public:
    explicit StreamLookup(QObject* parent = nullptr);
    ~StreamLookup() override;

    void setFreshConnections(bool fresh) override { m_fresh = fresh; }
    void setExtraCertificates(const QList<QSslCertificate>& certificates) override {
        m_extraCas = certificates;
    }
    // Tests: the largest reply a connection takes.
    void setReplyCapacity(std::size_t bytes) { m_capacity = bytes; }
    // Every connection is opened again too.
    void beginRun() override;

    void start(const LookupRequest& request) override;

private:
    void reached() override { openConnection(); }
    void timeLimitReached() override;
    // A connection that brought an answer to another query goes with the lookup.
    void settle() override;
    void openConnection();
    void sendQuery();
    void onReply(StreamConnection* connection, const dns::Bytes& reply,
                 const ClockReading& arrival);
    void onConnectionFailed(StreamConnection* connection, const QString& errorText);
    void dropConnection(StreamConnection* connection);

    QHash<QString, StreamConnection*> m_connections; // by server text
    QList<QSslCertificate> m_extraCas;
    std::size_t m_capacity = 65535;
    bool m_fresh = false;

    QString m_key;
    ServerEndpoint m_endpoint;
    dns::Bytes m_query;
    StreamConnection* m_connection = nullptr; // the current lookup's
    bool m_opened = false;                    // the current lookup opened its connection
    bool m_retried = false;                   // and has reopened one the server closed under it
    bool m_strayAnswer = false;               // its connection brought an answer to another query
    ClockReading m_sent;
};

} // namespace tarnbell::core
