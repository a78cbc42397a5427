#pragma once
// The words a run is told in, shared by the window and the command-line tool: the lookup under
// way, the progress line and the completion texts.

#include "core/results/verdict.h"

#include <QString>

namespace tarnbell::core {

// "Querying 9.9.9.9 - Quad9 for A record of example.com"
QString queryingText(const QString& serverEntry, const QString& recordType, const QString& domain);

// The progress line while a run goes: "37.50% complete" (two decimals, the current
// locale's decimal separator), and the fixed text at its end.
QString progressText(double percentDone);
QString progressCompleteText();

// How the result is worded: one name when the mean and the median agree on the fastest
// server, both otherwise.
struct CompletionWording {
    QString names; // "E", or "mean winner / median winner"
    QString verb;  // " was" or "s were"
    QString note;  // empty, or CR LF "(mean average/median average)"
};

CompletionWording completionWording(const QString& bestMeanServer, const QString& bestMedianServer);
// "Completed! - Fastest DNS Server was: E", for the status line.
QString completionStatus(const CompletionWording& wording);
// "Completed!" CR LF CR LF "Fastest server was:" CR LF "E" (and the note), for the caller.
QString completionText(const CompletionWording& wording);

// How a run ended.
struct RunOutcome {
    bool stopped = false;   // by a stop, before every lookup was made
    FastestServers fastest; // none when no server answered
};
// The status line after a run: "Stopped.", "No DNS server answered." or completionStatus().
QString completionStatusText(const RunOutcome& outcome);
// The completion message: "No DNS server answered." or completionText().
QString completionMessageText(const RunOutcome& outcome);

} // namespace tarnbell::core
