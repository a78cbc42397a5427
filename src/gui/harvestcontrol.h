#pragma once
// "Get URLs": the window's side of a harvest. Checks the list limits, locks the harvest's
// controls, runs the window's one harvester and shows what it says, appends the names it
// finds to the domain list and unlocks the window however the harvest ends.

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
