#include "core/probe/datagramsocket.h"

#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tarnbell::core {
namespace {

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

int openSocket(int family) {
    return ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// Fills `storage` with the socket address of `address`:`port` as a socket of this family
// needs it (an IPv4 address as ::ffff:a.b.c.d on a dual-stack socket). Returns its length,
// or 0 when this socket cannot reach that address.
socklen_t toSockaddr(const QHostAddress& address, quint16 port, bool dualStack,
                     sockaddr_storage& storage) {
    std::memset(&storage, 0, sizeof storage);
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (!dualStack) {
        if (!isV4)
            return 0;
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(v4);
        return sizeof(sockaddr_in);
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    if (isV4) {
        in6->sin6_addr.s6_addr[10] = 0xFF;
        in6->sin6_addr.s6_addr[11] = 0xFF;
        const quint32 network = htonl(v4);
        std::memcpy(&in6->sin6_addr.s6_addr[12], &network, sizeof network);
    } else {
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(in6->sin6_addr.s6_addr, bytes.c, sizeof bytes.c);
    }
    if (!isV4 && !address.scopeId().isEmpty()) {
        bool numeric = false;
        const uint index = address.scopeId().toUInt(&numeric);
        in6->sin6_scope_id =
            numeric ? index : ::if_nametoindex(address.scopeId().toLocal8Bit().constData());
    }
    return sizeof(sockaddr_in6);
}

void fromSockaddr(const sockaddr_storage& storage, QHostAddress& address, quint16& port) {
    if (storage.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&storage);
        address.setAddress(ntohl(in->sin_addr.s_addr));
        port = ntohs(in->sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        address.setAddress(in6->sin6_addr.s6_addr);
        port = ntohs(in6->sin6_port);
    }
}

} // namespace

DatagramSocket::~DatagramSocket() {
    close();
}

bool DatagramSocket::open(QString& errorText) {
    close();
    // Dual-stack first so IPv4 and IPv6 servers share the one socket; IPv4 alone where the
    // machine has no IPv6.
    m_fd = openSocket(AF_INET6);
    m_dualStack = m_fd >= 0;
    if (m_dualStack) {
        const int off = 0;
        if (::setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
            close();
            m_dualStack = false;
        }
    }
    if (m_fd < 0)
        m_fd = openSocket(AF_INET);
    if (m_fd < 0) {
        errorText = systemError("Error: no UDP socket could be opened");
        close();
        return false;
    }
#ifdef SO_TIMESTAMPNS
    // Without the stamp the probe falls back to its own clock: not worth failing over.
    const int on = 1;
    (void)::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
#endif
    // The platform picks the port at the first send; bind now so localPort() tells it.
    sockaddr_storage any{};
    any.ss_family = static_cast<sa_family_t>(m_dualStack ? AF_INET6 : AF_INET);
    const socklen_t length = m_dualStack ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&any), length) != 0) {
        errorText = systemError("Error: no UDP socket could be opened");
        close();
        return false;
    }
    return true;
}

void DatagramSocket::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_peer.clear();
    m_peerPort = 0;
}

quint16 DatagramSocket::localPort() const {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return 0;
    QHostAddress address;
    quint16 port = 0;
    fromSockaddr(storage, address, port);
    return port;
}

socklen_t DatagramSocket::target(const QHostAddress& to, quint16 port, sockaddr_storage& storage,
                                 QString& errorText) const {
    const socklen_t length = toSockaddr(to, port, m_dualStack, storage);
    if (length == 0)
        errorText = QStringLiteral("Error: the query could not be sent: this machine has no "
                                   "IPv6");
    return length;
}

bool DatagramSocket::connectTo(const QHostAddress& to, quint16 port, QString& errorText) {
    sockaddr_storage target{};
    const socklen_t length = this->target(to, port, target, errorText);
    if (length == 0)
        return false;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), length) != 0) {
        errorText = systemError("Error: the query could not be sent");
        m_peer.clear();
        m_peerPort = 0;
        return false;
    }
    m_peer = to;
    m_peerPort = port;
    return true;
}

bool DatagramSocket::sendTo(std::span<const std::uint8_t> bytes, const QHostAddress& to,
                            quint16 port, QString& errorText) {
    sockaddr_storage target{};
    const socklen_t length = this->target(to, port, target, errorText);
    if (length == 0)
        return false;
    ssize_t sent = -1;
    do {
        sent = ::sendto(m_fd, bytes.data(), bytes.size(), 0,
                        reinterpret_cast<const sockaddr*>(&target), length);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        errorText = systemError("Error: the query could not be sent");
        return false;
    }
    return true;
}

DatagramSocket::SendStatus DatagramSocket::send(std::span<const std::uint8_t> bytes,
                                                QString& errorText) {
    ssize_t sent = -1;
    do {
        sent = ::send(m_fd, bytes.data(), bytes.size(), 0);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0)
        return SendStatus::Sent;
    if (errno == ECONNREFUSED)
        return SendStatus::Refused;
    errorText = systemError("Error: the query could not be sent");
    return SendStatus::Failed;
}

DatagramSocket::ReceiveStatus DatagramSocket::receive(std::span<std::uint8_t> buffer,
                                                      Datagram& datagram, QString& errorText) {
    sockaddr_storage from{};
    iovec io{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;

    ssize_t size = -1;
    do {
        size = ::recvmsg(m_fd, &message, 0);
    } while (size < 0 && errno == EINTR);
    if (size < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return ReceiveStatus::NothingPending;
        if (errno == ECONNREFUSED)
            return ReceiveStatus::Refused;
        errorText = systemError("Error: the socket failed");
        return ReceiveStatus::Failed;
    }
    datagram.size = static_cast<std::size_t>(size);
    fromSockaddr(from, datagram.from, datagram.fromPort);
    datagram.kernelWallNs.reset();
#ifdef SCM_TIMESTAMPNS
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
            datagram.kernelWallNs = qint64(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
        }
    }
#endif
    return ReceiveStatus::Received;
}

} // namespace tarnbell::core
