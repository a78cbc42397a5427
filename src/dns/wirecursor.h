#pragma once
// A read position in a DNS message with a sticky error, as Knot DNS's wire context keeps it:
// every read checks the bytes left, and after the first read that fails every read is a
// harmless no-op giving zero or nothing, so a caller reads a whole structure flat and checks
// failed() once at the end.

#include "dns/moddns.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnbell::dns {

// RFC 1035 2.3.4: a name takes at most 255 bytes on the wire, length bytes included.
inline constexpr std::size_t kMaxNameWireLength = 255;

class WireCursor {
public:
    explicit WireCursor(ByteView message, std::size_t position = 0);

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    // The next `count` bytes, a view into the message; empty once failed.
    ByteView bytes(std::size_t count);
    void skip(std::size_t count) { (void)bytes(count); }
    // A name in dotted form, the root as ".", compression pointers followed (RFC 1035 4.1.4);
    // the cursor ends past the name's zero byte or its first pointer. Fails on a name cut
    // short, a pointer that does not point before the labels that led to it (so no loop can
    // form), more than kMaxPointersPerName pointers, a label type other than a length or a
    // pointer (RFC 6891 retired the extended ones), or a name over 255 bytes on the wire.
    // Label bytes are copied as they are, dots and control bytes included.
    std::string name();

    bool failed() const { return m_failed; }
    std::size_t position() const { return m_position; }
    std::size_t remaining() const { return m_failed ? 0 : m_message.size() - m_position; }

private:
    void fail() { m_failed = true; }

    ByteView m_message;
    std::size_t m_position = 0;
    bool m_failed = false;
};

} // namespace tarnbell::dns
