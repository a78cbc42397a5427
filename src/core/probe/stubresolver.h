#pragma once
// A small stub resolver for server host names: its own A and AAAA queries over UDP to the name
// servers of the resolver configuration, driven by the event loop of the thread that makes
// it, so nothing ever waits for it: the lookup that wants a name destroys it on moving on, and
// its socket closes at once.

#include "core/probe/datagramsocket.h"
#include "core/probe/hostlookup.h"
#include "core/probe/resolverconfig.h"
#include "dns/moddns.h"

#include <QObject>
#include <QTimer>
#include <vector>

class QSocketNotifier;

namespace tarnbell::core {

class StubResolver final : public QObject {
    Q_OBJECT
public:
    // Asks about `name` once the event loop runs, by the configuration's search rules, name
    // servers, timeout and attempts. `done` is called once, from the event loop, unless the
    // resolver is destroyed first; the resolver deletes itself after.
    StubResolver(const QString& name, const ResolverConfig& config, HostLookupDone done,
                 QObject* parent);
    ~StubResolver() override;

private:
    struct SentQuery {
        dns::Bytes bytes;
        std::uint16_t type = 0;
        int attempt = 0;
        Nameserver server;
    };
    struct TypeAnswer {
        bool done = false; // NOERROR or NXDOMAIN came
        bool noData = false;
        QList<QHostAddress> addresses;
    };

    void start();
    void nextCandidate();
    void sendAttempt();
    void onReadable();
    void take(const dns::ByteView& reply, const QHostAddress& from, quint16 fromPort);
    void decide();
    void onAttemptTimedOut();
    void report(const QList<QHostAddress>& addresses, const QString& error);

    QStringList m_candidates;
    qsizetype m_candidate = -1;
    ResolverConfig m_config;
    HostLookupDone m_done;
    DatagramSocket m_socket;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_attemptTimer{this};
    std::vector<SentQuery> m_sent; // the current candidate's queries, every attempt's
    int m_attempt = 0;             // of the current candidate
    TypeAnswer m_answers[2];       // A, AAAA
    bool m_sawNoData = false;      // a candidate exists without an address
    bool m_sawFailure = false;     // a name server refused or failed
    std::vector<std::uint8_t> m_buffer;
};

// The program's HostLookup: the hosts file first, then a StubResolver on the configuration at
// resolverConfigPath(), made a child of the context; systemHostLookup() where that
// configuration cannot be read or names no name server.
HostLookup stubHostLookup();

} // namespace tarnbell::core
