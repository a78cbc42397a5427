#pragma once
// One timed DNS lookup, as the run engine sees it. The UDP probe is the real one; tests
// and benchmarks may put a scripted one in its place.

#include "core/probe/arrivalclock.h"
#include "core/probe/lookuprequest.h"
#include "core/probe/querykind.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace tarnbell::core {

// The longest a lookup waits for its answer, and what a lookup without one counts as.
inline constexpr std::chrono::milliseconds kLookupTimeLimit{10'000};
inline constexpr double kUnansweredSeconds =
    std::chrono::duration<double>(kLookupTimeLimit).count();

enum class ProbeOutcome {
    Answered,      // a matching reply arrived; `seconds` is the measured time
    TimedOut,      // no matching reply within the time limit
    SocketError,   // the socket reported an error during the wait
    HostNotFound,  // the server's host name could not be resolved
    QueryNotBuilt, // the domain cannot be encoded into a query
    Unreachable,   // the server's machine said "port unreachable": nothing listens there
};

struct ProbeResult {
    ProbeOutcome outcome = ProbeOutcome::TimedOut;
    // Elapsed seconds at full precision, from a monotonic clock; kUnansweredSeconds for
    // anything longer (and for a timeout).
    double seconds = kUnansweredSeconds;
    // Plain words for a failed lookup (SocketError, HostNotFound, QueryNotBuilt, Unreachable).
    QString errorText;
    // Which clock gave the arrival time of an answer.
    TimeSource timeSource = TimeSource::None;
    // The reply's RCODE (RFC 1035 4.1.1) and TC bit, for Answered; -1 when no reply came.
    // Whether a code counts as an answer is the run's decision, not the probe's.
    int rcode = -1;
    bool truncated = false;
    // Stream transports: true when this lookup opened a connection to the server, then
    // `connectSeconds` is its set-up (TCP connect, TLS handshake, HTTP/2 settings), timed
    // apart from `seconds` unless every lookup is timed on a new connection.
    bool newConnection = false;
    double connectSeconds = 0.0;
    // The probe started the run's next planned lookup the moment this one ended: the run's
    // checks after this lookup are already passed.
    bool nextStarted = false;
    // Uncached and top-level lookups: the SOA record a negative answer carries in its
    // authority section (RFC 2308 3), its TTL as served (-1 without one), the zone's MINIMUM
    // field and the zone's name. A cache serves the TTL counted down.
    qint64 negativeTtl = -1;
    quint32 soaMinimum = 0;
    QString negativeZone;
    // The kinds that carry EDNS: the server instance's identifier (NSID), when it gives one.
    QString nsid;
    // A server check's question: the whole reply.
    std::vector<std::uint8_t> reply;

    bool failed() const {
        return outcome != ProbeOutcome::Answered && outcome != ProbeOutcome::TimedOut;
    }
};

struct PlannedLookup {
    QString server; // the server part of the entry, as MX_Query_Speed takes it
    QString domain; // the name asked (a random label's, for the kinds that make one)
    quint16 recordType = 0;
    QueryKind kind = QueryKind::Listed;
};

class LookupProbe : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~LookupProbe() override = default;

    // Starts one lookup of `domain` at `server` (an address or host name, optionally with
    // a port: "ADDR", "ADDR:PORT", "IPv6", "[IPv6]:PORT", "host"; or a stream transport's
    // "tcp://", "tls://" or "https://" entry). Exactly one finished()
    // follows, always from the event loop, never from inside this call.
    virtual void MX_Query_Speed(const QString& DNS_Addr, const QString& Domain_Addr,
                                quint16 recordType) = 0;
    // A new run starts: server names are resolved afresh, then once for the whole run.
    virtual void beginRun() {}
    // Stream transports, from the next lookup on: every lookup on a new connection, and
    // certificate authorities trusted beside the system's. A probe without streams has no
    // use for them.
    virtual void setFreshConnections(bool fresh) { Q_UNUSED(fresh); }
    virtual void setExtraCertificates(const QList<QSslCertificate>& certificates) {
        Q_UNUSED(certificates);
    }
    // How long each lookup waits for its answer, from the next lookup on (kLookupTimeLimit
    // until set). An unanswered lookup counts as kUnansweredSeconds whatever the limit.
    virtual void setTimeLimit(std::chrono::milliseconds limit) { Q_UNUSED(limit); }

    // The run's lookups, in the order it makes them. A probe may start the next one the
    // moment a lookup ends, while `hold` is clear (it is set as soon as a pause, skip or stop
    // is asked for), and says so in that lookup's result; the run then asks for it with
    // lookUpPlanned() as usual. This keeps the caller's thread out of the gap between two
    // lookups.
    virtual void planRun(const QList<PlannedLookup>& plan,
                         std::shared_ptr<const std::atomic<bool>> hold) {
        Q_UNUSED(plan);
        Q_UNUSED(hold);
    }
    // The lookup at `planIndex` of the plan (asked as the plan's kind says): one finished()
    // follows, as for MX_Query_Speed.
    virtual void lookUpPlanned(qsizetype planIndex, const QString& DNS_Addr,
                               const QString& Domain_Addr, quint16 recordType) {
        Q_UNUSED(planIndex);
        MX_Query_Speed(DNS_Addr, Domain_Addr, recordType);
    }

    // A server check's question to `DNS_Addr` (an entry's server part, as for lookups): one
    // finished() follows, its `reply` the answer's bytes. A probe that cannot ask reports no
    // answer, so every check it stands behind says "unknown".
    virtual void askCheck(const QString& DNS_Addr, const CheckAsk& question) {
        Q_UNUSED(DNS_Addr);
        Q_UNUSED(question);
        QMetaObject::invokeMethod(
            this, [this] { emit finished(ProbeResult{}); }, Qt::QueuedConnection);
    }

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);
};

} // namespace tarnbell::core

Q_DECLARE_METATYPE(tarnbell::core::ProbeResult)
