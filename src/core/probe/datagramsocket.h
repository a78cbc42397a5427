#pragma once
// A plain non-blocking UDP socket for the probe: one system call to send, one to receive,
// and the kernel's receive timestamp of each datagram where the platform gives one (Linux:
// SO_TIMESTAMPNS, read with recvmsg). Dual-stack where the machine has IPv6. Connected to one
// server at a time, so the kernel passes on only that server's datagrams and reports its
// "port unreachable" (ICMP) at once.

#include <QHostAddress>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <sys/socket.h>

namespace tarnbell::core {

class DatagramSocket {
public:
    DatagramSocket() = default;
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    // Opens a socket on an ephemeral port. False with `errorText` set on failure.
    bool open(QString& errorText);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    quint16 localPort() const;

    // From now on the socket talks to `to`:`port` only. False with `errorText` set when it
    // cannot (no route, an IPv6 server on a machine without IPv6).
    bool connectTo(const QHostAddress& to, quint16 port, QString& errorText);
    bool isConnectedTo(const QHostAddress& to, quint16 port) const {
        return m_peerPort == port && m_peer == to;
    }

    // Sends one datagram to `to`:`port` on a socket not connected to a server (the name
    // resolver's, which asks several). False with `errorText` set when it did not leave.
    bool sendTo(std::span<const std::uint8_t> bytes, const QHostAddress& to, quint16 port,
                QString& errorText);

    enum class SendStatus { Sent, Refused, Failed };
    // Sends one datagram to the connected server. Refused: an earlier datagram to it met a
    // closed port.
    SendStatus send(std::span<const std::uint8_t> bytes, QString& errorText);

    struct Datagram {
        std::size_t size = 0;
        QHostAddress from;
        quint16 fromPort = 0;
        std::optional<qint64> kernelWallNs; // the kernel's receive time, wall clock
    };
    // Refused: the server's machine answered a datagram with "port unreachable".
    enum class ReceiveStatus { Received, NothingPending, Refused, Failed };

    // Takes one datagram into `buffer` (64 KiB holds any UDP datagram whole).
    ReceiveStatus receive(std::span<std::uint8_t> buffer, Datagram& datagram, QString& errorText);

private:
    // The socket address of `to`:`port` as this socket needs it; 0 with `errorText` set when
    // it cannot reach that address.
    socklen_t target(const QHostAddress& to, quint16 port, sockaddr_storage& storage,
                     QString& errorText) const;

    int m_fd = -1;
    bool m_dualStack = false;
    QHostAddress m_peer;
    quint16 m_peerPort = 0;
};

} // namespace tarnbell::core
