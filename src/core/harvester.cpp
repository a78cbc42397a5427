#include "core/harvester.h"

#include "core/harvestparser.h"

#include <QLocale>
#include <QTcpSocket>

namespace tarnbell::core {

namespace {

// Status texts always name the search service, even when a test points us elsewhere.
QString searchHost() {
    return QString::fromLatin1(SearchHost);
}

const QString NoNames = QStringLiteral(" No URLs added.");

} // namespace

Harvester::Harvester(QObject* parent) : QObject(parent), m_socket(new QTcpSocket(this)) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DefaultTimeLimit);
    connect(m_socket, &QTcpSocket::connected, this, &Harvester::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &Harvester::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &Harvester::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Harvester::onError);
    connect(&m_deadline, &QTimer::timeout, this, &Harvester::onTimeLimit);
}

// The socket aborts in its destructor; cut its signals first so that no handler runs on a
// harvester that is half destroyed.
Harvester::~Harvester() {
    m_socket->disconnect(this);
}

void Harvester::setTimeLimit(std::chrono::milliseconds limit) {
    m_deadline.setInterval(limit);
}

void Harvester::setBufferLimit(qsizetype bytes) {
    m_buffer.setLimit(bytes);
}

QString Harvester::randomisingStatus() {
    return QStringLiteral("Randomising domain search seed.");
}

QString Harvester::finishedStatus() {
    return QStringLiteral("Finished retrieving URLs from ") + searchHost() +
           QStringLiteral(" and randomised domain search seed.");
}

bool Harvester::start(const QString& host, quint16 port, const QString& seed, int count,
                      const QStringList& domains) {
    return start(
        host, port, [seed] { return seed; }, count, [domains] { return domains; });
}

bool Harvester::start(const QString& host, quint16 port, SeedSource seed, int count,
                      DomainsSource domains) {
    if (isBusy())
        return false;
    m_seed = std::move(seed);
    m_domains = std::move(domains);
    m_count = count;

    // Whatever the last harvest left of its connection goes first; its signals find us
    // idle and are ignored.
    Q_EMIT statusChanged(QStringLiteral("Ensuring connection is available..."));
    m_socket->abort();

    m_phase = Phase::Connecting;
    m_buffer.startReply();
    Q_EMIT statusChanged(QStringLiteral("Connecting to ") + searchHost());
    m_deadline.start();
    m_socket->connectToHost(host, port);
    return true;
}

void Harvester::onConnected() {
    if (m_phase != Phase::Connecting)
        return;
    m_phase = Phase::Receiving;
    m_socket->write(searchRequestLine(m_seed ? m_seed() : QString(), m_count));
}

void Harvester::onReadyRead() {
    if (m_phase != Phase::Receiving)
        return;
    Q_EMIT statusChanged(QStringLiteral("Receiving data from ") + searchHost());
    m_buffer.append(m_socket->readAll());
    // Reading on and dropping would keep a host that never stops busy until the time limit;
    // a reply this large is no result page, so the harvest ends here.
    if (m_buffer.replyBytes() > m_buffer.limit()) {
        const QString size =
            QLocale::c().formattedDataSize(m_buffer.limit(), 0, QLocale::DataSizeIecFormat);
        fail(searchHost() + QStringLiteral(" sent more than ") + size +
             QStringLiteral(" without finishing its reply.") + NoNames);
    }
}

// The host closed the connection: its reply is complete.
void Harvester::onDisconnected() {
    if (m_phase != Phase::Receiving)
        return;
    if (m_socket->bytesAvailable() > 0) {
        onReadyRead(); // what arrived together with the close
        if (m_phase != Phase::Receiving)
            return;
    }
    m_deadline.stop();
    Q_EMIT statusChanged(QStringLiteral("Disconnecting..."));
    Q_EMIT statusChanged(QStringLiteral("Parsing google results..."));
    const QStringList names =
        harvestNames(m_buffer.text(), m_domains ? m_domains() : QStringList(), m_count);
    for (qsizetype i = 0; i < names.size(); ++i)
        Q_EMIT statusChanged(QStringLiteral("Found URL in results from ") + searchHost());
    Q_EMIT namesHarvested(names);
    Q_EMIT statusChanged(QStringLiteral("Finished parsing URLs from ") + searchHost());
    finish(true);
}

void Harvester::onError(QAbstractSocket::SocketError error) {
    if (m_phase == Phase::Idle)
        return;
    // The host closing after its reply is the normal end; disconnected() follows.
    if (error == QAbstractSocket::RemoteHostClosedError && m_phase == Phase::Receiving)
        return;
    const QString what = m_phase == Phase::Connecting ? QStringLiteral("Could not connect to ")
                                                      : QStringLiteral("Lost the connection to ");
    fail(what + searchHost() + QStringLiteral(": ") + m_socket->errorString() + u'.' + NoNames);
}

void Harvester::onTimeLimit() {
    if (m_phase == Phase::Idle)
        return;
    const QString what = m_phase == Phase::Connecting
                             ? QStringLiteral(" did not answer in time.")
                             : QStringLiteral(" did not finish its reply in time.");
    fail(searchHost() + what + NoNames);
}

// The text received so far stays in the search buffer: it was received from the search
// host like any other and later harvests may use it.
void Harvester::fail(const QString& status) {
    abort();
    Q_EMIT statusChanged(status);
    Q_EMIT finished(false);
}

void Harvester::abort() {
    if (m_phase == Phase::Idle)
        return;
    settle(); // idle first: the abort's own signals are ignored
    m_socket->abort();
}

void Harvester::finish(bool ok) {
    settle();
    Q_EMIT finished(ok);
}

void Harvester::settle() {
    m_deadline.stop();
    m_phase = Phase::Idle;
    m_seed = nullptr;
    m_domains = nullptr;
}

} // namespace tarnbell::core

#include "moc_harvester.cpp"
