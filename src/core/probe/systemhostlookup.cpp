#include "core/probe/systemhostlookup.h"

#include <QMutex>
#include <QUrl>
#include <atomic>
#include <memory>
#include <netdb.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <utility>

namespace tarnbell::core {
namespace {

std::atomic<int> pendingLookups{0};

// Where a thread's answer goes: `target` until it is destroyed. The lock makes the check and
// the queued call one step, so the target cannot go in between.
struct Forward {
    QMutex lock;
    QObject* target = nullptr;
    QMetaObject::Connection targetGone;
};

std::pair<QList<QHostAddress>, QString> resolveNow(const QByteArray& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (status != 0)
        return {{}, QString::fromLocal8Bit(::gai_strerror(status))};
    QList<QHostAddress> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const QHostAddress address(entry->ai_addr);
        if (!address.isNull() && !addresses.contains(address))
            addresses << address;
    }
    ::freeaddrinfo(found);
    return {addresses, QString()};
}

void reportLater(QObject* context, HostLookupDone done, const QString& error) {
    QMetaObject::invokeMethod(
        context, [done = std::move(done), error] { done({}, error); }, Qt::QueuedConnection);
}

} // namespace

HostLookup systemHostLookup() {
    return [](const QString& name, QObject* context, HostLookupDone done) {
        if (pendingLookups.fetch_add(1) >= kMaxPendingSystemLookups) {
            --pendingLookups;
            reportLater(context, std::move(done),
                        QStringLiteral("too many names are being looked up at once"));
            return;
        }
        auto forward = std::make_shared<Forward>();
        forward->target = context;
        forward->targetGone = QObject::connect(context, &QObject::destroyed, [forward] {
            const QMutexLocker lock(&forward->lock);
            forward->target = nullptr;
        });
        auto ask = [forward, name = QUrl::toAce(name), done] {
            const auto [addresses, error] = resolveNow(name);
            --pendingLookups;
            const QMutexLocker lock(&forward->lock);
            if (forward->target == nullptr)
                return;
            QObject::disconnect(forward->targetGone);
            QMetaObject::invokeMethod(
                forward->target, [done, addresses, error] { done(addresses, error); },
                Qt::QueuedConnection);
        };
        try {
            // Detached: the program never joins it, so a silent resolver cannot hold its end.
            std::thread(std::move(ask)).detach();
        } catch (const std::system_error&) {
            --pendingLookups;
            QObject::disconnect(forward->targetGone);
            reportLater(context, std::move(done), QStringLiteral("no thread could be started"));
        }
    };
}

} // namespace tarnbell::core
