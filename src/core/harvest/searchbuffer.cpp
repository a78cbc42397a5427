#include "core/harvest/searchbuffer.h"

#include <algorithm>

namespace tarnbell::core {

SearchBuffer::SearchBuffer(qsizetype limit) : m_limit(std::max<qsizetype>(limit, 0)) {}

void SearchBuffer::setLimit(qsizetype limit) {
    m_limit = std::max<qsizetype>(limit, 0);
    compact();
}

void SearchBuffer::startReply() {
    m_replyStarted = false;
    m_replyBytes = 0;
}

void SearchBuffer::append(const QByteArray& piece) {
    if (piece.isEmpty())
        return;
    if (!m_replyStarted) {
        m_text.append("\r\n");
        m_replyStarted = true;
    }
    m_text.append(piece);
    m_replyBytes += piece.size();
    if (m_text.size() > 2 * m_limit)
        compact();
}

// Cutting at the front can only shorten the oldest link's prefix, never make a new
// "http://", so a cut never invents a host name.
QByteArrayView SearchBuffer::text() const {
    const QByteArrayView all(m_text);
    return all.size() > m_limit ? all.last(m_limit) : all;
}

// The stored text may grow to twice the limit before the old part is dropped in one move:
// trimming on every piece would copy the whole buffer for each byte a slow host trickles.
void SearchBuffer::compact() {
    if (m_text.size() > m_limit)
        m_text.remove(0, m_text.size() - m_limit);
}

} // namespace tarnbell::core
