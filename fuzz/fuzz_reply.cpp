// Feeds arbitrary bytes to every reader of a reply: the reading for each record type, the
// MX walk from the question, and the match against a fixed query.
#include "dns/moddns.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnbell::dns;
    const ByteView reply(data, size);
    for (const std::uint16_t type : {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{6},
                                     std::uint16_t{15}})
        (void)InterpretReply(reply, type);

    static const Query query = BuildQuery("example.test", kTypeMX);
    (void)IsAnswerTo(reply, query.datagram);

    std::size_t pos = size > 0 ? data[0] % (size + 1) : 0;
    std::string text;
    ReadName(reply, pos, text);
    return 0;
}
