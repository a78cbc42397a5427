#include "core/harvest/harvester.h"

#include "core/harvest/harvestparser.h"
#include "core/harvest/httpreply.h"
#include "core/harvest/resultpagecheck.h"

#include <QLocale>
#include <QSslConfiguration>
#include <QSslSocket>

namespace tarnbell::core {

namespace {

const QString NoNames = QStringLiteral(" No URLs added.");

} // namespace

Harvester::Harvester(QObject* parent) : QObject(parent), m_socket(new QSslSocket(this)) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DefaultTimeLimit);
    connect(m_socket, &QSslSocket::encrypted, this, &Harvester::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &Harvester::onReadyRead);
    connect(m_socket, &QSslSocket::disconnected, this, &Harvester::onDisconnected);
    connect(m_socket, &QSslSocket::errorOccurred, this, &Harvester::onError);
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

QString Harvester::finishedStatus(qsizetype added) const {
    if (added == 0)
        return QStringLiteral("Found no new URLs in results from ") + m_target.host +
               QStringLiteral(" and randomised domain search seed.") + NoNames;
    return QStringLiteral("Finished retrieving URLs from ") + m_target.host +
           QStringLiteral(" and randomised domain search seed.");
}

bool Harvester::start(const SearchTarget& target, const QString& seed, int count,
                      const QStringList& domains) {
    return start(
        target, [seed] { return seed; }, count, [domains] { return domains; });
}

bool Harvester::start(const SearchTarget& target, SeedSource seed, int count,
                      DomainsSource domains) {
    if (isBusy())
        return false;
    m_target = target;
    m_seed = std::move(seed);
    m_domains = std::move(domains);
    m_count = count;
    m_url = QUrl(); // made from the seed once connected
    m_redirected = false;

    // Whatever the last harvest left of its connection goes first; its signals find us
    // idle and are ignored.
    Q_EMIT statusChanged(QStringLiteral("Ensuring connection is available..."));
    m_socket->abort();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_target.caCertificates.isEmpty())
        tls.setCaCertificates(m_target.caCertificates);
    m_socket->setSslConfiguration(tls);

    m_phase = Phase::Connecting;
    m_deadline.start(); // one limit for the whole harvest, redirect included
    if (!QSslSocket::supportsSsl()) {
        fail(QStringLiteral("Could not connect to ") + m_target.host +
             QStringLiteral(": TLS is not available on this system.") + NoNames);
        return true;
    }
    Q_EMIT statusChanged(QStringLiteral("Connecting to ") + m_target.host);
    m_socket->connectToHostEncrypted(m_target.host, m_target.port);
    return true;
}

void Harvester::connectTo(const QUrl& url) {
    m_url = url;
    m_phase = Phase::Connecting;
    Q_EMIT statusChanged(QStringLiteral("Connecting to ") + url.host());
    m_socket->connectToHostEncrypted(url.host(), static_cast<quint16>(url.port(443)));
}

// The host's certificate has been checked: the request goes out.
void Harvester::onEncrypted() {
    if (m_phase != Phase::Connecting)
        return;
    m_phase = Phase::Receiving;
    if (m_url.isEmpty())
        m_url = searchUrl(m_target, m_seed ? m_seed() : QString(), m_count);
    m_socket->write(searchRequest(m_url));
}

void Harvester::onReadyRead() {
    if (m_phase != Phase::Receiving)
        return;
    Q_EMIT statusChanged(QStringLiteral("Receiving data from ") + m_target.host);
    m_reply += m_socket->readAll();
    // Reading on and dropping would keep a host that never stops busy until the time limit;
    // a reply this large is no result page, so the harvest ends here.
    if (m_reply.size() > m_buffer.limit()) {
        const QString size =
            QLocale::c().formattedDataSize(m_buffer.limit(), 0, QLocale::DataSizeIecFormat);
        fail(m_target.host + QStringLiteral(" sent more than ") + size +
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
    replyComplete();
}

void Harvester::replyComplete() {
    const HttpReply reply = readHttpReply(m_reply);
    m_reply.clear();
    const QString& host = m_target.host;
    if (!reply.valid) {
        fail(host + QStringLiteral(" did not answer with a web page.") + NoNames);
        return;
    }
    if (reply.isRedirect()) {
        if (m_redirected) {
            fail(host + QStringLiteral(" redirected more than once.") + NoNames);
            return;
        }
        // Never to plain HTTP: what the search host sends stays private on the way.
        const QUrl next = m_url.resolved(QUrl::fromEncoded(reply.location));
        if (reply.location.isEmpty() || next.scheme() != QLatin1String("https") ||
            next.host().isEmpty()) {
            fail(host + QStringLiteral(" redirected to an address that is not HTTPS.") + NoNames);
            return;
        }
        m_redirected = true;
        m_socket->abort();
        connectTo(next.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment));
        return;
    }
    if (!reply.isSuccess()) {
        fail(host + QStringLiteral(" answered \"") +
             QString::fromLatin1(reply.statusLine.left(80)) + QStringLiteral("\".") + NoNames);
        return;
    }

    m_deadline.stop();
    m_buffer.startReply();
    m_buffer.append(reply.body);
    Q_EMIT statusChanged(QStringLiteral("Disconnecting..."));
    Q_EMIT statusChanged(QStringLiteral("Parsing ") + host + QStringLiteral(" results..."));
    const QStringList names =
        harvestNames(m_buffer.text(), m_domains ? m_domains() : QStringList(), m_count);
    // Names from earlier replies make the harvest a success whatever this page was; without
    // any, a page that was no results page is told for what it was.
    if (names.isEmpty()) {
        switch (ClassifyResultPage(reply.body)) {
        case ResultPageKind::AsksForJavaScript:
            fail(host +
                 QStringLiteral(" answered with a page that asks for JavaScript instead "
                                "of search results.") +
                 NoNames);
            return;
        case ResultPageKind::NoResultLinks:
            fail(host + QStringLiteral(" answered with a page without result links.") + NoNames);
            return;
        case ResultPageKind::Results:
            break; // every name it links to is listed already
        }
    }
    for (qsizetype i = 0; i < names.size(); ++i)
        Q_EMIT statusChanged(QStringLiteral("Found URL in results from ") + host);
    Q_EMIT namesHarvested(names);
    Q_EMIT statusChanged(QStringLiteral("Finished parsing URLs from ") + host);
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
    fail(what + m_target.host + QStringLiteral(": ") + m_socket->errorString() + u'.' + NoNames);
}

void Harvester::onTimeLimit() {
    if (m_phase == Phase::Idle)
        return;
    const QString what = m_phase == Phase::Connecting
                             ? QStringLiteral(" did not answer in time.")
                             : QStringLiteral(" did not finish its reply in time.");
    fail(m_target.host + what + NoNames);
}

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
    m_reply.clear();
    m_seed = nullptr;
    m_domains = nullptr;
}

} // namespace tarnbell::core

#include "moc_harvester.cpp"
