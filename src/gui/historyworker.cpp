#include "historyworker.h"

namespace tarnbell::gui {

HistoryWorker::HistoryWorker(const QString& path, std::chrono::milliseconds busyTimeout)
    : m_path(path), m_busyTimeout(busyTimeout), m_context(new QObject) {
    qRegisterMetaType<QList<core::PastRun>>();
    qRegisterMetaType<QList<core::MedianPoint>>();
    qRegisterMetaType<core::RunRecord>();
    m_thread.setObjectName(QStringLiteral("history"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

HistoryWorker::~HistoryWorker() {
    m_closing = true;
    // Queued behind the calls already made, so each write before it is done; the store
    // goes on the thread it was made on.
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_store.reset();
            m_thread.quit();
        },
        Qt::QueuedConnection);
    m_thread.wait();
    delete m_context;
}

template <typename Call> quint64 HistoryWorker::onThread(Call call) {
    const quint64 ticket = ++m_lastTicket;
    QMetaObject::invokeMethod(
        m_context,
        [this, ticket, call = std::move(call)] {
            if (!m_store)
                m_store = std::make_unique<core::HistoryStore>(m_path, m_busyTimeout);
            call(ticket, *m_store);
        },
        Qt::QueuedConnection);
    return ticket;
}

quint64 HistoryWorker::save(const core::RunRecord& run) {
    return onThread([this, run](quint64 ticket, core::HistoryStore& store) {
        const bool ok = store.save(run).has_value();
        Q_EMIT saved(ticket, ok, store.errorMessage());
    });
}

quint64 HistoryWorker::readList() {
    m_newestList = m_lastTicket + 1;
    return onThread([this](quint64 ticket, core::HistoryStore& store) {
        if (m_closing || ticket != m_newestList)
            return;
        const std::optional<QList<core::PastRun>> runs = store.runs();
        const std::optional<QList<core::MedianPoint>> trend = runs ? store.medians() : std::nullopt;
        Q_EMIT listRead(ticket, runs && trend, runs.value_or(QList<core::PastRun>{}),
                        trend.value_or(QList<core::MedianPoint>{}), store.errorMessage());
    });
}

quint64 HistoryWorker::open(qint64 id) {
    m_newestOpen = m_lastTicket + 1;
    return onThread([this, id](quint64 ticket, core::HistoryStore& store) {
        if (m_closing || ticket != m_newestOpen)
            return;
        const std::optional<core::RunRecord> run = store.run(id, core::RunParts::Figures);
        Q_EMIT opened(ticket, run.has_value(), run.value_or(core::RunRecord{}),
                      store.errorMessage());
    });
}

quint64 HistoryWorker::remove(const QList<qint64>& ids) {
    return onThread([this, ids](quint64 ticket, core::HistoryStore& store) {
        const bool ok = store.remove(ids);
        Q_EMIT removed(ticket, ok, store.errorMessage());
    });
}

} // namespace tarnbell::gui
