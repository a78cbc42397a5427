#pragma once
// The checks of a run's servers, one server after another and one question at a time through
// the run's probe, before the first timed lookup: none of their answers is ever one of the
// run's times. The answers are judged by checkanswers.h; designated endpoints are then
// verified over TLS.

#include "core/checks/serverchecks.h"
#include "core/probe/lookupprobe.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QStringList>
#include <chrono>
#include <memory>

namespace tarnbell::core {

class EndpointVerifier;
struct CheckAnswer;

class ServerChecker final : public QObject {
    Q_OBJECT
public:
    explicit ServerChecker(LookupProbe* probe, QObject* parent = nullptr);
    ~ServerChecker() override;

    // Checks every server of `servers` (entries as listed), asking about `listedName` where a
    // check needs a real name. The probe's results go to answer() meanwhile.
    void start(const QStringList& servers, const QString& listedName, const CheckNames& names,
               const QList<QSslCertificate>& extraCas, std::chrono::milliseconds limit);
    // The probe's result for the question under way.
    void answer(const ProbeResult& result);
    // Ends the checks after the question under way: finished() follows.
    void stop() { m_stopping = true; }

    // One entry per server checked so far, in list order.
    const QList<ServerChecks>& results() const { return m_results; }

Q_SIGNALS:
    void serverChecked(int serverIndex);
    void finished();

private:
    void askNext();
    void serverDone();

    LookupProbe* m_probe;
    QStringList m_servers;
    QList<CheckAsk> m_questions;
    QString m_listedName;
    CheckNames m_names;
    QList<CheckAnswer> m_answers;
    QList<ServerChecks> m_results;
    EndpointVerifier* m_verifier = nullptr;
    qsizetype m_server = 0;
    bool m_stopping = false;
};

} // namespace tarnbell::core
