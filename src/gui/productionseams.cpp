// The window as the program runs it: the UDP probe, the machine's resolver configuration and
// the search service of the settings.
// Kept apart so that tests, which bring their own probe, do not link the real one.

#include "core/localdns.h"
#include "core/probe.h"
#include "frmMain.h"

#include <QCoreApplication>
#include <QSettings>

namespace tarnbell::gui {

WindowSeams WindowSeams::production() {
    WindowSeams seams;
    seams.probe = std::make_unique<core::Probe>();
    seams.localResolver = [] { return core::GetLocalDNS(); };
    // The program's own settings; without an organisation name Qt would read them from an
    // "Unknown Organization" folder.
    const QString organisation = QCoreApplication::organizationName();
    const QSettings settings(QSettings::UserScope,
                             organisation.isEmpty() ? QStringLiteral("Tarnbell") : organisation,
                             QCoreApplication::applicationName());
    seams.harvest.search = core::SearchTarget::fromSettings(settings);
    return seams;
}

} // namespace tarnbell::gui

frmMain::frmMain(QWidget* parent) : frmMain(tarnbell::gui::WindowSeams::production(), parent) {}
