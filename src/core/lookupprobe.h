#pragma once
// One timed DNS lookup, as the run engine sees it. The UDP probe is the real one; tests
// and benchmarks may put a scripted one in its place.

#include "core/arrivalclock.h"

#include <QObject>
#include <QString>

namespace tarnbell::core {

enum class ProbeOutcome {
    Answered,      // a matching reply arrived; `seconds` is the measured time
    TimedOut,      // no matching reply within the timeout; `seconds` is 10
    SocketError,   // the socket reported an error during the wait
    HostNotFound,  // the server's host name could not be resolved
    QueryNotBuilt, // the domain cannot be encoded into a query
};

struct ProbeResult {
    ProbeOutcome outcome = ProbeOutcome::TimedOut;
    // Elapsed seconds at full precision, from a monotonic clock; 10 for anything above ten
    // seconds (and for a timeout).
    double seconds = 10.0;
    // The same time in the probe's text form: " 0.046875" (leading blank, "." separator,
    // at most 15 significant digits, no trailing zeros), or "10".
    QString secondsText = QStringLiteral("10");
    // What the reply says: the best mail exchange for MX, the echoed question name
    // otherwise; empty when no reply came.
    QString replyText;
    // Plain words for a failed lookup (SocketError, HostNotFound, QueryNotBuilt).
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

    bool failed() const {
        return outcome != ProbeOutcome::Answered && outcome != ProbeOutcome::TimedOut;
    }
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

Q_SIGNALS:
    void finished(const tarnbell::core::ProbeResult& result);
};

} // namespace tarnbell::core

Q_DECLARE_METATYPE(tarnbell::core::ProbeResult)
