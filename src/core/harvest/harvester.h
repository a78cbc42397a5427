#pragma once
// One harvest of host names from a web search: connect over TLS, ask for one results page
// (following one redirect), collect the reply until the host closes, then take the names out
// of every results page received so far. Event-driven on the caller's thread; nothing here
// waits or nests the event loop.

#include "core/harvest/searchbuffer.h"
#include "core/harvest/searchtarget.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>

class QSslSocket;

namespace tarnbell::core {

// One harvest: a web search for a seed word, read for host names that are not yet listed.
// It tells its progress in status texts, hands over the names it found, and ends with
// finished(ok); which controls its caller locks meanwhile is the caller's business.
// finished() can come before start() returns.
class Harvester final : public QObject {
    Q_OBJECT
public:
    // A host that has not answered and closed the connection within this time ends the
    // harvest: a result page arrives in a second or two, so a user waiting longer than
    // this is better told that it failed.
    static constexpr std::chrono::milliseconds DefaultTimeLimit{15000};

    using SeedSource = std::function<QString()>;
    using DomainsSource = std::function<QStringList()>;

    explicit Harvester(QObject* parent = nullptr);
    ~Harvester() override;

    void setTimeLimit(std::chrono::milliseconds limit); // for the whole harvest
    void setBufferLimit(qsizetype bytes); // SearchBuffer::DefaultLimit unless a test injects

    // Starts one harvest of `count` names from `target`. `seed` is read when the connection
    // is up, so a new seed made while connecting is the one sent; `domains` is read when the
    // reply is complete, so names the user added or removed meanwhile count. Returns false,
    // and emits nothing, while a harvest is under way. finished() follows every accepted
    // start exactly once, possibly before start() returns, unless abort() ends it first.
    bool start(const SearchTarget& target, SeedSource seed, int count, DomainsSource domains);
    bool start(const SearchTarget& target, const QString& seed, int count,
               const QStringList& domains);

    // Ends a harvest under way at once and without a word: the connection is dropped and
    // no signal follows, not even finished(). For the window's close, when the program
    // ends next. Does nothing while idle.
    void abort();

    bool isBusy() const { return m_phase != Phase::Idle; }
    // The bodies of all results pages received so far, oldest first (bounded).
    QByteArrayView searchBuffer() const { return m_buffer.text(); }

    // The two texts the window shows around its new seed after a harvest that got its page;
    // the second names the search host of the last harvest and says when `added` is 0.
    static QString randomisingStatus();
    QString finishedStatus(qsizetype added) const;

Q_SIGNALS:
    void statusChanged(const QString& text);
    // The names to append to the domain list, in order (possibly none); only on success.
    void namesHarvested(const QStringList& names);
    // The end of the harvest: `ok` false after a failed connection, a socket or TLS error,
    // the time limit, an oversized reply or a reply that is no results page (also a page that
    // asks for JavaScript or has no result links, when no name was found); the status text
    // has then said what happened, naming the search host.
    void finished(bool ok);

private:
    enum class Phase { Idle, Connecting, Receiving };

    void connectTo(const QUrl& url);
    void onEncrypted();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onTimeLimit();
    void replyComplete();
    void fail(const QString& status);
    void finish(bool ok);
    void settle();

    QSslSocket* m_socket;
    QTimer m_deadline;
    SearchBuffer m_buffer;
    Phase m_phase = Phase::Idle;
    SearchTarget m_target;
    QUrl m_url;         // what the current connection asks for
    QByteArray m_reply; // the current connection's reply so far
    bool m_redirected = false;
    SeedSource m_seed;
    DomainsSource m_domains;
    int m_count = 0;
};

} // namespace tarnbell::core
