// The window as the program runs it: the UDP probe, the machine's resolver configuration and
// the search service of the settings.
// Kept apart so that tests, which bring their own probe, do not link the real one.

#include "core/probe/localdns.h"
#include "core/probe/probe.h"
#include "frmMain.h"

#include <QSettings>

namespace tarnbell::gui {

WindowSeams WindowSeams::production() {
    WindowSeams seams;
    seams.localResolver = [] { return core::GetLocalDNS(); };
    // The platform's standard place: ~/.config/Tarnbell/tarnbell.conf on Linux.
    seams.settings = [] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Tarnbell"), QStringLiteral("tarnbell"));
    };
    const std::unique_ptr<QSettings> settings = seams.settings();
    seams.harvest.search = core::SearchTarget::fromSettings(*settings);
    seams.probe = std::make_unique<core::Probe>();
    return seams;
}

} // namespace tarnbell::gui

frmMain::frmMain(QWidget* parent) : frmMain(tarnbell::gui::WindowSeams::production(), parent) {}
