#include "dns/wirecursor.h"

namespace tarnbell::dns {

WireCursor::WireCursor(ByteView message, std::size_t position)
    : m_message(message), m_position(position), m_failed(position > message.size()) {}

ByteView WireCursor::bytes(std::size_t count) {
    if (m_failed || count > m_message.size() - m_position) {
        fail();
        return {};
    }
    const ByteView taken = m_message.subspan(m_position, count);
    m_position += count;
    return taken;
}

std::uint8_t WireCursor::u8() {
    const ByteView taken = bytes(1);
    return taken.empty() ? 0 : taken[0];
}

std::uint16_t WireCursor::u16() {
    const ByteView taken = bytes(2);
    return taken.empty() ? 0 : static_cast<std::uint16_t>((taken[0] << 8) | taken[1]);
}

std::uint32_t WireCursor::u32() {
    const std::uint32_t high = u16();
    return (high << 16) | u16();
}

std::string WireCursor::name() {
    std::string text;
    std::size_t at = m_position;
    // A pointer must point before the start of the labels that led to it, so every jump
    // goes back and a chain ends; the count only bounds the work.
    std::size_t segmentStart = at;
    std::size_t wireLength = 0;
    bool jumped = false;
    int pointers = 0;
    while (!m_failed) {
        if (at >= m_message.size()) {
            fail();
            break;
        }
        const std::uint8_t length = m_message[at];
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= m_message.size()) {
                fail();
                break;
            }
            const std::size_t target =
                (static_cast<std::size_t>(length & 0x3F) << 8) | m_message[at + 1];
            if (!jumped)
                m_position = at + 2;
            jumped = true;
            if (target >= segmentStart || ++pointers > kMaxPointersPerName)
                fail();
            at = segmentStart = target;
            continue;
        }
        wireLength += 1u + length;
        if ((length & 0xC0) != 0 || wireLength > kMaxNameWireLength ||
            at + 1 + length > m_message.size()) {
            fail();
            break;
        }
        if (length == 0) {
            if (!jumped)
                m_position = at + 1;
            return text.empty() ? std::string(".") : text;
        }
        if (!text.empty())
            text.push_back('.');
        text.append(reinterpret_cast<const char*>(m_message.data() + at + 1), length);
        at += 1u + length;
    }
    return {};
}

} // namespace tarnbell::dns
