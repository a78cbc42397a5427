#include "core/run/runwording.h"

#include <QLocale>

namespace tarnbell::core {

QString queryingText(const QString& serverEntry, const QString& recordType, const QString& domain) {
    return QStringLiteral("Querying ") + serverEntry + QStringLiteral(" for ") + recordType +
           QStringLiteral(" record of ") + domain;
}

QString progressText(double percentDone) {
    return QLocale().toString(percentDone, 'f', 2) + QStringLiteral("% complete");
}

QString progressCompleteText() {
    return QStringLiteral("100% complete");
}

CompletionWording completionWording(const QString& bestMeanServer,
                                    const QString& bestMedianServer) {
    if (bestMedianServer == bestMeanServer)
        return {bestMeanServer, QStringLiteral(" was"), QString()};
    return {bestMeanServer + QStringLiteral(" / ") + bestMedianServer, QStringLiteral("s were"),
            QStringLiteral("\r\n(mean average/median average)")};
}

QString completionStatus(const CompletionWording& wording) {
    return QStringLiteral("Completed! - Fastest DNS Server") + wording.verb + QStringLiteral(": ") +
           wording.names;
}

QString completionText(const CompletionWording& wording) {
    return QStringLiteral("Completed!\r\n\r\nFastest server") + wording.verb +
           QStringLiteral(":\r\n") + wording.names + wording.note;
}

QString completionStatusText(const RunOutcome& outcome) {
    if (outcome.stopped)
        return QStringLiteral("Stopped.");
    if (!outcome.fastest.any())
        return QStringLiteral("No DNS server answered.");
    return completionStatus(completionWording(outcome.fastest.byMean, outcome.fastest.byMedian));
}

QString completionMessageText(const RunOutcome& outcome) {
    if (!outcome.fastest.any())
        return QStringLiteral("No DNS server answered.");
    return completionText(completionWording(outcome.fastest.byMean, outcome.fastest.byMedian));
}

} // namespace tarnbell::core
