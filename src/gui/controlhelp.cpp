#include "controlhelp.h"

#include "resultview.h"
#include "statusstrip.h"
#include "windowcontrols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace tarnbell::gui {

namespace {

void describe(QWidget* control, const QString& name, const QString& tip) {
    control->setAccessibleName(name);
    control->setToolTip(tip);
}

} // namespace

QString AcceptedServerForms() {
    return QStringLiteral("An IPv4 or IPv6 address or a host name, optionally with :port "
                          "([IPv6]:port), or the same after tcp://, tls:// or https:// "
                          "(https://host/path; tls://address#name checks name's certificate), "
                          "then optionally \" - \" and a label");
}

QString AcceptedDomainForms() {
    return QStringLiteral("A domain name such as www.example.com, asked exactly as typed");
}

void ShowPauseCaption(QPushButton* button, bool paused) {
    // A caption sets its own mnemonic, none for "Resume": the key is given after it.
    button->setText(paused ? QStringLiteral("Resume") : QStringLiteral("&Pause"));
    button->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
}

void DescribeControls(const WindowControls& c) {
    describe(c.cDNST, QStringLiteral("DNS record type"),
             QStringLiteral("The record type every server is asked for"));
    describe(c.rounds, QStringLiteral("Rounds"),
             QStringLiteral("How often every server is asked about the domain list; the details "
                            "tell each name's first ask from its repeats"));
    describe(c.timeLimit, QStringLiteral("Time limit"),
             QStringLiteral("How long each lookup waits for its answer. One without an answer "
                            "counts as 10 s (10000 ms) in every figure whatever the limit, so "
                            "runs with different limits compare"));
    describe(c.chkFreshConnections, QStringLiteral("Fresh connection for every lookup"),
             QStringLiteral("TCP, TLS and HTTPS servers: time every lookup on a new connection, "
                            "its set-up included, instead of keeping one per server"));
    describe(c.cmdCaFile, QStringLiteral("Trusted CA file"),
             QStringLiteral("Trust the certificate authority in a PEM file beside the system's, "
                            "e.g. a private resolver's (TLS and HTTPS servers)"));
    describe(c.cmdClearCaFile, QStringLiteral("Forget the trusted CA file"),
             QStringLiteral("Trust the system's certificate authorities only"));
    describe(c.chkChecks, QStringLiteral("Check each server"),
             QStringLiteral("Before its lookups, untimed: does each server make up answers for "
                            "names that do not exist, validate DNSSEC, let public names point "
                            "at private addresses, answer over TCP and with EDNS, and which "
                            "encrypted endpoints does it announce (the Checks tab)"));
    describe(c.cmdGo, QStringLiteral("Benchmark"),
             QStringLiteral("Ask every server about every domain and time the answers (Enter)"));
    describe(c.cmdStop, QStringLiteral("Stop the run"),
             QStringLiteral("End the run after the lookup under way and sum up what was "
                            "measured (Escape)"));
    describe(c.cmdPause, QStringLiteral("Pause or resume"),
             QStringLiteral("Pause the run after the lookup under way, or go on (Alt+P)"));
    describe(c.dcount, QStringLiteral("Number of DNS servers"),
             QStringLiteral("DNS servers in the list (at most 99)"));
    describe(c.cmdRandomD, QStringLiteral("Shuffle the DNS servers"),
             QStringLiteral("Put the DNS servers in a random order"));
    describe(c.cServersD, QStringLiteral("Remove the selected DNS servers"),
             QStringLiteral("Remove the selected DNS servers (Delete)"));
    describe(c.cServers, QStringLiteral("Add a DNS server"),
             QStringLiteral("Add a DNS server: ") + AcceptedServerForms());
    describe(c.lServers, QStringLiteral("DNS servers"),
             QStringLiteral("The servers to test. Double-click to edit; right-click for more"));
    describe(c.ncount, QStringLiteral("Number of domain names"),
             QStringLiteral("Domain names in the list (at most 99)"));
    describe(c.cmdRandomN, QStringLiteral("Shuffle the domain names"),
             QStringLiteral("Put the domain names in a random order"));
    describe(c.cDomainD, QStringLiteral("Remove the selected domain names"),
             QStringLiteral("Remove the selected domain names (Delete)"));
    describe(c.cDomain, QStringLiteral("Add a domain name"),
             QStringLiteral("Add a domain name: ") + AcceptedDomainForms());
    describe(c.lDomains, QStringLiteral("Domain names"),
             QStringLiteral("The names every server is asked about. Double-click to edit; "
                            "right-click for more"));
    describe(c.cGResults, QStringLiteral("Number of domains to harvest"),
             QStringLiteral("How many names one search adds to the domain list"));
    describe(c.cmdConnect, QStringLiteral("Get URLs"),
             QStringLiteral("Search the web for the seed word and add the result hosts to the "
                            "domain list"));
    describe(c.rand, QStringLiteral("Search seed"),
             QStringLiteral("The word the harvester searches for"));
    describe(c.reseed, QStringLiteral("New random seed"),
             QStringLiteral("Put a new random three-letter word in the seed box"));
    describe(c.lDNS, QStringLiteral("DNS server under test"),
             QStringLiteral("The server being tested now"));
    describe(c.lvDNS, QStringLiteral("Lookups"),
             QStringLiteral("One row per lookup. Click a title to sort; Ctrl+C copies the "
                            "selected rows"));
    describe(c.lwhowon, QStringLiteral("Fastest server"),
             QStringLiteral("The fastest server by mean and by median"));
    describe(c.cmdSkip, QStringLiteral("Skip this server"),
             QStringLiteral("Skip the remaining domains of the server under test"));
    describe(c.lvSummary, QStringLiteral("Server summary"),
             QStringLiteral("One row per server and run: mean and median. The fastest in "
                            "blue, the machine's own resolver in red"));
    describe(c.cmdExport, QStringLiteral("Export CSV"),
             QStringLiteral("Save both result lists as a CSV file"));
    describe(c.cmdClear, QStringLiteral("Clear results"),
             QStringLiteral("Empty both result lists (not during a run)"));
    describe(c.lS, QStringLiteral("Status"), QStringLiteral("What the program is doing"));
    describe(c.lProgress, QStringLiteral("Progress"),
             QStringLiteral("How much of the run is done"));
    describe(c.sProgressOut, QStringLiteral("Status and progress"),
             QStringLiteral("Long ticks mark each server's share of a run, short ticks each "
                            "lookup"));
}

} // namespace tarnbell::gui
