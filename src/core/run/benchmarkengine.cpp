#include "core/run/benchmarkengine.h"

#include "core/checks/serverchecker.h"
#include "dns/moddns.h"

#include <QHash>
#include <QRandomGenerator>
#include <algorithm>
#include <utility>

namespace tarnbell::core {

namespace {

QString failureText(const ProbeResult& result) {
    if (!result.errorText.isEmpty())
        return result.errorText;
    switch (result.outcome) {
    case ProbeOutcome::SocketError:
        return QStringLiteral("Socket error");
    case ProbeOutcome::HostNotFound:
        return QStringLiteral("Server not found");
    case ProbeOutcome::Unreachable:
        return QStringLiteral("Port unreachable");
    default:
        return QStringLiteral("Query not built");
    }
}

} // namespace

struct BenchmarkEngine::Impl {
    // Where the run stands between events. Every step that yields to the event loop
    // leaves one of these behind and continues from a queued call.
    enum class Phase {
        Idle,
        PauseYield,      // the yield of the check before a lookup
        Paused,          // waiting for Resume; nothing is queued
        Checking,        // the servers' checks, before the first lookup
        Probing,         // waiting for the probe's finished()
        ResortYield,     // the yield inside the summary's re-sort
        CompletionYield, // the yield before the completion status
    };

    BenchmarkEngine* q;
    LookupProbe* probe;
    ServerChecker* checker;
    LookupTableModel* lookups;
    SummaryTableModel* summary;
    std::function<QString()> localResolver = [] { return QString(); };

    Phase phase = Phase::Idle;
    RunRequest request;
    quint16 recordType = 0;

    int pauseFlag = 0;
    bool skipFlag = false;
    bool stopFlag = false;
    // Set while a pause, skip or stop waits for its check point: the probe then starts no
    // planned lookup on its own.
    std::shared_ptr<std::atomic<bool>> hold = std::make_shared<std::atomic<bool>>(false);
    // The probe already started the next lookup: the checks before it were passed, and the
    // flags are honoured at the next check point instead.
    bool nextStarted = false;
    bool pauseShown = false; // "Resume" is showing for the pause under way
    int currentRow = -1;

    int round = 0;
    qsizetype position = 0; // place in this round's server order
    qsizetype server = 0;   // the server's index in the list
    qsizetype domain = 0;
    qsizetype kind = 0;        // place in the request's kinds
    QList<PlannedLookup> plan; // every lookup of the run, with the name it asks

    qsizetype passed = 0; // the lookups of the plan made or skipped so far
    RunFigures runFigures;
    QList<ServerFigures> summarised; // the servers with a summary row, in list order
    QHash<int, int> summaryRows;     // this run's summary row of each server, by list index
    FastestServers fastest;
    double percentDone = 0.0;

    Impl(BenchmarkEngine* owner, LookupProbe* p, LookupTableModel* l, SummaryTableModel* s)
        : q(owner), probe(p), checker(new ServerChecker(p, owner)), lookups(l), summary(s) {}

    const QString& entry() const { return request.servers.at(server); }
    void updateHold() { hold->store(pauseFlag != 0 || skipFlag || stopFlag); }
    bool pauseNow() const { return pauseFlag != 0 && !nextStarted; }
    bool skipNow() const { return skipFlag && !nextStarted; }
    bool stopNow() const { return stopFlag && !nextStarted; }
    qsizetype planIndex() const {
        return ((round * request.servers.size() + position) * request.domains.size() + domain) *
                   request.kinds.size() +
               kind;
    }
    void planRun();
    void startLookups();
    QString kindsNote(const ServerFigures& figures) const;

    void yieldThen(Phase next, void (Impl::*step)()) {
        phase = next;
        QMetaObject::invokeMethod(
            q, [this, step] { (this->*step)(); }, Qt::QueuedConnection);
    }

    void startServer();
    void pauseCheck();
    void afterPauseYield();
    void showPaused();
    void startLookup();
    void lookupDone(const ProbeResult& result);
    void skipCheck();
    void summarise();
    void nextServer();
    void summariseMeasured();
    void finishRun();
    void complete();
};

QString BenchmarkEngine::Impl::kindsNote(const ServerFigures& figures) const {
    if (request.kinds.size() < 2)
        return {};
    QStringList parts;
    for (const QueryKind asked : request.kinds) {
        const auto index = static_cast<std::size_t>(asked);
        QString part =
            QStringLiteral("%1 median %2")
                .arg(queryKindWords(asked), millisecondsText(figures.byKind[index].exactMedianMs));
        if (figures.fromCache[index] > 0)
            part += QStringLiteral(" (%1 answered from a cache, not timed)")
                        .arg(figures.fromCache[index]);
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

void BenchmarkEngine::Impl::planRun() {
    // The order the run makes its lookups in: rounds, then servers (each round starting one
    // further down the list), then domains, then kinds. Every random label is new.
    QRandomGenerator random = QRandomGenerator::securelySeeded();
    plan.clear();
    const qsizetype servers = request.servers.size();
    plan.reserve(request.rounds * servers * request.domains.size() * request.kinds.size());
    for (int r = 0; r < request.rounds; ++r) {
        for (qsizetype p = 0; p < servers; ++p) {
            const QString address = serverAddress(request.servers.at((p + r) % servers));
            for (const QString& name : std::as_const(request.domains)) {
                for (const QueryKind asked : std::as_const(request.kinds))
                    plan.append({address, askedName(asked, name, random), recordType, asked});
            }
        }
    }
    probe->planRun(plan, hold);
}

// After the checks, or at once without them: the run's lookups, with the endpoints the checks
// discovered among its servers when asked.
void BenchmarkEngine::Impl::startLookups() {
    if (stopFlag) {
        finishRun();
        return;
    }
    if (request.discover) {
        for (const ServerChecks& checked : checker->results()) {
            for (const DiscoveredEndpoint& endpoint : checked.endpoints) {
                const bool asked = endpoint.scheme != QLatin1String("quic");
                if (asked && !request.servers.contains(endpoint.entry()))
                    request.servers.append(endpoint.entry());
            }
        }
        runFigures.start(request.servers, localResolver());
    }
    planRun();
    round = 0;
    position = 0;
    startServer();
}

void BenchmarkEngine::Impl::startServer() {
    server = (position + round) % request.servers.size();
    domain = 0;
    kind = 0;
    Q_EMIT q->serverStarted(static_cast<int>(server));
    pauseCheck();
}

void BenchmarkEngine::Impl::pauseCheck() {
    if (pauseFlag == 1 && pauseNow())
        showPaused();
    yieldThen(Phase::PauseYield, &Impl::afterPauseYield);
}

void BenchmarkEngine::Impl::afterPauseYield() {
    if (stopNow()) {
        // A stop while paused: the check after the last lookup has passed, so it is honoured
        // here; a server with no lookup yet gets no summary row.
        if (domain > 0 || kind > 0)
            summarise();
        else
            summariseMeasured();
        return;
    }
    if (pauseNow()) {
        // A Pause click inside the yield itself: show Resume now, or its button would stay
        // disabled and the run would wait for ever.
        if (!pauseShown)
            showPaused();
        phase = Phase::Paused;
        return;
    }
    startLookup();
}

void BenchmarkEngine::Impl::showPaused() {
    pauseShown = true;
    Q_EMIT q->pauseStateChanged(PauseState::Paused);
}

void BenchmarkEngine::Impl::startLookup() {
    const PlannedLookup& planned = plan.at(planIndex());
    // A listed lookup's row shows the name as listed; the others the name they ask, and how.
    const QString shown =
        planned.kind == QueryKind::Listed
            ? request.domains.at(domain)
            : QStringLiteral("%1 (%2)").arg(planned.domain, queryKindWords(planned.kind));
    const int row = lookups->appendLookup(entry(), shown, round + 1);
    currentRow = row;
    Q_EMIT q->lookupStarted(row, static_cast<int>(domain));
    phase = Phase::Probing;
    nextStarted = false;
    probe->lookUpPlanned(planIndex(), serverAddress(entry()), planned.domain, recordType);
}

void BenchmarkEngine::Impl::lookupDone(const ProbeResult& result) {
    const int row = currentRow;
    currentRow = -1;
    nextStarted = result.nextStarted;

    // A lookup that failed outright or got a refusal never got an answer: it counts as a
    // timeout so the server is not rewarded for a quick error, and the row says what went
    // wrong.
    LookupRecord record =
        lookupRecord(entry(), request.domains.at(domain), result, static_cast<int>(server), round);
    record.queryKind = request.kinds.at(kind);
    record.askedName = plan.at(planIndex()).domain;
    const bool failed = record.kind() == LookupKind::Failed;
    lookups->setResult(
        row, record.seconds,
        failed ? (record.errorText.isEmpty() ? failureText(result) : record.errorText) : QString());
    if (record.truncated && !failed)
        lookups->setToolTip(row,
                            QStringLiteral("Truncated reply (TC bit set): timed as an answer"));
    runFigures.add(record);

    percentDone = 100.0 * static_cast<double>(planIndex()) / static_cast<double>(plan.size());
    passed = planIndex() + 1;
    Q_EMIT q->lookupMeasured(row, record);
    // The result came through the event loop, so every click made during the lookup has
    // been handled: the checks can follow at once, without another trip through the loop.
    skipCheck();
}

void BenchmarkEngine::Impl::skipCheck() {
    if (skipNow() || stopNow()) {
        if (std::exchange(skipFlag, false))
            Q_EMIT q->skipPendingChanged(false);
        updateHold();
        summarise();
        return;
    }
    if (++kind < request.kinds.size() || (kind = 0, ++domain < request.domains.size())) {
        if (pauseFlag == 1 && pauseNow())
            showPaused();
        afterPauseYield();
        return;
    }
    summarise();
}

void BenchmarkEngine::Impl::summarise() {
    // A server's row waits for its last round, so that it holds every lookup made of it.
    if (round + 1 < request.rounds && !stopNow()) {
        nextServer();
        return;
    }
    const ServerFigures serverFigures = runFigures.server(static_cast<int>(server));
    const int row = summary->appendSummary(
        {entry(), serverFigures.all.meanMs, serverFigures.all.medianMs,
         serverFigures.all.exactMedianMs, serverFigures.isLocal, kindsNote(serverFigures)});
    summaryRows.insert(serverFigures.serverIndex, row);

    // Strict comparisons in list order: on a tie the earlier server keeps the title, whichever
    // server the last round happened to start with.
    summarised.insert(std::upper_bound(summarised.cbegin(), summarised.cend(), serverFigures,
                                       [](const ServerFigures& a, const ServerFigures& b) {
                                           return a.serverIndex < b.serverIndex;
                                       }),
                      serverFigures);
    fastest = fastestServers(summarised);
    Q_EMIT q->serverSummarised(row);
    yieldThen(Phase::ResortYield, &Impl::nextServer);
}

// After a stop: every server measured in an earlier round but not yet summarised gets its
// row too, in list order, so that nothing measured is left out of the figures.
void BenchmarkEngine::Impl::summariseMeasured() {
    for (int index = 0; index < runFigures.serverCount(); ++index) {
        const bool done = std::any_of(summarised.cbegin(), summarised.cend(),
                                      [index](const auto& f) { return f.serverIndex == index; });
        if (!done && runFigures.server(index).all.lookups > 0) {
            server = index;
            summarise();
            return;
        }
    }
    finishRun();
}

void BenchmarkEngine::Impl::nextServer() {
    if (stopNow()) {
        summariseMeasured();
        return;
    }
    if (++position < request.servers.size()) {
        startServer();
        return;
    }
    if (++round < request.rounds) {
        position = 0;
        startServer();
        return;
    }
    finishRun();
}

void BenchmarkEngine::Impl::finishRun() {
    // The rows of this run's fastest servers are marked, and no others: the same servers
    // the completion text names, the details view heads and the report calls fastest.
    if (fastest.any()) {
        const int meanRow = summaryRows.value(summarised.at(fastest.meanPosition).serverIndex, -1);
        const int medianRow =
            summaryRows.value(summarised.at(fastest.medianPosition).serverIndex, -1);
        summary->setRowMark(meanRow, Mark::Winner);
        summary->setCellMark(meanRow, SummaryTableModel::MeanResponse, Mark::Winner);
        summary->setRowMark(medianRow, Mark::Winner);
        summary->setCellMark(medianRow, SummaryTableModel::MedianResponse, Mark::Winner);
    }

    // A stopped run ends where it got to, not at the end of its plan.
    percentDone =
        stopFlag ? 100.0 * static_cast<double>(passed) / static_cast<double>(plan.size()) : 100.0;
    yieldThen(Phase::CompletionYield, &Impl::complete);
}

void BenchmarkEngine::Impl::complete() {
    phase = Phase::Idle;
    Q_EMIT q->finished();
}

// ---- BenchmarkEngine --------------------------------------------------------------------

BenchmarkEngine::BenchmarkEngine(LookupProbe* probe, LookupTableModel* lookups,
                                 SummaryTableModel* summary, QObject* parent)
    : QObject(parent), m(std::make_unique<Impl>(this, probe, lookups, summary)) {
    connect(probe, &LookupProbe::finished, this, [this](const ProbeResult& result) {
        // Only the lookup the run is waiting for may end it.
        if (m->phase == Impl::Phase::Probing)
            m->lookupDone(result);
        else if (m->phase == Impl::Phase::Checking)
            m->checker->answer(result);
    });
    connect(m->checker, &ServerChecker::serverChecked, this, [this](int index) {
        if (index + 1 < m->request.servers.size())
            Q_EMIT serverChecking(index + 1);
    });
    connect(m->checker, &ServerChecker::finished, this, [this] {
        if (m->phase == Impl::Phase::Checking)
            m->startLookups();
    });
}

BenchmarkEngine::~BenchmarkEngine() = default;

void BenchmarkEngine::setLocalResolverSource(std::function<QString()> source) {
    m->localResolver = source ? std::move(source) : [] { return QString(); };
}

bool BenchmarkEngine::BenchmarkDNS(const RunRequest& request) {
    if (isRunning() || request.servers.isEmpty() || request.domains.isEmpty())
        return false;

    Impl& r = *m;
    r.request = request;
    r.recordType = dns::RecordTypeCode(request.recordTypeChoice.toStdString());
    // A pause or skip asked for after the last run's final check belongs to that run.
    r.pauseFlag = 0;
    r.skipFlag = false;
    r.stopFlag = false;
    r.nextStarted = false;
    r.updateHold();
    r.pauseShown = false;
    r.percentDone = 0.0;
    r.passed = 0;
    r.request.rounds = std::max(request.rounds, 1);
    if (r.request.kinds.isEmpty())
        r.request.kinds = {QueryKind::Listed};
    // One answer for the whole run: a row is the local resolver's or not, round after round.
    r.runFigures.start(request.servers, r.localResolver());
    r.summarised.clear();
    r.summaryRows.clear();
    r.fastest = {};
    r.lookups->beginRun(r.request.rounds);
    r.summary->beginRun();
    Q_EMIT runStarted();
    Q_EMIT pauseStateChanged(PauseState::Running);
    Q_EMIT skipPendingChanged(false);

    r.probe->beginRun();
    if (request.checks) {
        r.phase = Impl::Phase::Checking;
        Q_EMIT serverChecking(0);
        r.checker->start(request.servers, request.domains.constFirst(), request.checkNames,
                         request.trustedCas, request.checkLimit);
        return true;
    }
    r.startLookups();
    return true;
}

bool BenchmarkEngine::isRunning() const {
    return m->phase != Impl::Phase::Idle;
}

void BenchmarkEngine::cmdPause_Click() {
    if (!isRunning())
        return;
    Impl& r = *m;
    if (r.pauseFlag == 0) {
        r.pauseFlag = 1;
        r.updateHold();
        Q_EMIT pauseStateChanged(PauseState::Requested);
        return;
    }
    r.pauseFlag = 0;
    r.pauseShown = false;
    r.updateHold();
    Q_EMIT pauseStateChanged(PauseState::Running);
    // The run waits in Paused with nothing queued: resume it from the event loop, as the
    // next pass of its wait would have.
    if (r.phase == Impl::Phase::Paused)
        r.yieldThen(Impl::Phase::PauseYield, &Impl::afterPauseYield);
}

void BenchmarkEngine::cmdSkip_Click() {
    if (!isRunning())
        return;
    m->skipFlag = true;
    m->updateHold();
    Q_EMIT skipPendingChanged(true);
}

void BenchmarkEngine::stop() {
    if (!isRunning())
        return;
    Impl& r = *m;
    r.stopFlag = true;
    r.updateHold();
    if (r.phase == Impl::Phase::Checking)
        r.checker->stop();
    // Paused, nothing is queued: wake the run so it can end.
    if (r.phase == Impl::Phase::Paused)
        r.yieldThen(Impl::Phase::PauseYield, &Impl::afterPauseYield);
}

bool BenchmarkEngine::wasStopped() const {
    return m->stopFlag;
}

int BenchmarkEngine::pauseFlag() const {
    return m->pauseFlag;
}

bool BenchmarkEngine::skipFlag() const {
    return m->skipFlag;
}

int BenchmarkEngine::currentRow() const {
    return m->currentRow;
}

const RunRequest& BenchmarkEngine::request() const {
    return m->request;
}

double BenchmarkEngine::percentDone() const {
    return m->percentDone;
}

const FastestServers& BenchmarkEngine::fastest() const {
    return m->fastest;
}

RunOutcome BenchmarkEngine::outcome() const {
    return {m->stopFlag, m->fastest};
}

const QList<ServerChecks>& BenchmarkEngine::checks() const {
    return m->checker->results();
}

const RunFigures& BenchmarkEngine::figures() const {
    return m->runFigures;
}

} // namespace tarnbell::core
