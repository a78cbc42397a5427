#pragma once
// The controls of the main window, created and laid out in one place. Each control's
// objectName is its name here, so tests and accessibility tools find it by that name.

#include "core/probe/querykind.h"

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QWidget;

namespace tarnbell::gui {

class ResultView;
class StartSplit;
class StatusStrip;

struct WindowControls {
    // Left column.
    QFrame* Frame1 = nullptr;
    QLabel* Label3 = nullptr; // "DNS Record Type"
    QComboBox* cDNST = nullptr;
    QLabel* LabelRounds = nullptr; // "Rounds"
    QSpinBox* rounds = nullptr;    // how often the domain list is asked of every server
    // What each domain is asked as (chkListed, chkCached, chkUncached, chkTopLevel), by
    // QueryKind.
    std::array<QCheckBox*, core::kQueryKindCount> kinds{};

    // Stream transports, for the next run.
    QCheckBox* chkFreshConnections = nullptr; // a new connection for every lookup
    QPushButton* cmdCaFile = nullptr;         // "Trusted CA file…"
    QLabel* lblCaFile = nullptr;              // the chosen file's name
    QPushButton* cmdClearCaFile = nullptr;

    QPushButton* cmdGo = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdStop = nullptr; // ends the run after the lookup under way (Escape)
    QFrame* Frame2 = nullptr;
    QFrame* Picture2 = nullptr;
    QLabel* dcount = nullptr;
    QLabel* Label7 = nullptr; // " DNS servers"
    QPushButton* cmdRandomD = nullptr;
    QPushButton* cServersD = nullptr;
    QPushButton* cServers = nullptr;
    QListWidget* lServers = nullptr;
    QFrame* Picture1 = nullptr;
    QLabel* ncount = nullptr;
    QLabel* Label6 = nullptr; // " Domain Names"
    QPushButton* cmdRandomN = nullptr;
    QPushButton* cDomainD = nullptr;
    QPushButton* cDomain = nullptr;
    QListWidget* lDomains = nullptr;
    QLabel* Label4 = nullptr; // "Search www.google.com for", or the settings' search host
    QComboBox* cGResults = nullptr;
    QPushButton* cmdConnect = nullptr;
    QLabel* Label5 = nullptr; // "random domains"
    QLabel* Label9 = nullptr; // "with the seed:"
    QLineEdit* rand = nullptr;
    QPushButton* reseed = nullptr;

    // Result lists on the right.
    QLabel* Label1 = nullptr; // "Testing DNS Server:"
    QLabel* lDNS = nullptr;
    ResultView* lvDNS = nullptr;
    QLabel* Label8 = nullptr; // "Fastest Server:"
    QLabel* lwhowon = nullptr;
    QPushButton* cmdSkip = nullptr;
    ResultView* lvSummary = nullptr;
    QTabWidget* resultTabs = nullptr; // "Summary" (lvSummary), then the window's other views
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdClear = nullptr; // empties both result lists

    // The left column (in a scroll area) beside the result lists, and the lookup list above
    // the tabs: both splits are the user's to move, and remembered.
    QSplitter* splitColumns = nullptr;
    StartSplit* startSplit = nullptr; // where splitColumns stands at the first show
    QSplitter* splitResults = nullptr;

    // Status strip along the bottom.
    StatusStrip* sProgressOut = nullptr;
    QLabel* Label2 = nullptr; // "Status"
    QLabel* lS = nullptr;
    QLabel* lProgress = nullptr;
    QWidget* sProgress = nullptr;
};

// Creates every control inside `central` and lays them out: the lists and buttons in a
// column on the left, the result lists on the right, the status strip along the bottom. At
// any size and font each list keeps a few lines: the left column scrolls when the window is
// too short for it.
WindowControls BuildWindowControls(QWidget* central);

} // namespace tarnbell::gui
