#include "http/http2client.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <nghttp2/nghttp2.h>

namespace tarnbell::http {

struct Http2Callbacks {
    static Http2Client* client(void* self) { return static_cast<Http2Client*>(self); }

    static int frameReceived(nghttp2_session*, const nghttp2_frame* frame, void* self) {
        if (frame->hd.type == NGHTTP2_SETTINGS && (frame->hd.flags & NGHTTP2_FLAG_ACK) == 0)
            client(self)->settingsArrived();
        else if (frame->hd.type == NGHTTP2_GOAWAY)
            client(self)->goawayArrived();
        return 0;
    }
    static int header(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
                      std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
                      std::uint8_t, void* self) {
        if (frame->hd.type == NGHTTP2_HEADERS)
            client(self)->headerArrived(
                frame->hd.stream_id,
                std::string_view(reinterpret_cast<const char*>(name), nameLength),
                std::string_view(reinterpret_cast<const char*>(value), valueLength));
        return 0;
    }
    static int dataChunk(nghttp2_session* session, std::uint8_t, std::int32_t stream,
                         const std::uint8_t* data, std::size_t length, void* self) {
        if (!client(self)->dataArrived(stream, ByteView(data, length)))
            nghttp2_submit_rst_stream(session, NGHTTP2_FLAG_NONE, stream, NGHTTP2_CANCEL);
        return 0;
    }
    static int streamClosed(nghttp2_session*, std::int32_t stream, std::uint32_t errorCode,
                            void* self) {
        client(self)->streamClosed(stream, errorCode);
        return 0;
    }
    static ssize_t readBody(nghttp2_session*, std::int32_t stream, std::uint8_t* buffer,
                            std::size_t length, std::uint32_t* flags, nghttp2_data_source*,
                            void* self) {
        bool end = false;
        const long written = client(self)->readBody(stream, buffer, length, end);
        if (end)
            *flags |= NGHTTP2_DATA_FLAG_EOF;
        return written;
    }
};

namespace {

nghttp2_nv header(const char* name, const std::string& value) {
    return {reinterpret_cast<std::uint8_t*>(const_cast<char*>(name)),
            reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), std::strlen(name),
            value.size(), NGHTTP2_NV_FLAG_NONE};
}

} // namespace

Http2Client::Http2Client(std::size_t maxBody) : m_maxBody(maxBody) {}

Http2Client::~Http2Client() {
    nghttp2_session_del(m_session);
}

bool Http2Client::start(std::string& out) {
    nghttp2_session_callbacks* callbacks = nullptr;
    if (nghttp2_session_callbacks_new(&callbacks) != 0)
        return false;
    nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, &Http2Callbacks::frameReceived);
    nghttp2_session_callbacks_set_on_header_callback(callbacks, &Http2Callbacks::header);
    nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks,
                                                              &Http2Callbacks::dataChunk);
    nghttp2_session_callbacks_set_on_stream_close_callback(callbacks,
                                                           &Http2Callbacks::streamClosed);
    const int created = nghttp2_session_client_new(&m_session, callbacks, this);
    nghttp2_session_callbacks_del(callbacks);
    if (created != 0)
        return false;
    // No server push (RFC 9113 6.5.2): nothing here would read it.
    const std::array<nghttp2_settings_entry, 2> settings{
        {{NGHTTP2_SETTINGS_ENABLE_PUSH, 0}, {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, 100}}};
    if (nghttp2_submit_settings(m_session, NGHTTP2_FLAG_NONE, settings.data(), settings.size()) !=
        0)
        return false;
    // The library puts the client preface ahead of the SETTINGS frame.
    return flush(out);
}

bool Http2Client::receive(ByteView bytes, std::string& out, std::vector<Completed>& completed,
                          std::string& errorText) {
    if (m_session == nullptr) {
        errorText = "HTTP/2 session not started";
        return false;
    }
    m_completed = &completed;
    const ssize_t read = nghttp2_session_mem_recv(m_session, bytes.data(), bytes.size());
    m_completed = nullptr;
    if (read == NGHTTP2_ERR_FLOODED) {
        // The server asked for more acknowledgements than any answer needs (a SETTINGS or
        // PING flood): the library stops reading, as a client must.
        errorText = kOverLimitText;
        return false;
    }
    if (read < 0) {
        errorText =
            std::string("HTTP/2 protocol error: ") + nghttp2_strerror(static_cast<int>(read));
        return false;
    }
    // SETTINGS acknowledgements and window updates go out with the next write.
    return flush(out);
}

std::int32_t Http2Client::post(const std::string& authority, const std::string& path, ByteView body,
                               std::string& out) {
    if (!usable())
        return -1;
    const std::string method = "POST";
    const std::string scheme = "https";
    const std::string type = "application/dns-message";
    const std::string length = std::to_string(body.size());
    const std::array<nghttp2_nv, 7> headers{
        header(":method", method),       header(":scheme", scheme),
        header(":authority", authority), header(":path", path),
        header("content-type", type),    header("accept", type),
        header("content-length", length)};
    nghttp2_data_provider provider{};
    provider.read_callback = &Http2Callbacks::readBody;
    const std::int32_t stream =
        nghttp2_submit_request(m_session, nullptr, headers.data(), headers.size(), &provider, this);
    if (stream < 0)
        return stream;
    m_streams[stream].requestBody.assign(body.begin(), body.end());
    // HEADERS and DATA of the request leave together.
    if (!flush(out))
        return -1;
    return stream;
}

bool Http2Client::usable() const {
    return m_session != nullptr && !m_goaway &&
           (nghttp2_session_want_read(m_session) != 0 ||
            nghttp2_session_want_write(m_session) != 0);
}

bool Http2Client::flush(std::string& out) {
    for (;;) {
        const std::uint8_t* data = nullptr;
        const ssize_t length = nghttp2_session_mem_send(m_session, &data);
        if (length < 0)
            return false;
        if (length == 0)
            return true;
        out.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    }
}

void Http2Client::headerArrived(std::int32_t stream, std::string_view name,
                                std::string_view value) {
    const auto found = m_streams.find(stream);
    if (found == m_streams.end())
        return;
    Response& response = found->second.response;
    if (name == ":status") {
        int status = 0;
        for (const char c : value.substr(0, 3))
            status = c >= '0' && c <= '9' ? status * 10 + (c - '0') : 0;
        response.status = status;
    } else if (name == "content-type") {
        response.contentType.assign(value.substr(0, 200));
    }
}

bool Http2Client::dataArrived(std::int32_t stream, ByteView data) {
    const auto found = m_streams.find(stream);
    if (found == m_streams.end())
        return true;
    Response& response = found->second.response;
    if (!response.errorText.empty())
        return true;
    if (response.body.size() + data.size() > m_maxBody) {
        response.errorText = kOverLimitText;
        response.body.clear();
        return false;
    }
    response.body.insert(response.body.end(), data.begin(), data.end());
    return true;
}

void Http2Client::streamClosed(std::int32_t stream, std::uint32_t errorCode) {
    const auto found = m_streams.find(stream);
    if (found == m_streams.end())
        return;
    Response response = std::move(found->second.response);
    m_streams.erase(found);
    if (response.errorText.empty() && errorCode != NGHTTP2_NO_ERROR)
        response.errorText =
            std::string("HTTP/2 stream reset: ") + nghttp2_http2_strerror(errorCode);
    // A stream closed outside receive() (the session's end) has nobody left to hear it.
    if (m_completed)
        m_completed->push_back({stream, std::move(response)});
}

long Http2Client::readBody(std::int32_t stream, std::uint8_t* buffer, std::size_t length,
                           bool& end) {
    const auto found = m_streams.find(stream);
    if (found == m_streams.end()) {
        end = true;
        return 0;
    }
    Stream& request = found->second;
    const std::size_t count = std::min(length, request.requestBody.size() - request.sent);
    std::memcpy(buffer, request.requestBody.data() + request.sent, count);
    request.sent += count;
    end = request.sent == request.requestBody.size();
    return static_cast<long>(count);
}

} // namespace tarnbell::http
