#pragma once
// The window's reads and writes of the history file, done on a thread of their own: writing
// a large run takes a good part of a second, reading a long history more, and another
// program writing the same file can hold it for the store's whole busy timeout. The window
// must never wait for any of that.
//
// Each call is queued and returns at once with a ticket; the calls are done one after
// another in the order they were made, and each answer comes back as a signal carrying its
// ticket and the failure's sentence (empty after a success). A read that a newer read of
// the same kind has made useless before it began is skipped and never answered.
//
// The store is made, used and closed on the worker's thread, as its Qt SQL connection
// requires.

#include "core/history/historystore.h"

#include <QList>
#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

namespace tarnbell::gui {

class HistoryWorker final : public QObject {
    Q_OBJECT
public:
    explicit HistoryWorker(const QString& path,
                           std::chrono::milliseconds busyTimeout = core::kHistoryBusyTimeout);
    // Skips the reads still queued but finishes the writes: a run handed over just before
    // the window closes is still kept. At worst that waits out the busy timeout.
    ~HistoryWorker() override;

    quint64 save(const core::RunRecord& run);
    // Every run, newest first, and each server's trend.
    quint64 readList();
    // One run's settings and figures, without its lookups.
    quint64 open(qint64 id);
    quint64 remove(const QList<qint64>& ids);

Q_SIGNALS:
    void saved(quint64 ticket, bool ok, const QString& error);
    void listRead(quint64 ticket, bool ok, const QList<core::PastRun>& runs,
                  const QList<core::MedianPoint>& trend, const QString& error);
    void opened(quint64 ticket, bool ok, const core::RunRecord& run, const QString& error);
    void removed(quint64 ticket, bool ok, const QString& error);

private:
    // Queues `call` for the worker's thread, after every call queued before it.
    template <typename Call> quint64 onThread(Call call);

    QString m_path;
    std::chrono::milliseconds m_busyTimeout;
    QThread m_thread;
    QObject* m_context = nullptr;                // lives on m_thread: the calls run as its events
    std::unique_ptr<core::HistoryStore> m_store; // touched on m_thread only
    quint64 m_lastTicket = 0;                    // the window's thread's alone
    std::atomic<quint64> m_newestList{0};
    std::atomic<quint64> m_newestOpen{0};
    std::atomic<bool> m_closing{false};
};

} // namespace tarnbell::gui
