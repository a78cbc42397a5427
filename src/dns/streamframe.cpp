#include "dns/streamframe.h"

#include <algorithm>

namespace tarnbell::dns {

Bytes FrameForStream(ByteView message) {
    if (message.empty() || message.size() > kMaxStreamMessage)
        return {};
    Bytes framed;
    framed.reserve(message.size() + 2);
    framed.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    framed.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
    framed.insert(framed.end(), message.begin(), message.end());
    return framed;
}

StreamReader::StreamReader(std::size_t capacity)
    : m_capacity(std::min(capacity, kMaxStreamMessage)) {}

void StreamReader::append(ByteView bytes) {
    if (m_broken)
        return;
    // Bytes already handed out go before the buffer grows, so it never holds more than
    // what is unread.
    if (m_start > 0) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

StreamReader::Status StreamReader::next(Bytes& message) {
    if (m_broken)
        return Status::Broken;
    const std::size_t unread = pending();
    if (unread < 2)
        return Status::NeedMore;
    const std::size_t length =
        (std::size_t{m_buffer[m_start]} << 8) | std::size_t{m_buffer[m_start + 1]};
    if (length == 0 || length > m_capacity) {
        m_broken = true;
        m_buffer.clear();
        m_start = 0;
        return Status::Broken;
    }
    if (unread - 2 < length)
        return Status::NeedMore;
    const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start + 2);
    message.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
    m_start += 2 + length;
    return Status::Message;
}

void StreamReader::reset() {
    m_buffer.clear();
    m_start = 0;
    m_broken = false;
}

} // namespace tarnbell::dns
