#pragma once
// The client side of one HTTP/2 connection (RFC 9113), framed by libnghttp2, for DNS over
// HTTPS: POST requests of application/dns-message (RFC 8484 4.1) and their responses. It
// reads and writes no socket itself: bytes received go in through receive(), and every
// call leaves the bytes to send in `out`, so the caller writes them in one piece.

#include "http/bytes.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct nghttp2_session;

namespace tarnbell::http {

class Http2Client {
public:
    struct Response {
        int status = 0;
        std::string contentType;
        Bytes body;
        std::string errorText; // set when the stream failed; nothing else meaningful then
    };

    // Bodies longer than `maxBody` end their stream with an error.
    explicit Http2Client(std::size_t maxBody);
    ~Http2Client();
    Http2Client(const Http2Client&) = delete;
    Http2Client& operator=(const Http2Client&) = delete;

    // The connection preface and our SETTINGS. False when the library cannot start.
    bool start(std::string& out);
    struct Completed {
        std::int32_t stream = 0;
        Response response;
    };
    // Bytes from the server. False with `errorText` when the connection is broken (a
    // protocol error). Responses these bytes complete are appended to `completed`: they are
    // handed out once the library has returned, so that nothing done with them (the next
    // request, say) runs inside the library's own callbacks.
    bool receive(ByteView bytes, std::string& out, std::vector<Completed>& completed,
                 std::string& errorText);
    // A POST of `body` to `path`; the stream's ID, or a negative number when the session
    // takes no more streams.
    std::int32_t post(const std::string& authority, const std::string& path, ByteView body,
                      std::string& out);

    // True once the server's SETTINGS arrived: the connection is set up.
    bool settingsReceived() const { return m_settingsReceived; }
    // False once the server sent GOAWAY or the session ended: no new streams.
    bool usable() const;

private:
    struct Stream {
        Bytes requestBody;
        std::size_t sent = 0;
        Response response;
    };
    bool flush(std::string& out);

    // The library's callbacks, in the .cpp, call the handlers below.
    friend struct Http2Callbacks;
    void settingsArrived() { m_settingsReceived = true; }
    void goawayArrived() { m_goaway = true; }
    void headerArrived(std::int32_t stream, std::string_view name, std::string_view value);
    bool dataArrived(std::int32_t stream, ByteView data); // false: over the limit
    void streamClosed(std::int32_t stream, std::uint32_t errorCode);
    long readBody(std::int32_t stream, std::uint8_t* buffer, std::size_t length, bool& end);

    nghttp2_session* m_session = nullptr;
    std::size_t m_maxBody;
    bool m_settingsReceived = false;
    bool m_goaway = false;
    std::map<std::int32_t, Stream> m_streams;
    std::vector<Completed>* m_completed = nullptr; // set while receive() runs
};

} // namespace tarnbell::http
