#include "core/checks/serverchecker.h"

#include "core/checks/checkanswers.h"
#include "core/checks/endpointverifier.h"
#include "core/probe/serverendpoint.h"
#include "core/results/statistics.h"

#include <QRandomGenerator>

namespace tarnbell::core {

ServerChecker::ServerChecker(LookupProbe* probe, QObject* parent)
    : QObject(parent), m_probe(probe) {}

ServerChecker::~ServerChecker() = default;

void ServerChecker::start(const QStringList& servers, const QString& listedName,
                          const CheckNames& names, const QList<QSslCertificate>& extraCas,
                          std::chrono::milliseconds limit) {
    m_servers = servers;
    m_listedName = listedName;
    m_names = names;
    m_results.clear();
    m_server = 0;
    m_stopping = false;
    delete m_verifier;
    m_verifier = new EndpointVerifier(extraCas, limit, this);
    connect(m_verifier, &EndpointVerifier::finished, this, [this](const ServerChecks& checks) {
        m_results.append(checks);
        emit serverChecked(static_cast<int>(m_server));
        ++m_server;
        serverDone();
    });
    serverDone();
}

// Starts the next server's questions, or ends the checks.
void ServerChecker::serverDone() {
    if (m_stopping || m_server >= m_servers.size()) {
        QMetaObject::invokeMethod(this, &ServerChecker::finished, Qt::QueuedConnection);
        return;
    }
    QRandomGenerator random = QRandomGenerator::securelySeeded();
    m_questions = checkQuestions(m_listedName, m_names, random);
    m_answers.clear();
    askNext();
}

void ServerChecker::askNext() {
    const qsizetype asked = m_answers.size();
    const bool stream = parseServerEntry(m_servers.at(m_server)).transport != Transport::Udp;
    // A stream server is asked over a stream already: no question about TCP.
    if (asked == static_cast<qsizetype>(CheckQuestion::OverTcp) && stream) {
        m_answers.append(CheckAnswer{});
        askNext();
        return;
    }
    if (asked < m_questions.size()) {
        m_probe->askCheck(serverAddress(m_servers.at(m_server)), m_questions.at(asked));
        return;
    }
    const QString entry = m_servers.at(m_server);
    const ServerChecks checks = evaluateChecks(entry, stream, m_answers);
    m_verifier->verify(checks, parseServerEntry(entry).address);
}

void ServerChecker::answer(const ProbeResult& result) {
    CheckAnswer answer;
    if (result.outcome == ProbeOutcome::Answered)
        answer.reply = result.reply;
    else
        answer.failure = result.errorText.isEmpty()
                             ? QStringLiteral("no answer within the time limit")
                             : result.errorText;
    m_answers.append(answer);
    if (m_stopping) {
        serverDone();
        return;
    }
    askNext();
}

} // namespace tarnbell::core
