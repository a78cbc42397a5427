#pragma once
// The DNS wire codec: the one query message the program sends, the label encoding of a
// name, and the reading of a reply. Plain C++20 so the fuzz target runs it bare.
// Every reader is bounds-checked on every byte; nothing here throws or allocates without
// bound on hostile input.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnbell::dns {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Every query carries this ID, so a reply to one probe looks like a reply to any other:
// IsAnswerTo() is what tells them apart.
inline constexpr std::uint16_t kQueryId = 0x11DF;
// The query is assembled in a buffer of this many bytes; a longer query cannot be built.
inline constexpr std::size_t kQueryBufferSize = 4001;
// A label's length is written in one byte.
inline constexpr std::size_t kMaxLabelLength = 255;
// A name read follows at most this many compression pointers. Each must point backwards
// (RFC 1035 4.1.4: a pointer refers to a prior occurrence), so this only bounds the work.
inline constexpr int kMaxPointersPerName = 128;
inline constexpr std::uint16_t kTypeMX = 15;

enum class QueryError {
    None,
    LabelTooLong, // a label of more than 255 bytes has no length byte
    QueryTooLong, // the query would not fit the 4001-byte buffer
};

// A plain-words description of a QueryError, fit to show in a result row.
const char* QueryErrorText(QueryError error);

struct EncodedName {
    std::string labels; // one char per byte, without the closing zero byte
    QueryError error = QueryError::None;
};

// Label encoding of `name`: every "." closes a label whatever its length (empty labels
// included), and the end of the text closes the last one. Labels of 64..255 bytes are
// written with their plain length byte.
EncodedName EncodeName(std::string_view name);

struct Query {
    Bytes datagram; // empty when error != None
    QueryError error = QueryError::None;
};

// The query datagram: ID 0x11DF, flags 01 00, one question, `name` encoded by EncodeName,
// a closing zero byte, QTYPE `recordType`, QCLASS 1 (IN). No EDNS.
Query BuildQuery(std::string_view name, std::uint16_t recordType);

// What a query's OPT record (EDNS, RFC 6891) asks for.
struct EdnsOptions {
    bool dnssecOk = false; // DO (RFC 3225): DNSSEC records with the answer
    bool nsid = false;     // an empty NSID option (RFC 5001): which server instance answers
};
// The UDP payload size a query with EDNS offers: the size DNS Flag Day 2020 settled on, which
// travels unfragmented on almost every path.
inline constexpr std::uint16_t kEdnsPayloadSize = 1232;

// The query of BuildQuery with an OPT record in its additional section (ARCOUNT 1).
Query BuildQuery(std::string_view name, std::uint16_t recordType, const EdnsOptions& edns);

// The type code of a record-type choice such as "MX 15": the number after the first blank.
// 0 when there is no number.
std::uint16_t RecordTypeCode(std::string_view choice);

// Appends the name at `pos` of `reply`, in dotted form, to `text`. A name ending in its
// zero byte leaves `pos` on that byte; one ending in a pointer leaves `pos` just past it.
// Reads stop at the end of the datagram and at a pointer that does not point backwards,
// keeping the text read so far.
void ReadName(ByteView reply, std::size_t& pos, std::string& text);

// Walks the answer records from the question at `pos` (12) for `count` records while they
// are MX records, and returns the exchange with the lowest preference (the earlier one on a
// tie), or the empty text.
std::string ReadMX(ByteView reply, std::size_t& pos, std::uint16_t& count);

// One line of text from a reply: for MX the best exchange, for any other type the question
// name as the reply repeats it; leading and trailing blanks removed. Replies shorter than
// 8 bytes give the empty text.
std::string InterpretReply(ByteView reply, std::uint16_t recordType);

// True when `reply` answers `query`: a response (QR set) with the query's ID and either no
// question section (QDCOUNT 0, as servers send with FORMERR) or the same question (name
// compared case-insensitively as RFC 1035 2.3.3 asks, type and class). The
// question is taken as a server reads it from `query`: its name ends at the first zero length
// byte (or a length byte that reads as a pointer), so a name with an empty label is matched
// by the shorter question a server echoes.
bool IsAnswerTo(ByteView reply, ByteView query);

// Response codes of RFC 1035 4.1.1 that the run tells apart.
inline constexpr std::uint8_t kRcodeNoError = 0;
inline constexpr std::uint8_t kRcodeFormErr = 1;
inline constexpr std::uint8_t kRcodeServFail = 2;
inline constexpr std::uint8_t kRcodeNxDomain = 3;
inline constexpr std::uint8_t kRcodeNotImp = 4;
inline constexpr std::uint8_t kRcodeRefused = 5;

struct ReplyHeader {
    std::uint8_t rcode = kRcodeNoError; // the low four bits of the flags (RFC 1035 4.1.1)
    bool truncated = false;             // TC: the answer did not fit the datagram
};

// The response code and TC bit of `reply`; nothing when it is shorter than a header.
std::optional<ReplyHeader> ReadReplyHeader(ByteView reply);

} // namespace tarnbell::dns
