#include "cli/clirun.h"

#include "cli/outputs.h"
#include "cli/progressline.h"
#include "cli/texttable.h"
#include "core/benchmarkengine.h"
#include "core/csvexport.h"
#include "core/figurestablemodel.h"
#include "core/localdns.h"
#include "core/probe.h"
#include "core/resultmodels.h"
#include "core/resultsortproxy.h"
#include "core/runreport.h"
#include "core/statistics.h"

#include <QJsonDocument>
#include <chrono>
#include <cmath>

namespace tarnbell::cli {

namespace {

// The probe counts its wait in ten ticks, as the window's one-second timer does.
constexpr int kTimeoutTicks = 10;

std::chrono::milliseconds tickInterval(double timeoutSeconds) {
    const auto ms = std::lround(timeoutSeconds * 1000.0 / kTimeoutTicks);
    return std::chrono::milliseconds(std::max<long>(ms, 1));
}

} // namespace

struct CliRun::Impl {
    CliOptions options;
    core::Probe probe;
    core::LookupTableModel lookups;
    core::SummaryTableModel summary;
    core::ResultSortProxy lookupOrder{core::ResultSortProxy::List::Lookups};
    core::ResultSortProxy summaryOrder{core::ResultSortProxy::List::Summary};
    core::BenchmarkEngine engine{&probe, &lookups, &summary};
    core::RunRecorder recorder{&engine, &summary};
    ProgressLine progress;

    explicit Impl(const CliOptions& o)
        : options(o), progress(stderr, !o.quiet && isTerminal(stderr)) {
        lookupOrder.setSourceModel(&lookups);
        summaryOrder.setSourceModel(&summary);
        probe.setTimeout(kTimeoutTicks, tickInterval(options.timeoutSeconds));
        engine.setLocalResolverSource([] { return core::GetLocalDNS(); });
    }
};

CliRun::CliRun(const CliOptions& options, QObject* parent)
    : QObject(parent), m(std::make_unique<Impl>(options)) {
    core::BenchmarkEngine& engine = m->engine;
    // The summary is ordered by mean after every server, as the window orders it.
    connect(&engine, &core::BenchmarkEngine::summaryResortRequested, this,
            [this] { m->summaryOrder.resortByMean(); });
    connect(&engine, &core::BenchmarkEngine::progressChanged, this,
            [this](const QString&, double percent, core::Rgb) { m->progress.setPercent(percent); });
    connect(&engine, &core::BenchmarkEngine::statusChanged, this, [this](const QString& text) {
        if (text.startsWith(QLatin1String("Querying ")))
            m->progress.setLookup(text);
    });
    connect(&engine, &core::BenchmarkEngine::finished, this, &CliRun::finish);
}

CliRun::~CliRun() = default;

void CliRun::start() {
    m->engine.BenchmarkDNS(
        {m->options.servers, m->options.domains, m->options.recordTypeChoice, m->options.rounds});
}

void CliRun::finish(const QString& completionText) {
    m->progress.clear();

    // The same text the window's Export CSV builds, from the lists in their shown order
    // with the columns the window shows at first.
    const QString csv =
        core::exportText(core::snapshotTable(m->lookupOrder, core::kLookupColumnWidths),
                         core::snapshotTable(m->summaryOrder, core::kSummaryColumnWidths));
    const QList<core::ServerFigures> servers = m->recorder.servers();
    QJsonObject json = core::runReportJson(core::recordTypeMnemonic(m->options.recordTypeChoice),
                                           m->recorder.lookups(), servers);
    json.insert(QStringLiteral("timeout_seconds"), m->options.timeoutSeconds);

    QStringList problems;
    if (QString problem = writeOutput(m->options.outputPath, core::exportFileBytes(csv));
        !problem.isEmpty())
        problems.append(problem);
    if (!m->options.jsonPath.isEmpty()) {
        if (QString problem = writeOutput(m->options.jsonPath, QJsonDocument(json).toJson());
            !problem.isEmpty())
            problems.append(problem);
    }

    QString text = completionText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    printToStderr(text + QLatin1Char('\n'));
    // The table is for a reader at a terminal, as the progress bar is; scripts read the JSON.
    if (!m->options.quiet && isTerminal(stderr)) {
        core::FiguresTableModel table;
        table.setFigures(servers);
        printToStderr(QLatin1Char('\n') + alignedText(table));
    }
    for (const QString& problem : problems)
        printProblem(problem);
    Q_EMIT done(problems.isEmpty() ? ExitFinished : ExitOutputFailed);
}

} // namespace tarnbell::cli
