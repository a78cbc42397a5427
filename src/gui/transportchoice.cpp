#include "transportchoice.h"

#include "core/probe/cafile.h"
#include "core/probe/lookupprobe.h"
#include "dialogs.h"
#include "modcommondialog.h"
#include "windowcontrols.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace tarnbell::gui {

namespace {

QString unreadable(const QString& path, const QString& problem) {
    return QStringLiteral("The CA file could not be read: %1 (%2). No certificate authority "
                          "was added; choose another file or clear it with \"-\".")
        .arg(QDir::toNativeSeparators(path), problem);
}

} // namespace

TransportChoice::TransportChoice(const WindowControls& controls, PickFile pick, QWidget* owner)
    : QObject(owner), m_ui(controls), m_pick(std::move(pick)), m_owner(owner) {
    if (!m_pick) {
        m_pick = [](QWidget* parent, const QString& folder,
                    std::function<void(const QString&)> done) {
            ShowOpen(
                parent, QStringLiteral("Trusted CA file"), folder,
                {QStringLiteral("PEM certificates (*.pem *.crt)"), QStringLiteral("All Files (*)")},
                std::move(done));
        };
    }
    connect(m_ui.cmdCaFile, &QPushButton::clicked, this, &TransportChoice::pick);
    connect(m_ui.cmdClearCaFile, &QPushButton::clicked, this, [this] { setCaFile(QString()); });
    showCaFile();
}

void TransportChoice::setCaFile(const QString& path) {
    m_caFile = path;
    showCaFile();
}

void TransportChoice::pick() {
    const QString folder =
        m_caFile.isEmpty() ? QDir::homePath() : QFileInfo(m_caFile).absolutePath();
    m_pick(m_owner, folder, [this](const QString& path) {
        if (!path.isEmpty())
            take(path);
    });
}

// A file without a usable certificate is refused at once, so the choice shown is always
// one that was read.
void TransportChoice::take(const QString& path) {
    const core::CaFile read = core::ReadCaFile(path);
    if (!read.problem.isEmpty()) {
        ShowMessage(m_owner, unreadable(path, read.problem));
        return;
    }
    setCaFile(path);
}

bool TransportChoice::applyTo(core::LookupProbe& probe) {
    // Read again for every run: a renewed authority is taken without choosing it anew.
    core::CaFile read;
    if (!m_caFile.isEmpty()) {
        read = core::ReadCaFile(m_caFile);
        if (!read.problem.isEmpty()) {
            ShowMessage(m_owner, unreadable(m_caFile, read.problem));
            return false;
        }
    }
    probe.setFreshConnections(m_ui.chkFreshConnections->isChecked());
    probe.setExtraCertificates(read.certificates);
    m_certificates = read.certificates;
    return true;
}

void TransportChoice::showCaFile() {
    m_ui.lblCaFile->setText(m_caFile.isEmpty() ? QStringLiteral("none")
                                               : QFileInfo(m_caFile).fileName());
    m_ui.lblCaFile->setToolTip(m_caFile.isEmpty()
                                   ? QStringLiteral("Only the system's certificate authorities")
                                   : QDir::toNativeSeparators(m_caFile));
}

} // namespace tarnbell::gui
