#include "core/history/runrecord.h"

#include "core/results/statistics.h"
#include "core/run/benchmarkengine.h"

namespace tarnbell::core {

QString runToolName(RunTool tool) {
    return tool == RunTool::Window ? QStringLiteral("window") : QStringLiteral("cli");
}

RunRecord recordOfRun(const BenchmarkEngine& engine, const QList<ServerFigures>& figures,
                      RunTool tool, const QDateTime& startedAt, double timeLimitSeconds) {
    const RunRequest& request = engine.request();
    RunRecord run;
    run.settings.startedAt = startedAt;
    run.settings.endedAt = QDateTime::currentDateTimeUtc();
    run.settings.tool = tool;
    run.settings.recordType = recordTypeMnemonic(request.recordTypeChoice);
    run.settings.rounds = request.rounds;
    run.settings.kinds = request.kinds;
    run.settings.timeLimitSeconds = timeLimitSeconds;
    run.settings.interrupted = engine.wasStopped();
    run.servers = request.servers;
    run.domains = request.domains;
    run.lookups = engine.figures().lookups();
    run.figures = figures;
    return run;
}

} // namespace tarnbell::core
