#include "core/probe/probe.h"

#include "core/probe/lookupdispatcher.h"

#include <QMutex>
#include <QPointer>
#include <QSslCertificate>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <deque>

namespace tarnbell::core {
struct Probe::Impl {
    QThread thread;
    LookupDispatcher* lookup = new LookupDispatcher;
    bool threaded = true;
    // Lookups asked for, and results not yet handed over. A planned lookup that the
    // measurement thread started on its own may end before the run asks for it: its result
    // waits here until then, so that it never reaches a run that is not yet waiting for it.
    qsizetype asked = 0;
    qsizetype delivered = 0;
    std::deque<ProbeResult> waiting;
    quint64 generation = 0;
    bool deliveryQueued = false;
    // Filled on the measurement thread, emptied on the caller's.
    QMutex mailboxLock;
    std::deque<std::pair<ProbeResult, quint64>> mailbox;
    bool mailboxPosted = false;
    QTimer* gather = nullptr; // on the measurement thread: when to wake the caller's thread

    // Runs `call` on the lookup's thread, after every call made before it.
    template <typename Call> void onLookupThread(Call call) {
        if (threaded)
            QMetaObject::invokeMethod(lookup, std::move(call), Qt::QueuedConnection);
        else
            call();
    }
};

Probe::Probe(QObject* parent) : Probe(Placement::MeasurementThread, parent) {}

Probe::Probe(Placement placement, QObject* parent)
    : LookupProbe(parent), m(std::make_unique<Impl>()) {
    qRegisterMetaType<ProbeResult>();
    m->threaded = placement == Placement::MeasurementThread;
    if (m->threaded) {
        // A child of the lookups, so it moves to the measurement thread with them.
        m->gather = new QTimer(m->lookup);
        m->gather->setSingleShot(true);
        m->gather->setTimerType(Qt::PreciseTimer);
        m->gather->setInterval(2);
        // Long enough for a server on this machine or the local network to answer.
        m->lookup->setBusyWait(std::chrono::microseconds(300));
        m->thread.setObjectName(QStringLiteral("measurement"));
        m->thread.start(QThread::HighPriority);
        m->lookup->moveToThread(&m->thread);
    } else {
        m->lookup->udp().setKernelTimestamps(false);
    }
    // Results cross to the caller's thread as events; dropped if the probe goes first, or
    // when they belong to an earlier run's plan.
    if (!m->threaded) {
        connect(m->lookup, &LookupDispatcher::finished, this,
                [this](const ProbeResult& result, quint64 generation) {
                    arrived(result, generation);
                    deliver();
                });
        return;
    }
    // From the measurement thread, results gather in a mailbox. The caller's thread is woken
    // at once for a result it must act on; while the measurement thread has already gone on
    // to the next lookup, it is woken at most every 2 ms, for all that arrived meanwhile.
    QTimer* gather = m->gather;
    connect(gather, &QTimer::timeout, m->lookup, [this] {
        const QMutexLocker lock(&m->mailboxLock);
        wakeCaller();
    });
    connect(
        m->lookup, &LookupDispatcher::finished, m->lookup,
        [this, gather](const ProbeResult& result, quint64 generation) {
            const QMutexLocker lock(&m->mailboxLock);
            m->mailbox.push_back({result, generation});
            if (!result.nextStarted) {
                gather->stop();
                wakeCaller();
            } else if (!m->mailboxPosted && !gather->isActive()) {
                gather->start();
            }
        },
        Qt::DirectConnection);
}

void Probe::wakeCaller() {
    if (!std::exchange(m->mailboxPosted, true))
        QMetaObject::invokeMethod(this, &Probe::collect, Qt::QueuedConnection);
}

void Probe::collect() {
    std::deque<std::pair<ProbeResult, quint64>> collected;
    {
        const QMutexLocker lock(&m->mailboxLock);
        collected.swap(m->mailbox);
        m->mailboxPosted = false;
    }
    for (const auto& [result, generation] : collected)
        arrived(result, generation);
    deliver();
}

void Probe::arrived(const ProbeResult& result, quint64 generation) {
    // A result of an earlier run's plan is not this run's.
    if (generation == m->generation)
        m->waiting.push_back(result);
}

Probe::~Probe() {
    if (!m->threaded) {
        delete m->lookup;
        return;
    }
    // The lookups' sockets, notifier and timers belong to their thread: they go there.
    QMetaObject::invokeMethod(
        m->lookup, [lookup = m->lookup] { delete lookup; }, Qt::BlockingQueuedConnection);
    m->thread.quit();
    m->thread.wait();
}

void Probe::setTimeout(int ticks, std::chrono::milliseconds interval) {
    m->onLookupThread([lookup = m->lookup, ticks = std::max(ticks, 1), interval] {
        lookup->setTimeLimit(ticks * interval, interval);
    });
}

void Probe::setTimeLimit(std::chrono::milliseconds limit) {
    m->onLookupThread([lookup = m->lookup, limit] {
        lookup->setTimeLimit(limit, std::chrono::milliseconds(1000));
    });
}

void Probe::setFreshConnections(bool fresh) {
    m->onLookupThread([lookup = m->lookup, fresh] { lookup->setFreshConnections(fresh); });
}

void Probe::setExtraCertificates(const QList<QSslCertificate>& certificates) {
    m->onLookupThread(
        [lookup = m->lookup, certificates] { lookup->setExtraCertificates(certificates); });
}

void Probe::setHostLookup(
    std::function<void(const QString&, QObject*,
                       std::function<void(const QList<QHostAddress>&, const QString&)>)>
        hostLookup) {
    m->onLookupThread([lookup = m->lookup, hostLookup = std::move(hostLookup)] {
        lookup->setHostLookup(hostLookup);
    });
}

void Probe::setKernelTimestamps(bool use) {
    m->onLookupThread([lookup = m->lookup, use] { lookup->udp().setKernelTimestamps(use); });
}

void Probe::deliver() {
    const QPointer<Probe> alive(this);
    while (alive && m->delivered < m->asked && !m->waiting.empty()) {
        const ProbeResult result = std::move(m->waiting.front());
        m->waiting.pop_front();
        ++m->delivered;
        emit finished(result);
    }
}

void Probe::askedFor() {
    ++m->asked;
    // A result already here is handed over from the event loop, never from inside the call.
    if (!m->waiting.empty() && !std::exchange(m->deliveryQueued, true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m->deliveryQueued = false;
                deliver();
            },
            Qt::QueuedConnection);
}

void Probe::planRun(const QList<PlannedLookup>& plan,
                    std::shared_ptr<const std::atomic<bool>> hold) {
    // Whatever an earlier plan left behind is not this run's.
    m->waiting.clear();
    m->delivered = m->asked;
    m->onLookupThread([lookup = m->lookup, plan, hold = std::move(hold),
                       generation = ++m->generation] { lookup->setPlan(plan, hold, generation); });
}

void Probe::lookUpPlanned(qsizetype planIndex, const QString& DNS_Addr, const QString& Domain_Addr,
                          quint16 recordType) {
    askedFor();
    // Started already by the measurement thread, the moment the lookup before it ended.
    if (planIndex <= m->lookup->startedUpTo(m->generation))
        return;
    m->onLookupThread([lookup = m->lookup, request = LookupRequest{.server = DNS_Addr,
                                                                   .domain = Domain_Addr,
                                                                   .recordType = recordType,
                                                                   .planIndex = planIndex}] {
        lookup->enqueue(request);
    });
}

void Probe::MX_Query_Speed(const QString& DNS_Addr, const QString& Domain_Addr,
                           quint16 recordType) {
    askedFor();
    m->onLookupThread([lookup = m->lookup, request = LookupRequest{.server = DNS_Addr,
                                                                   .domain = Domain_Addr,
                                                                   .recordType = recordType}] {
        lookup->enqueue(request);
    });
}

void Probe::askCheck(const QString& DNS_Addr, const CheckAsk& question) {
    askedFor();
    LookupRequest request;
    request.server = DNS_Addr;
    request.check = question;
    m->onLookupThread([lookup = m->lookup, request] { lookup->enqueue(request); });
}

void Probe::beginRun() {
    m->onLookupThread([lookup = m->lookup] { lookup->beginRun(); });
}

bool Probe::isBusy() const {
    return m->delivered < m->asked;
}

quint16 Probe::localPort() const {
    return m->lookup->udp().localPort();
}

} // namespace tarnbell::core
