#pragma once
// "Get URLs": the window's side of a harvest. With 99 or more domains, or else servers, it
// shows that list's limit message and stops. Otherwise it disables cmdConnect, cmdGo, cDNST,
// cGResults and rand, in this order, before starting the harvester (whose finished() can come
// before start() returns), shows its status texts in lS and appends the names it finds to
// lDomains. When the harvest ends it enables cGResults, rand, cmdConnect, cmdGo and cDNST, in
// this order; after a harvest that got its page it shows the randomising status, draws a new
// seed, recounts and shows the finished status. Either way the status line returns to
// "Ready." later; after a failure lS keeps the failure's text until then and the seed stays
// for a retry. Label4 names the search service asked.

#include "core/harvest/harvester.h"

#include <QObject>
#include <QString>
#include <chrono>

class frmMain;
class QWidget;

namespace tarnbell::gui {

// Where the harvester searches: the search service of the settings in the program, a
// loopback server with its own certificate authority and a short time limit in tests.
struct HarvestTarget {
    core::SearchTarget search;
    std::chrono::milliseconds timeLimit = core::Harvester::DefaultTimeLimit;
};

class HarvestControl final : public QObject {
    Q_OBJECT
public:
    HarvestControl(frmMain& window, const HarvestTarget& target);

    // The harvester lives as long as the window, so every harvest also reads the text that
    // earlier ones received.
    core::Harvester* harvester() const { return m_harvester; }

    // A click on cmdConnect.
    void start();

private:
    void showSearchHost();
    QList<QWidget*> lockOrder() const;
    QList<QWidget*> unlockOrder() const;
    void onNamesHarvested(const QStringList& names);
    void onFinished(bool ok);

    frmMain& m_window;
    HarvestTarget m_target;
    core::Harvester* m_harvester;
    qsizetype m_added = 0; // names the domain list took in this harvest
};

} // namespace tarnbell::gui
