#pragma once
// The client side of one HTTP/2 connection (RFC 9113), framed by libnghttp2, for DNS over
// HTTPS: POST requests of application/dns-message (RFC 8484 4.1) and their responses. It
// reads and writes no socket itself: bytes received go in through receive(), and every
// call leaves the bytes to send in `out`, so the caller writes them in one piece.

#include "dns/moddns.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

struct nghttp2_session;

namespace tarnbell::core {

class Http2Client {
public:
    struct Response {
        int status = 0;
        std::string contentType;
        dns::Bytes body;
        std::string errorText; // set when the stream failed; nothing else meaningful then
    };

    // Bodies longer than `maxBody` end their stream with an error.
    explicit Http2Client(std::size_t maxBody);
    ~Http2Client();
    Http2Client(const Http2Client&) = delete;
    Http2Client& operator=(const Http2Client&) = delete;

    // The connection preface and our SETTINGS. False when the library cannot start.
    bool start(std::string& out);
    // Bytes from the server. False with `errorText` when the connection is broken (a
    // protocol error); responses completed by these bytes have been handed to onResponse.
    bool receive(dns::ByteView bytes, std::string& out, std::string& errorText);
    // A POST of `body` to `path`; the stream's ID, or a negative number when the session
    // takes no more streams.
    std::int32_t post(const std::string& authority, const std::string& path, dns::ByteView body,
                      std::string& out);

    // True once the server's SETTINGS arrived: the connection is set up.
    bool settingsReceived() const { return m_settingsReceived; }
    // False once the server sent GOAWAY or the session ended: no new streams.
    bool usable() const;

    std::function<void(std::int32_t stream, const Response& response)> onResponse;

private:
    struct Stream {
        dns::Bytes requestBody;
        std::size_t sent = 0;
        Response response;
    };
    bool flush(std::string& out);

    // The library's callbacks, in the .cpp, call the handlers below.
    friend struct Http2Callbacks;
    void settingsArrived() { m_settingsReceived = true; }
    void goawayArrived() { m_goaway = true; }
    void headerArrived(std::int32_t stream, std::string_view name, std::string_view value);
    bool dataArrived(std::int32_t stream, dns::ByteView data); // false: over the limit
    void streamClosed(std::int32_t stream, std::uint32_t errorCode);
    long readBody(std::int32_t stream, std::uint8_t* buffer, std::size_t length, bool& end);

    nghttp2_session* m_session = nullptr;
    std::size_t m_maxBody;
    bool m_settingsReceived = false;
    bool m_goaway = false;
    std::map<std::int32_t, Stream> m_streams;
};

} // namespace tarnbell::core
