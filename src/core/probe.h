#pragma once
// The timed UDP probe: sends one query and waits, driven by the event loop, for the
// matching reply, a socket error or the tenth tick of a one-second timer.

#include "core/lookupprobe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>
#include <chrono>
#include <memory>

class QUdpSocket;

namespace tarnbell::core {

// MX_Query_Speed's text form of elapsed seconds: a leading blank for a value that is not
// negative, "." as the decimal separator, at most 15 significant digits, no trailing
// zeros; "10" (no blank) for anything above ten seconds.
QString formatSeconds(double seconds);

class Probe final : public LookupProbe {
    Q_OBJECT
public:
    explicit Probe(QObject* parent = nullptr);
    ~Probe() override;

    // The wait ends after `ticks` ticks of `interval` (10 x 1000 ms unless a test injects
    // shorter ones).
    void setTimeout(int ticks, std::chrono::milliseconds interval);

    // A call while a lookup is under way is queued: every call gets its own finished(), in
    // the order of the calls. A receiver of finished() may start the next lookup at once;
    // one that wants the probe gone uses deleteLater().
    void MX_Query_Speed(const QString& DNS_Addr, const QString& Domain_Addr,
                        quint16 recordType) override;

    bool isBusy() const;
    // The local port of the one socket, 0 before the first send.
    quint16 localPort() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tarnbell::core
