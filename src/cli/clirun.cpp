#include "cli/clirun.h"

#include "cli/outputs.h"
#include "cli/probemetrics.h"
#include "cli/progressline.h"
#include "cli/stopsignals.h"
#include "cli/texttable.h"
#include "core/checks/checkstablemodel.h"
#include "core/export/csvexport.h"
#include "core/history/historystore.h"
#include "core/probe/localdns.h"
#include "core/probe/probe.h"
#include "core/results/figurestablemodel.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/runreport.h"
#include "core/results/statistics.h"
#include "core/run/benchmarkengine.h"
#include "core/run/runwording.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace tarnbell::cli {

namespace {

const QString kStandardOutput = QStringLiteral("-");

} // namespace

struct CliRun::Impl {
    CliOptions options;
    core::Probe probe;
    core::LookupTableModel lookups;
    core::SummaryTableModel summary;
    core::ResultSortProxy lookupOrder{core::ResultSortProxy::List::Lookups};
    core::ResultSortProxy summaryOrder{core::ResultSortProxy::List::Summary};
    core::BenchmarkEngine engine{&probe, &lookups, &summary};
    ProgressLine progress;
    QTimer progressClock; // the times on the progress line move on between lookups too
    StopSignals stopSignals;
    int stopSignal = 0; // the signal that stopped the run, 0 for none
    QDateTime startedAt;
    int serverIndex = 0;
    qsizetype finishedLookups = 0;
    // --every: the runs' metrics, when each run started, the wait for the next one, and the
    // exit status the last run would have ended the program with.
    ProbeMetrics metrics;
    QElapsedTimer runClock;
    QTimer nextRun;
    int lastStatus = ExitFinished;

    explicit Impl(const CliOptions& o)
        : options(o), progress(stderr, !o.quiet && isTerminal(stderr)), metrics(o.probe) {
        lookupOrder.setSourceModel(&lookups);
        summaryOrder.setSourceModel(&summary);
        // To the millisecond: 0.015 s waits 15 ms, not two tenths of a tick more.
        probe.setTimeLimit(
            std::chrono::milliseconds(std::max(1L, std::lround(options.timeoutSeconds * 1000.0))));
        probe.setFreshConnections(options.freshConnections);
        probe.setExtraCertificates(options.extraCas);
        engine.setLocalResolverSource([] { return core::GetLocalDNS(); });
        progressClock.setInterval(1000);
        nextRun.setSingleShot(true);
    }

    qsizetype totalLookups() const {
        return options.rounds * options.servers.size() * options.domains.size() *
               options.kinds.size();
    }
};

CliRun::CliRun(const CliOptions& options, QObject* parent)
    : QObject(parent), m(std::make_unique<Impl>(options)) {
    core::BenchmarkEngine& engine = m->engine;
    // The summary is ordered by mean after every server, as the window orders it.
    connect(&engine, &core::BenchmarkEngine::serverSummarised, this,
            [this] { m->summaryOrder.resortByMean(); });
    connect(&engine, &core::BenchmarkEngine::lookupMeasured, this, [this] {
        m->progress.setFinished(++m->finishedLookups, m->totalLookups());
        m->progress.setPercent(m->engine.percentDone());
    });
    connect(&engine, &core::BenchmarkEngine::lookupStarted, this, [this](int, int domainIndex) {
        m->progress.setLookup(core::recordTypeMnemonic(m->options.recordTypeChoice),
                              m->options.servers.value(m->serverIndex),
                              m->options.domains.value(domainIndex));
    });
    connect(&engine, &core::BenchmarkEngine::serverStarted, this,
            [this](int index) { m->serverIndex = index; });
    connect(&engine, &core::BenchmarkEngine::finished, this, &CliRun::finish);
    connect(&m->progressClock, &QTimer::timeout, this, [this] { m->progress.redraw(); });
    connect(&m->stopSignals, &StopSignals::received, this, &CliRun::stop);
    connect(&m->nextRun, &QTimer::timeout, this, &CliRun::startRun);
}

CliRun::~CliRun() = default;

void CliRun::start() {
    if (const QString problem = m->metrics.start(); !problem.isEmpty()) {
        printProblem(problem);
        Q_EMIT done(ExitOutputFailed);
        return;
    }
    startRun();
}

void CliRun::startRun() {
    // A run after the first starts from empty lists: a probe running for weeks holds one
    // run's rows at a time.
    m->lookups.clear();
    m->summary.clear();
    m->serverIndex = 0;
    m->finishedLookups = 0;
    m->runClock.start();
    if (m->progress.isEnabled())
        m->progressClock.start();
    m->startedAt = QDateTime::currentDateTimeUtc();
    core::RunRequest request{m->options.servers, m->options.domains, m->options.recordTypeChoice,
                             m->options.rounds, m->options.kinds};
    request.checks = m->options.checks;
    request.checkNames = m->options.checkNames;
    request.trustedCas = m->options.extraCas;
    request.checkLimit =
        std::chrono::milliseconds(std::max(1L, std::lround(m->options.timeoutSeconds * 1000.0)));
    request.discover = m->options.discover;
    m->engine.BenchmarkDNS(request);
}

void CliRun::stop(int signalNumber) {
    if (m->stopSignal != 0)
        return;
    // Between two runs of --every: the last run's outputs are written, nothing is under way.
    if (m->nextRun.isActive()) {
        m->nextRun.stop();
        m->stopSignal = signalNumber;
        Q_EMIT done(m->lastStatus == ExitFinished ? ExitSignalBase + signalNumber : m->lastStatus);
        return;
    }
    if (!m->engine.isRunning())
        return;
    m->stopSignal = signalNumber;
    m->engine.stop();
    if (!m->options.quiet) {
        m->progress.clear();
        printProblem(QStringLiteral("%1: stopping after the lookup under way (again to quit at "
                                    "once)")
                         .arg(StopSignals::name(signalNumber)));
        m->progress.redraw();
    }
}

void CliRun::finish() {
    m->progressClock.stop();
    m->progress.clear();
    const bool interrupted = m->engine.wasStopped();

    // Each server's chance of being the fastest costs a thousand resamples: estimated only
    // for the outputs that give it (the JSON, the history, the table at a terminal).
    const bool chancesShown = !m->options.jsonPath.isEmpty() || !m->options.historyPath.isEmpty() ||
                              (!m->options.quiet && isTerminal(stderr));
    const QList<core::ServerFigures> servers = m->engine.figures().servers(
        chancesShown ? core::RunFigures::Chances::Estimate : core::RunFigures::Chances::Skip);
    // Files first: a standard output that blocks or has gone cannot cost them. Each is built
    // only when asked for: on a long run, building one costs as much as thousands of lookups.
    QList<std::pair<QString, QByteArray>> outputs;
    if (!m->options.outputPath.isEmpty()) {
        // The same text the window's Export CSV builds, from the lists in their shown order
        // with the columns the window shows at first.
        const QString csv = core::exportText(core::snapshotTable(m->lookupOrder),
                                             core::snapshotTable(m->summaryOrder));
        outputs.append({m->options.outputPath, core::exportFileBytes(csv)});
    }
    if (!m->options.jsonPath.isEmpty()) {
        QJsonObject json =
            core::runReportJson(core::recordTypeMnemonic(m->options.recordTypeChoice),
                                m->engine.figures().lookups(), servers, m->engine.checks());
        json.insert(QStringLiteral("timeout_seconds"), m->options.timeoutSeconds);
        json.insert(QStringLiteral("interrupted"), interrupted);
        outputs.append({m->options.jsonPath, QJsonDocument(json).toJson()});
    }
    std::stable_partition(outputs.begin(), outputs.end(),
                          [](const auto& output) { return output.first != kStandardOutput; });
    QStringList problems;
    for (const auto& [path, bytes] : std::as_const(outputs)) {
        if (QString problem = writeOutput(path, bytes); !problem.isEmpty())
            problems.append(problem);
    }
    if (QString problem = m->metrics.addRun(m->engine.figures().lookups()); !problem.isEmpty())
        problems.append(problem);

    // After the files, and apart from them: a history that cannot take the run costs it one
    // line, not its exit status.
    QString historyProblem;
    if (!m->options.historyPath.isEmpty()) {
        core::HistoryStore history(m->options.historyPath);
        if (!history.save(core::recordOfRun(m->engine, servers, core::RunTool::CommandLine,
                                            m->startedAt, m->options.timeoutSeconds)))
            historyProblem = history.errorMessage();
    }

    if (interrupted) {
        printProblem(QStringLiteral("interrupted by %1 after %2 of %3 lookups%4")
                         .arg(StopSignals::name(m->stopSignal))
                         .arg(m->engine.figures().lookups().size())
                         .arg(m->totalLookups())
                         .arg(problems.isEmpty() ? QStringLiteral("; what was measured is written")
                                                 : QString()));
    } else if (!m->options.quiet) {
        QString text = core::completionMessageText(m->engine.outcome());
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        printToStderr(text + QLatin1Char('\n'));
    }
    // The table is for a reader at a terminal, as the progress bar is; scripts read the JSON.
    if (!m->options.quiet && isTerminal(stderr)) {
        if (m->options.checks) {
            core::ChecksTableModel checks;
            checks.setChecks(m->engine.checks());
            printToStderr(QStringLiteral("\nChecks:\n") + alignedText(checks));
        }
        core::FiguresTableModel table;
        table.setFigures(servers);
        printToStderr(QLatin1Char('\n') + alignedText(table));
        // Each kind's own figures, when the run asked more than one.
        for (const core::QueryKind kind : std::as_const(m->options.kinds)) {
            if (m->options.kinds.size() < 2)
                break;
            table.setLookupSet(core::lookupSetOf(kind));
            printToStderr(QStringLiteral("\n%1 lookups:\n").arg(core::queryKindWords(kind)) +
                          alignedText(table));
        }
    }
    if (!historyProblem.isEmpty())
        printProblem(historyProblem);
    for (const QString& problem : std::as_const(problems))
        printProblem(problem);
    const int status = !problems.isEmpty() ? ExitOutputFailed
                       : interrupted       ? ExitSignalBase + m->stopSignal
                                           : ExitFinished;
    // A probe keeps going when an output fails once: the next run may write it again.
    if (m->options.probe.everySeconds > 0 && !interrupted) {
        m->lastStatus = status;
        const qint64 period = qint64(m->options.probe.everySeconds) * 1000;
        // Start to start; a run that outlasts the period is followed at once.
        m->nextRun.start(int(std::max<qint64>(0, period - m->runClock.elapsed())));
        return;
    }
    Q_EMIT done(status);
}

} // namespace tarnbell::cli
