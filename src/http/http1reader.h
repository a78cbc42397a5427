#pragma once
// The client's reader of HTTP/1.1 responses (RFC 9112) for DNS over HTTPS. It takes bytes as
// they arrive, in any cut, and hands out every whole response in order: interim 1xx responses
// are passed over, bodies are read by Content-Length or in chunks. It holds at most one
// response's worth of bytes (a head, a body within the limit, one chunk line), so a hostile
// server cannot make it grow without bound; anything over the limits breaks the reader.

#include "http/bytes.h"

#include <cstddef>
#include <string>

namespace tarnbell::http {

// A response head longer than this is no DNS server's answer.
inline constexpr std::size_t kMaxHead = 16 * 1024;

struct Http1Response {
    int status = 0;
    std::string contentType; // as sent, blanks around it removed
    Bytes body;
    bool closes = false; // "Connection: close": the server ends the connection after it
};

class Http1Reader {
public:
    enum class Status {
        NeedMore, // no whole response yet
        Response, // `response` holds the next one
        Broken,   // not HTTP/1.1 as a DNS client can read it; error() says why
    };

    // Bodies longer than `maxBody` break the reader.
    explicit Http1Reader(std::size_t maxBody);

    // Takes the next bytes. Nothing is taken once the reader is broken.
    void append(ByteView bytes);
    // The next whole final response, if the bytes taken so far hold one.
    Status next(Http1Response& response);

    const std::string& error() const { return m_error; }
    // Bytes held that belong to no response handed out yet.
    std::size_t pending() const { return m_buffer.size() - m_start; }

private:
    enum class Part { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer };

    Status fail(const std::string& why);
    Status readHead();
    // The next line (without its CR LF) from the unread bytes, or false when none is whole.
    bool takeLine(std::string& line, std::size_t limit, bool& tooLong);
    // Moves what is here of the body or chunk under way into the response; true once whole.
    bool takeBodyBytes();
    void compact();

    std::size_t m_maxBody;
    Bytes m_buffer;
    std::size_t m_start = 0;
    Part m_part = Part::Head;
    Http1Response m_response;
    std::size_t m_remaining = 0; // body or chunk bytes still to come
    std::size_t m_trailerBytes = 0;
    std::string m_error;
};

} // namespace tarnbell::http
