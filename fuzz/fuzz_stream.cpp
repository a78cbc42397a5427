// Feeds arbitrary bytes to the reader of a DNS byte stream (RFC 7766 two-byte length), cut
// where the first byte says, with a capacity the second byte picks, and every message it
// hands out to the reply readers. A message longer than the capacity, more bytes out than
// in, or a broken stream that still hands out messages aborts the run.
#include "dns/moddns.h"
#include "dns/streamframe.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnbell::dns;
    if (size < 2)
        return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const std::size_t capacity = data[1] == 0 ? kMaxStreamMessage : std::size_t{data[1]} * 16;
    const ByteView stream(data + 2, size - 2);
    static const Query query = BuildQuery("example.test", kTypeMX);

    StreamReader reader(capacity);
    std::size_t handedOut = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        reader.append(stream.subspan(at, std::min(piece, stream.size() - at)));
        Bytes message;
        StreamReader::Status status;
        while ((status = reader.next(message)) == StreamReader::Status::Message) {
            if (message.empty() || message.size() > capacity)
                std::abort();
            handedOut += message.size() + 2;
            (void)IsAnswerTo(message, query.datagram);
            (void)ReadReplyHeader(message);
            (void)InterpretReply(message, kTypeMX);
        }
        if (handedOut > stream.size())
            std::abort();
        if (status == StreamReader::Status::Broken &&
            (reader.next(message) != StreamReader::Status::Broken || reader.pending() != 0))
            std::abort();
    }
    // Every byte taken is either handed out or still held.
    if (!reader.broken() && handedOut + reader.pending() != stream.size())
        std::abort();
    return 0;
}
