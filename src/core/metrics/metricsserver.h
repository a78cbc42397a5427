#pragma once
// The metrics listener: GET /metrics over HTTP/1.1, nothing else. Whoever can connect is
// untrusted: a request head is read up to 8 KiB and no further, a connection that has not
// sent its head within the idle limit is closed, at most kMaxConnections are open at once,
// and each is closed after its one response (Connection: close), so nothing grows with the
// number or length of requests. The exposition is made afresh for each scrape, in the format
// the scraper's Accept header ranks highest: OpenMetrics 1.0, else the text format 0.0.4.

#include "core/metrics/metricstext.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <chrono>
#include <functional>

namespace tarnbell::core {

class MetricsServer final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 16;
    // Long enough for a scraper on a busy machine, short enough that idle connections cannot
    // pile up; a response still unread after the write limit is dropped.
    static constexpr std::chrono::milliseconds kIdleLimit{10'000};
    static constexpr std::chrono::milliseconds kWriteLimit{30'000};

    using Source = std::function<QByteArray(MetricsFormat)>;
    explicit MetricsServer(Source source, QObject* parent = nullptr);
    ~MetricsServer() override;

    // Starts listening; the empty text, or one sentence saying why not.
    QString listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }

private:
    void acceptConnections();

    Source m_source;
    QTcpServer m_server{this}; // a child: it moves with the listener to another thread
    int m_open = 0;
};

} // namespace tarnbell::core
