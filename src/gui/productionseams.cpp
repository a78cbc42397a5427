// The window as the program runs it: the UDP probe, the machine's resolver configuration and
// the search service of the settings.
// Kept apart so that tests, which bring their own probe, do not link the real one.

#include "core/probe/localdns.h"
#include "core/probe/probe.h"
#include "frmMain.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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
    // ~/.local/share/Tarnbell/history.db on Linux; a folder that cannot be made shows as the
    // history's own message at the first run.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    seams.historyFile = data + QStringLiteral("/history.db");
    return seams;
}

} // namespace tarnbell::gui

frmMain::frmMain(QWidget* parent) : frmMain(tarnbell::gui::WindowSeams::production(), parent) {}
