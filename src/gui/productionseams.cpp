// The window as the program runs it: the UDP probe, the machine's resolver configuration and
// the search service of the settings.
// Kept apart so that tests, which bring their own probe, do not link the real one.

#include "core/localdns.h"
#include "core/probe.h"
#include "frmMain.h"

#include <QSettings>
#include <QSslCertificate>

namespace tarnbell::gui {

WindowSeams WindowSeams::production() {
    WindowSeams seams;
    auto probe = std::make_unique<core::Probe>();
    seams.localResolver = [] { return core::GetLocalDNS(); };
    // The platform's standard place: ~/.config/Tarnbell/tarnbell.conf on Linux.
    seams.settings = [] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Tarnbell"), QStringLiteral("tarnbell"));
    };
    const std::unique_ptr<QSettings> settings = seams.settings();
    seams.harvest.search = core::SearchTarget::fromSettings(*settings);
    // Stream transports, as tarnbell-cli's --fresh-connections and --ca-file: a new
    // connection for every lookup, and a private authority trusted beside the system's.
    probe->setFreshConnections(
        settings->value(QStringLiteral("transports/freshConnections")).toBool());
    const QString caFile = settings->value(QStringLiteral("transports/caFile")).toString();
    if (!caFile.isEmpty())
        probe->setExtraCertificates(QSslCertificate::fromPath(caFile, QSsl::Pem));
    seams.probe = std::move(probe);
    return seams;
}

} // namespace tarnbell::gui

frmMain::frmMain(QWidget* parent) : frmMain(tarnbell::gui::WindowSeams::production(), parent) {}
