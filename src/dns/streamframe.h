#pragma once
// DNS over a byte stream (TCP, TLS): every message goes with a two-byte length ahead of it
// (RFC 7766 8, RFC 1035 4.2.2). The reader takes bytes as they arrive, in any cut, and hands
// out whole messages; it keeps at most one message's worth of bytes, so hostile input cannot
// make it grow without bound.

#include "dns/moddns.h"

#include <cstddef>
#include <cstdint>

namespace tarnbell::dns {

// The largest message a two-byte length can announce.
inline constexpr std::size_t kMaxStreamMessage = 65535;

// `message` with its length ahead of it, ready to write in one piece; empty when the message
// is empty or longer than kMaxStreamMessage.
Bytes FrameForStream(ByteView message);

class StreamReader {
public:
    enum class Status {
        NeedMore, // no whole message yet
        Message,  // `message` holds the next one
        Broken,   // the stream announced an empty message or one over the capacity
    };

    // Messages longer than `capacity` (at most kMaxStreamMessage) break the stream.
    explicit StreamReader(std::size_t capacity = kMaxStreamMessage);

    // Takes the next bytes of the stream. Nothing is taken once the stream is broken.
    void append(ByteView bytes);
    // The next whole message, if the bytes taken so far hold one.
    Status next(Bytes& message);

    // Bytes held that belong to no message handed out yet.
    std::size_t pending() const { return m_buffer.size() - m_start; }
    bool broken() const { return m_broken; }
    void reset();

private:
    std::size_t m_capacity;
    Bytes m_buffer;
    std::size_t m_start = 0; // where the unread bytes begin in m_buffer
    bool m_broken = false;
};

} // namespace tarnbell::dns
