#pragma once
// A plain non-blocking UDP socket for the probe: one system call to send, one to receive,
// and the kernel's receive timestamp of each datagram where the platform gives one (Linux:
// SO_TIMESTAMPNS, read with recvmsg). Dual-stack where the machine has IPv6.

#include <QHostAddress>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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

    // Sends one datagram. False with `errorText` set when it did not leave.
    bool sendTo(std::span<const std::uint8_t> bytes, const QHostAddress& to, quint16 port,
                QString& errorText);

    struct Datagram {
        std::size_t size = 0;
        QHostAddress from;
        quint16 fromPort = 0;
        std::optional<qint64> kernelWallNs; // the kernel's receive time, wall clock
    };
    enum class ReceiveStatus { Received, NothingPending, Failed };

    // Takes one datagram into `buffer` (64 KiB holds any UDP datagram whole).
    ReceiveStatus receive(std::span<std::uint8_t> buffer, Datagram& datagram, QString& errorText);

private:
    int m_fd = -1;
    bool m_dualStack = false;
};

} // namespace tarnbell::core
