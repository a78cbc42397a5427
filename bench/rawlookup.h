#pragma once
// The bare lookup loop that benchmarks measure the probe against: build, send, block in
// recv until the answer, read it. The same work the probe does, minus the event loop.

#include "dns/moddns.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace tarnbell::bench {

class RawLookup {
public:
    using Clock = std::chrono::steady_clock;

    RawLookup(std::uint16_t port, std::string domain, std::uint16_t type)
        : m_domain(std::move(domain)), m_type(type) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        // A lost answer fails the lookup instead of blocking the benchmark for ever.
        const timeval limit{2, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        m_server.sin_family = AF_INET;
        m_server.sin_port = htons(port);
        m_server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~RawLookup() { ::close(m_fd); }
    RawLookup(const RawLookup&) = delete;
    RawLookup& operator=(const RawLookup&) = delete;
    bool ok() const { return m_fd >= 0; }

    // Microseconds for one lookup; negative on failure.
    double run() {
        const Clock::time_point start = Clock::now();
        const dns::Query query = dns::BuildQuery(m_domain, m_type);
        if (::sendto(m_fd, query.datagram.data(), query.datagram.size(), 0,
                     reinterpret_cast<const sockaddr*>(&m_server), sizeof m_server) < 0)
            return -1;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t size = ::recvfrom(m_fd, m_reply, sizeof m_reply, 0,
                                            reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (size < 0)
                return -1;
            const dns::ByteView reply(m_reply, static_cast<std::size_t>(size));
            if (from.sin_port != m_server.sin_port || !dns::IsAnswerTo(reply, query.datagram))
                continue;
            m_sink += dns::InterpretReply(reply, m_type).size();
            return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        }
    }

private:
    int m_fd = -1;
    sockaddr_in m_server{};
    std::string m_domain;
    std::uint16_t m_type;
    std::uint8_t m_reply[4096];
    std::size_t m_sink = 0;
};

} // namespace tarnbell::bench
