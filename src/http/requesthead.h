#pragma once
// The metrics listener's reader of HTTP/1.1 request heads (RFC 9112 2-5), from anyone who can
// connect. It takes bytes as they arrive, in any cut, and holds at most kMaxRequestHead of them:
// a head that does not end within that is refused, never buffered further. Only what the
// listener needs is kept: the request line and the Accept fields.

#include "http/bytes.h"

#include <cstddef>
#include <string>

namespace tarnbell::http {

// Far above any scraper's request (Prometheus sends a few hundred bytes).
inline constexpr std::size_t kMaxRequestHead = 8 * 1024;

struct RequestHead {
    std::string method;
    std::string target; // as sent: "/metrics", "/metrics?x=1", ...
    std::string accept; // every Accept field's value, joined by ", " as RFC 9110 5.3 allows
};

class RequestHeadReader {
public:
    enum class Status {
        NeedMore,  // the head has not ended yet
        Complete,  // head() holds it; bytes after it are not read
        TooLarge,  // no end within kMaxRequestHead bytes
        Malformed, // not an HTTP/1.x request head
    };

    // Takes the next bytes; once the status is no longer NeedMore, nothing more is taken.
    Status append(ByteView bytes);
    Status status() const { return m_status; }
    const RequestHead& head() const { return m_head; }
    // Bytes held: never more than kMaxRequestHead.
    std::size_t held() const { return m_buffer.size(); }

private:
    Status parse(std::size_t headEnd);

    std::string m_buffer;
    std::size_t m_scanned = 0; // where the search for the head's end goes on from
    Status m_status = Status::NeedMore;
    RequestHead m_head;
};

} // namespace tarnbell::http
