// Feeds arbitrary client bytes to the metrics listener's request reading, cut where the first
// byte says: the request head reader, then content negotiation over the Accept fields it kept
// and over the raw bytes as one Accept value. A reader that holds more than its limit, takes
// bytes after it has decided, or keeps more of a head than the head held, or a negotiation that
// picks no offer, aborts the run.
#include "http/acceptheader.h"
#include "http/requesthead.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::array<tarnbell::http::MediaOffer, 2> kOffers = {{
    {"text/plain", "0.0.4"},
    {"application/openmetrics-text", "1.0.0"},
}};

void negotiate(std::string_view accept) {
    if (tarnbell::http::negotiate(accept, kOffers) >= kOffers.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarnbell::http::RequestHeadReader;
    if (size < 1)
        return 0;
    const std::size_t piece = std::size_t{data[0]} * 64 + 1;
    const tarnbell::http::ByteView stream(data + 1, size - 1);
    RequestHeadReader reader;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const RequestHeadReader::Status before = reader.status();
        const RequestHeadReader::Status status =
            reader.append(stream.subspan(at, std::min(piece, stream.size() - at)));
        if (reader.held() > tarnbell::http::kMaxRequestHead ||
            (before != RequestHeadReader::Status::NeedMore && status != before))
            std::abort();
    }
    if (reader.status() == RequestHeadReader::Status::Complete) {
        const auto& head = reader.head();
        if (head.method.size() + head.target.size() > stream.size() ||
            head.accept.size() > 2 * stream.size())
            std::abort();
        negotiate(head.accept);
    }
    negotiate(std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()));
    return 0;
}
