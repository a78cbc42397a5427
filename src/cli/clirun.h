#pragma once
// One benchmark run of the command-line tool: the window's engine and result lists with the
// real UDP probe, a progress bar on the terminal, and the CSV and JSON written at the end,
// also when SIGINT, SIGTERM or SIGHUP ends the run early.

#include "cli/clioptions.h"

#include <QObject>
#include <memory>

namespace tarnbell::cli {

class CliRun final : public QObject {
    Q_OBJECT
public:
    explicit CliRun(const CliOptions& options, QObject* parent = nullptr);
    ~CliRun() override;

    // Starts the run; done() follows from the event loop once it has ended and the outputs
    // are written. With --every the run starts again on schedule until a stop signal.
    void start();

Q_SIGNALS:
    void done(int exitStatus);

private:
    // A stop signal: the run ends after the lookup under way, its outputs written.
    void stop(int signalNumber);
    void startRun();
    void finish();

    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace tarnbell::cli
