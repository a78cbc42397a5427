#pragma once
// The command line of tarnbell-cli: what it accepts, and every check made before a single
// query is sent or a byte written.

#include "cli/probeoptions.h"
#include "core/checks/serverchecks.h"
#include "core/probe/lookupprobe.h"

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <functional>

namespace tarnbell::cli {

enum ExitStatus {
    ExitFinished = 0,     // the run finished and every output was written
    ExitOutputFailed = 1, // an output file could not be written
    ExitBadUsage = 2,     // bad usage or bad input; nothing was sent or written
    // Stopped by a signal: 128 + its number (130 SIGINT, 143 SIGTERM, 129 SIGHUP), the
    // outputs written with what was measured.
    ExitSignalBase = 128,
};

struct CliOptions {
    QStringList servers;                              // server entries, in run order
    QStringList domains;                              // domains, in run order
    QString recordTypeChoice = "MX 15";               // as the window's record-type choice
    double timeoutSeconds = core::kUnansweredSeconds; // the wait for each answer
    QString outputPath;  // the CSV; "-" for standard output, empty for none
    QString jsonPath;    // the JSON; "-" for standard output, empty for none
    QString historyPath; // the history file the run is appended to; empty for none
    bool quiet = false;  // errors only: no progress bar, no completion text
    int rounds = 1;      // how often the domain list is asked of every server
    QList<core::QueryKind> kinds = {core::QueryKind::Listed}; // what each domain is asked as
    bool checks = false;             // each server checked before its lookups
    core::CheckNames checkNames;     // the names the checks ask about
    bool discover = false;           // designated encrypted endpoints join the run
    bool freshConnections = false;   // stream transports: a new connection per lookup
    QList<QSslCertificate> extraCas; // trusted beside the system's authorities
    ProbeOptions probe;              // --every and the metrics outputs
};

struct ParsedCommandLine {
    enum class Action {
        Run,      // run the benchmark with `options`
        ShowText, // --help or --version: `text` goes to standard output, exit 0
        Fail,     // `text` (one line) goes to standard error, exit ExitBadUsage
    };
    Action action = Action::Fail;
    QString text;
    CliOptions options;
};

// Parses `arguments` (argv, program name first). `defaultServers` gives the window's
// default server list for --defaults; it is called only when that option is given.
ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::function<QStringList()>& defaultServers);

} // namespace tarnbell::cli
