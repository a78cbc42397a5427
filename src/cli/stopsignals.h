#pragma once
// SIGINT, SIGTERM and SIGHUP as a request to stop: the first is handed to the event loop
// (through a pipe, the one thing a signal handler may safely do), the second ends the
// program at once with status 128 + its number.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace tarnbell::cli {

class StopSignals final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; there is one instance at a time.
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override; // puts the default handlers back

    // The conventional name ("SIGINT") of a signal this class handles.
    static QString name(int signalNumber);

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tarnbell::cli
