#pragma once
// Every text the search host has sent since the window opened, oldest first, so that each
// harvest can take names from earlier replies too (the user may have deleted some).

#include <QByteArray>
#include <QByteArrayView>

namespace tarnbell::core {

class SearchBuffer {
public:
    // 4 MiB holds many result pages yet keeps a host that never stops sending from
    // exhausting memory.
    static constexpr qsizetype DefaultLimit = 4 * 1024 * 1024;

    explicit SearchBuffer(qsizetype limit = DefaultLimit);

    void setLimit(qsizetype limit); // trims at once if the text is already longer
    qsizetype limit() const { return m_limit; }

    // The next piece starts a new reply: it is put behind a CR LF, so the last link of one
    // reply and the first of the next cannot run together.
    void startReply();
    // Appends one received piece directly behind the previous piece of the same reply, so a
    // link split between two pieces stays whole. Drops the oldest text beyond the limit.
    void append(const QByteArray& piece);

    // The newest `limit` bytes at most, oldest first.
    QByteArrayView text() const;
    // Bytes received in the current reply, counted before any trimming.
    qsizetype replyBytes() const { return m_replyBytes; }

private:
    void compact();

    QByteArray m_text;
    qsizetype m_limit;
    qsizetype m_replyBytes = 0;
    bool m_replyStarted = false;
};

} // namespace tarnbell::core
