// tarnbell-cli: the window's benchmark without the window.

#include "cli/clioptions.h"
#include "cli/clirun.h"
#include "cli/outputs.h"
#include "core/lists/defaultservers.h"
#include "core/probe/localdns.h"

#include <QCoreApplication>
#include <csignal>

using namespace tarnbell::cli;

int main(int argc, char* argv[]) {
    // A reader that goes away (`| head`) makes a write fail with EPIPE, reported like any
    // other output failure, instead of killing the program before its files are written.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnbell-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNBELL_VERSION));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments(), [] {
        return tarnbell::core::InitialServers(tarnbell::core::GetLocalDNS());
    });
    if (parsed.action == ParsedCommandLine::Action::ShowText) {
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return ExitFinished;
    }
    if (parsed.action == ParsedCommandLine::Action::Fail) {
        printProblem(parsed.text);
        return ExitBadUsage;
    }
    for (const QString& path : {parsed.options.outputPath, parsed.options.jsonPath}) {
        if (const QString problem = checkOutput(path); !problem.isEmpty()) {
            printProblem(problem);
            return ExitOutputFailed;
        }
    }

    CliRun run(parsed.options);
    QObject::connect(&run, &CliRun::done, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    run.start();
    return QCoreApplication::exec();
}
