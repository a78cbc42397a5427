#pragma once
// Every figure a reader of a run shows, computed in one place from the run's lookups: how a
// lookup counts, each server's spread and counts for all lookups, first asks and repeats,
// and each kind of lookup, the fastest
// servers and the servers statistically tied with the fastest. The summary list, its marking,
// the completion text, the CSV, the JSON, the details view and the command-line table read
// these and compute nothing of their own.

#include "core/probe/lookupprobe.h"
#include "core/probe/querykind.h"
#include "core/probe/serverendpoint.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>

namespace tarnbell::core {

// Whether an uncached or top-level sample is what its kind claims, an answer the resolver
// had to fetch: fresh, from a cache (its negative TTL counted down, or as fast as the
// server's cache hits), or unknown (no negative answer to judge by).
enum class CacheCheck { NotChecked, Fresh, FromCache, Unknown };
// "fresh", "from_cache", "unknown" (empty for NotChecked), as the JSON names them.
QString cacheCheckName(CacheCheck check);

// How a lookup counts. A failed lookup (no usable reply, or a reply that refuses or cannot
// answer) counts as ten seconds like a timeout, so a quick error never wins.
enum class LookupKind { Answered, TimedOut, Failed };

struct LookupRecord {
    QString serverEntry;
    QString domain;
    // Seconds as the figures count them: the measured time of an answer, 10 otherwise.
    double seconds = kUnansweredSeconds;
    ProbeOutcome outcome = ProbeOutcome::TimedOut;
    QString errorText; // plain words for a failed lookup
    int rcode = -1;    // the reply's RCODE; -1 without a reply
    bool truncated = false;
    int serverIndex = 0; // position of the server in the run's list
    int round = 0;       // 0 is the first round
    // Stream transports: the lookup opened a connection, set up in `connectSeconds`.
    bool newConnection = false;
    double connectSeconds = 0.0;
    TimeSource timeSource = TimeSource::None; // the clock the time was read from
    QueryKind queryKind = QueryKind::Listed;
    QString askedName;       // the name the query carried; the domain's own for listed and cached
    bool repeat = false;     // a listed name this server was asked before in the run
    qint64 negativeTtl = -1; // as ProbeResult gives them
    quint32 soaMinimum = 0;
    QString negativeZone;
    QString nsid; // the answering instance's, where the kind carries EDNS and it gave one
    CacheCheck cacheCheck = CacheCheck::NotChecked; // set by RunFigures

    LookupKind kind() const;
};

// NOERROR and NXDOMAIN are answers; every other response code is a failed lookup.
bool isAnswerCode(int rcode);
// Plain words for a reply that failed the lookup ("refused by server", ...).
QString replyCodeText(int rcode);

LookupRecord lookupRecord(const QString& serverEntry, const QString& domain,
                          const ProbeResult& result, int serverIndex = 0, int round = 0);

// The figures of one set of lookups of one server. Times in milliseconds; every lookup
// counts, a timed-out or failed one as 10000 ms.
struct TimeFigures {
    int lookups = 0;
    int answered = 0;
    int timeouts = 0;
    int failures = 0;
    double meanMs = 0.0;        // from the exact seconds, as the summary list's mean
    double medianMs = 0.0;      // of the whole milliseconds, as the summary list's median
    double medianLowMs = 0.0;   // 95 % confidence interval of the exact median
    double medianHighMs = 0.0;  //
    double minMs = 0.0;         // exact
    double q1Ms = 0.0;          // nearest-rank quartiles of the exact times, for the chart
    double q3Ms = 0.0;          //
    double exactMedianMs = 0.0; // the median of the exact times, the box's middle line
    double p90Ms = 0.0;         // nearest-rank 90th percentile of the exact times
    double maxMs = 0.0;         // exact
    double stddevMs = 0.0;      // population standard deviation of the exact times
    QList<double> sortedMs;     // the exact times, ascending
};

TimeFigures timeFigures(const QList<const LookupRecord*>& lookups);

struct ServerFigures {
    QString serverEntry;
    int serverIndex = 0;
    bool isLocal = false;
    TimeFigures all;
    // Listed names: the first ask of each name of this server in the run, and the asks
    // after it (later rounds, a name listed twice); none repeat in a plain one-round run.
    TimeFigures first;
    TimeFigures repeat;
    // The lookups of each kind, by QueryKind; an uncached or top-level sample that came from
    // a cache is counted in `fromCache`, not timed here.
    std::array<TimeFigures, kQueryKindCount> byKind;
    std::array<int, kQueryKindCount> fromCache{};
    bool tiedWithFastest = false;
    // The share of bootstrap resamples in which this server's median is the lowest; -1 until
    // estimated (it is worth its cost only once a run is over).
    double fastestChance = -1.0;
    Transport transport = Transport::Udp; // as the entry names it
    int connections = 0;                  // stream connections the lookups opened
    double connectMs = 0.0;               // their mean set-up time; 0 without any
};

// The figures of one server from its lookups, in the order they were made.
ServerFigures serverFigures(const QString& serverEntry, QList<LookupRecord> lookups, bool isLocal);

// The distribution-free 95 % interval of the median from order statistics: the k-th lowest
// and k-th highest value for the largest k with P(Binomial(n, 1/2) < k) <= 2.5 %. Below six
// values no such k exists and the interval is the whole range.
struct Interval {
    double low = 0.0;
    double high = 0.0;
};
Interval medianInterval(const QList<double>& sorted);

// A run's lookups as they come, and its figures on demand.
class RunFigures {
public:
    // A new run over `servers`; `localAddress` is the machine's resolver ("" for none).
    void start(const QStringList& servers, const QString& localAddress);
    // record.serverIndex names the server; a listed name asked of it before is marked repeat.
    void add(LookupRecord record);

    // Every lookup so far, uncached and top-level ones with their cache check.
    QList<LookupRecord> lookups() const;
    int serverCount() const { return static_cast<int>(m_servers.size()); }
    ServerFigures server(int index) const;
    // Every server with at least one lookup, in list order, tie marks set, and with
    // `chances` each one's chance of being the fastest.
    enum class Chances { Skip, Estimate };
    QList<ServerFigures> servers(Chances chances = Chances::Skip) const;

private:
    QStringList m_servers;
    QString m_local;
    QList<LookupRecord> m_lookups;
    QList<QList<qsizetype>> m_byServer;    // positions in m_lookups
    QSet<std::pair<int, QString>> m_asked; // (server, listed name) asked so far
};

} // namespace tarnbell::core

Q_DECLARE_METATYPE(tarnbell::core::LookupRecord)
