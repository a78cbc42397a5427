#pragma once
// The window's settings for the stream transports, as tarnbell-cli's --fresh-connections and
// --ca-file: every lookup timed on a new connection, and a private certificate authority
// trusted beside the system's. Both apply from the next run.

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <functional>

class QWidget;

namespace tarnbell::core {
class LookupProbe;
}

namespace tarnbell::gui {

struct WindowControls;

// Asks the user for a CA file, starting in `folder`; `done` gets its path, or the empty
// text when none was chosen.
using PickFile = std::function<void(QWidget* owner, const QString& folder,
                                    std::function<void(const QString&)> done)>;

class TransportChoice final : public QObject {
    Q_OBJECT
public:
    // Without `pick`, the file is asked for with the program's open-file dialog.
    TransportChoice(const WindowControls& controls, PickFile pick, QWidget* owner);

    QString caFile() const { return m_caFile; }
    // A remembered file, taken as it is: it is read when a run starts.
    void setCaFile(const QString& path);

    // Hands the choices to `probe` for the run about to start. False, after a message box,
    // when the CA file can no longer be read: a run would then fail every TLS and HTTPS
    // server without saying why.
    bool applyTo(core::LookupProbe& probe);
    // The authorities the last applyTo() handed over: the checks verify a server's
    // designated endpoints against them too.
    const QList<QSslCertificate>& certificates() const { return m_certificates; }

private:
    void pick();
    void take(const QString& path);
    void showCaFile();

    const WindowControls& m_ui;
    PickFile m_pick;
    QWidget* m_owner;
    QString m_caFile;
    QList<QSslCertificate> m_certificates;
};

} // namespace tarnbell::gui
