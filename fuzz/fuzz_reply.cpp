// Feeds arbitrary bytes to every reader of a reply: the reading for each record type, the
// MX walk from the question, the record walk and the addresses read on it, the match against
// a fixed query and against the bytes themselves, and the query built from the bytes taken as
// a domain name. Invariants that
// must hold for any input abort the run.
#include "dns/answerparts.h"
#include "dns/moddns.h"
#include "dns/records.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnbell::dns;
    const ByteView reply(data, size);
    // A name grows by at most one copy of the datagram per pointer followed.
    const std::size_t longestText = size * (kMaxPointersPerName + 1);
    for (const std::uint16_t type :
         {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{6}, std::uint16_t{15}})
        if (InterpretReply(reply, type).size() > longestText)
            std::abort();

    static const Query query = BuildQuery("example.test", kTypeMX);
    (void)IsAnswerTo(reply, query.datagram);
    (void)IsAnswerTo(reply, reply); // the question walk over hostile query bytes
    (void)ReadReplyHeader(reply);

    // Every record lies inside the reply and takes at least 11 bytes (a root owner, the
    // fixed fields); an owner name's dotted text is shorter than its 255 wire bytes.
    RecordWalker walker(reply);
    ResourceRecord record;
    std::size_t records = 0;
    while (walker.next(record)) {
        if (++records > size / 11 || record.owner.empty() || record.owner.size() > 253 ||
            record.rdataOffset + record.rdata.size() > size ||
            (!record.rdata.empty() && record.rdata.data() != data + record.rdataOffset))
            std::abort();
    }
    for (const std::uint16_t type : {kTypeA, kTypeAAAA})
        for (const Bytes& address : ReadAddresses(reply, type))
            if (address.size() != (type == kTypeA ? 4u : 16u))
                std::abort();
    if (const auto soa = ReadNegativeAnswerSoa(reply); soa && soa->zone.size() > 253)
        std::abort();
    // What the server checks read: an NSID and SVCB parameters lie inside the reply.
    if (const auto edns = ReadEdns(reply); edns && edns->nsid.size() > size)
        std::abort();
    for (const SvcbRecord& svcb : ReadSvcb(reply)) {
        if (svcb.dohPath.size() > size || svcb.alpn.size() > size ||
            (svcb.ipv4Hints.size() * 4 + svcb.ipv6Hints.size() * 16) > size)
            std::abort();
    }
    (void)AuthenticatedData(reply);

    std::size_t pos = size > 0 ? data[0] % (size + 1) : 0;
    std::string text;
    ReadName(reply, pos, text);
    if (pos > size || text.size() > longestText)
        std::abort();

    // The bytes as a domain name: a query that can be built fits the buffer, and the same
    // bytes marked as a response answer it.
    const Query own = BuildQuery({reinterpret_cast<const char*>(data), size}, 1);
    if (own.error == QueryError::None) {
        Bytes echo = own.datagram;
        if (echo.size() > kQueryBufferSize || echo.size() < 18)
            std::abort();
        echo[2] |= 0x80;
        if (!IsAnswerTo(echo, own.datagram))
            std::abort();
    }
    return 0;
}
