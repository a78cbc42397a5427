// Feeds arbitrary server bytes to both DNS-over-HTTPS readers, cut where the first byte says:
// the HTTP/1.1 response reader, and an HTTP/2 session that has sent one POST. A body over the
// limit, a reader that holds more than one response's worth, or a broken reader that still
// hands out responses aborts the run.
#include "http/http1reader.h"
#include "http/http2client.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxBody = 512;

void readHttp1(tarnbell::http::ByteView stream, std::size_t piece) {
    using tarnbell::http::Http1Reader;
    Http1Reader reader(kMaxBody);
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        reader.append(stream.subspan(at, std::min(piece, stream.size() - at)));
        tarnbell::http::Http1Response response;
        Http1Reader::Status status;
        while ((status = reader.next(response)) == Http1Reader::Status::Response) {
            if (response.body.size() > kMaxBody || response.status < 200)
                std::abort();
        }
        if (status == Http1Reader::Status::Broken &&
            (reader.next(response) != Http1Reader::Status::Broken || reader.pending() != 0))
            std::abort();
        // A head, a body and a chunk line at most, plus the piece just taken.
        if (reader.pending() > tarnbell::http::kMaxHead + kMaxBody + 1024 + 4 + piece)
            std::abort();
    }
}

void readHttp2(tarnbell::http::ByteView stream, std::size_t piece) {
    using tarnbell::http::Http2Client;
    Http2Client client(kMaxBody);
    std::string out;
    static const std::uint8_t query[12] = {0x11, 0xDF, 0x01, 0x00, 0, 1};
    if (!client.start(out) || client.post("resolver.test", "/dns-query", query, out) < 0)
        std::abort();
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        std::vector<Http2Client::Completed> completed;
        std::string error;
        out.clear();
        const bool ok = client.receive(stream.subspan(at, std::min(piece, stream.size() - at)), out,
                                       completed, error);
        for (const Http2Client::Completed& done : completed)
            if (done.response.body.size() > kMaxBody)
                std::abort();
        if (!ok)
            return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const tarnbell::http::ByteView stream(data + 1, size - 1);
    readHttp1(stream, piece);
    readHttp2(stream, piece);
    return 0;
}
