#pragma once
// The resource records of a reply, section by section (RFC 1035 4.1.3), read on a
// bounds-checked cursor: owner name, type, class, TTL and where the RDATA lies, for any
// reader that wants more of a reply than its header.

#include "dns/moddns.h"
#include "dns/wirecursor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnbell::dns {

inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypeAAAA = 28; // RFC 3596
inline constexpr std::uint16_t kClassIN = 1;

enum class Section { Answer, Authority, Additional };

struct ResourceRecord {
    Section section = Section::Answer;
    std::string owner; // dotted, as WireCursor::name() reads it
    std::uint16_t type = 0;
    std::uint16_t rclass = 0;
    // Seconds. RFC 2181 8: a value with the top bit set is taken as zero.
    std::uint32_t ttl = 0;
    ByteView rdata; // a view into the reply
    // Where the RDATA starts in the reply: names inside it may point anywhere before.
    std::size_t rdataOffset = 0;
};

class RecordWalker {
public:
    // Reads the header's counts and passes over the question section.
    explicit RecordWalker(ByteView reply);

    // The next record in reply order, answers first. False at the end of the records the
    // header counts, or at the first fault, which failed() then reports.
    bool next(ResourceRecord& record);
    // The reply ended early or held a malformed name; records read before stay good.
    bool failed() const { return m_cursor.failed(); }

private:
    WireCursor m_cursor;
    std::uint16_t m_left[3] = {0, 0, 0}; // records still to read, by section
    int m_section = 0;
};

inline constexpr std::uint16_t kTypeSOA = 6;

// The SOA record of a negative answer's authority section (RFC 2308 3): its owner (the zone),
// its TTL as served, and the MINIMUM field of its RDATA (RFC 1035 3.3.13).
struct NegativeAnswerSoa {
    std::string zone;
    std::uint32_t ttl = 0;
    std::uint32_t minimum = 0;
};
// The first well-formed SOA record of class IN in the authority section of `reply`, if any.
std::optional<NegativeAnswerSoa> ReadNegativeAnswerSoa(ByteView reply);

// The RDATA of every answer record of class IN and type `qtype` (kTypeA: 4 bytes, kTypeAAAA:
// 16), in reply order, whatever its owner name; a record of another length is passed over.
// Reading stops at the first fault, keeping the addresses read before it.
std::vector<Bytes> ReadAddresses(ByteView reply, std::uint16_t qtype);

} // namespace tarnbell::dns
