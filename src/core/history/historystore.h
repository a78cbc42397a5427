#pragma once
// The history of past runs in one SQLite file, shared by the window and the command-line
// tool: each run is written whole in one transaction or not at all, the file in WAL mode so
// that a reader never waits for a writer, and a writer waits a while for another program's
// write before it gives up. Every failure ends in one plain sentence (errorMessage()) and
// touches nothing but the history: the run in hand stays as it is.
//
// A store and its connection belong to the thread that made it, as every Qt SQL connection
// does; each store has a connection of its own, so two stores never share one.

#include "core/history/historyerror.h"
#include "core/history/runrecord.h"

#include <QList>
#include <QString>
#include <chrono>
#include <optional>

namespace tarnbell::core {

// Long enough for another program's run to be written, short enough not to hang a script.
inline constexpr std::chrono::milliseconds kHistoryBusyTimeout{5000};

class HistoryStore final {
    Q_DISABLE_COPY_MOVE(HistoryStore)
public:
    // The file is opened (created when missing, brought to the current version when older) on
    // first use, and again on the next use after a failure.
    explicit HistoryStore(const QString& path,
                          std::chrono::milliseconds busyTimeout = kHistoryBusyTimeout);
    ~HistoryStore();

    const QString& path() const { return m_path; }

    // Appends `run`; its id, or nothing on failure.
    std::optional<qint64> save(const RunRecord& run);
    // Every run, newest first, read from the runs table alone.
    std::optional<QList<PastRun>> runs();
    // One run as it was saved: its settings, figures and, for the whole run, its lookups;
    // nothing on failure or when no run has that id (then errorMessage() is empty).
    std::optional<RunRecord> run(qint64 id, RunParts parts = RunParts::Whole);
    // Removes the runs with these ids, all or none.
    bool remove(const QList<qint64>& ids);
    // Each server's exact median over `set` in every run where that set had lookups, oldest
    // run first; only `serverEntry`'s when one is given.
    std::optional<QList<MedianPoint>> medians(LookupSet set = LookupSet::All,
                                              const QString& serverEntry = {});

    // The last failure in one sentence; empty after a success.
    const QString& errorMessage() const { return m_error; }

private:
    bool ensureOpen(HistoryAction action);
    // One try at opening; `busy` tells a failure that another program's lock caused.
    bool openOnce(HistoryAction action, bool& busy);
    bool migrate(HistoryAction action, bool& busy);
    void close();
    // Sets the message, rolls back what the failing call began, and returns false.
    bool fail(HistoryAction action, const QString& reason);

    QString m_path;
    QString m_connection;
    std::chrono::milliseconds m_busyTimeout;
    bool m_open = false;
    QString m_error;
};

} // namespace tarnbell::core
