#include "dns/moddns.h"

#include <algorithm>

namespace tarnbell::dns {
namespace {

constexpr std::size_t kHeaderSize = 12;
// A dotted name longer than this is cut: real names stay below 256 characters, and the cap
// bounds the work that a reply full of pointer chains can cause.
constexpr std::size_t kMaxNameText = 4096;

std::uint16_t readU16(ByteView bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void appendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool closeLabel(std::string& encoded, const std::string& label) {
    if (label.size() > kMaxLabelLength)
        return false;
    encoded.push_back(static_cast<char>(static_cast<unsigned char>(label.size())));
    encoded += label;
    return true;
}

std::uint8_t asciiLower(std::uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<std::uint8_t>(byte + ('a' - 'A')) : byte;
}

} // namespace

const char* QueryErrorText(QueryError error) {
    switch (error) {
    case QueryError::None:
        return "";
    case QueryError::LabelTooLong:
        return "Error: the domain has a label longer than 255 characters";
    case QueryError::QueryTooLong:
        return "Error: the domain is too long for a DNS query";
    }
    return "Error: the query cannot be built";
}

EncodedName EncodeName(std::string_view name) {
    EncodedName result;
    std::string label;
    for (const char c : name) {
        if (c != '.') {
            label.push_back(c);
            continue;
        }
        if (!closeLabel(result.labels, label)) {
            return {{}, QueryError::LabelTooLong};
        }
        label.clear();
    }
    if (!closeLabel(result.labels, label))
        return {{}, QueryError::LabelTooLong};
    return result;
}

Query BuildQuery(std::string_view name, std::uint16_t recordType) {
    const EncodedName encoded = EncodeName(name);
    if (encoded.error != QueryError::None)
        return {{}, encoded.error};
    // Header, the labels, the closing zero byte, QTYPE and QCLASS.
    const std::size_t size = kHeaderSize + encoded.labels.size() + 1 + 4;
    if (size > kQueryBufferSize)
        return {{}, QueryError::QueryTooLong};

    Query query;
    Bytes& out = query.datagram;
    out.reserve(size);
    appendU16(out, kQueryId);
    out.push_back(0x01); // RD: recursion desired
    out.push_back(0x00);
    appendU16(out, 1); // QDCOUNT
    appendU16(out, 0); // ANCOUNT
    appendU16(out, 0); // NSCOUNT
    appendU16(out, 0); // ARCOUNT
    for (const char c : encoded.labels)
        out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0x00);
    appendU16(out, recordType);
    appendU16(out, 1); // QCLASS IN
    return query;
}

Query BuildQuery(std::string_view name, std::uint16_t recordType, const EdnsOptions& edns) {
    Query query = BuildQuery(name, recordType);
    if (query.error != QueryError::None)
        return query;
    Bytes& out = query.datagram;
    out[11] = 1;        // ARCOUNT
    out.push_back(0);   // the root name
    appendU16(out, 41); // OPT
    appendU16(out, kEdnsPayloadSize);
    out.push_back(0); // extended RCODE
    out.push_back(0); // version 0
    appendU16(out, edns.dnssecOk ? 0x8000 : 0);
    appendU16(out, edns.nsid ? 4 : 0); // RDLENGTH
    if (edns.nsid) {
        appendU16(out, 3); // NSID, asked for with no data
        appendU16(out, 0);
    }
    return query;
}

std::uint16_t RecordTypeCode(std::string_view choice) {
    const std::size_t blank = choice.find(' ');
    if (blank == std::string_view::npos)
        return 0;
    unsigned value = 0;
    for (std::size_t i = blank + 1; i < choice.size(); ++i) {
        const char c = choice[i];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFF)
            return 0;
    }
    return static_cast<std::uint16_t>(value);
}

void ReadName(ByteView reply, std::size_t& pos, std::string& text) {
    const std::size_t textStart = text.size();
    std::size_t p = pos;
    // Where the caller's position ends: on the zero byte, or just past the first pointer.
    bool followedPointer = false;
    // RFC 1035 4.1.4: a pointer must point backwards, before the start of the labels that
    // led to it, so every jump makes progress towards offset 0 and a loop cannot form.
    std::size_t segmentStart = p;
    int pointers = 0;

    while (p < reply.size() && text.size() - textStart < kMaxNameText) {
        const std::uint8_t length = reply[p];
        if (length == 0)
            break;
        if ((length & 0xC0) == 0xC0) {
            if (p + 1 >= reply.size())
                break;
            const std::size_t target =
                static_cast<std::size_t>((length & 0x3F) << 8) | reply[p + 1];
            if (!followedPointer) {
                pos = p + 2;
                followedPointer = true;
            }
            if (target >= segmentStart || ++pointers > kMaxPointersPerName)
                return;
            p = target;
            segmentStart = target;
            continue;
        }
        ++p;
        const std::size_t available = std::min<std::size_t>(length, reply.size() - p);
        text.append(reinterpret_cast<const char*>(reply.data() + p), available);
        p += available;
        if (available < length || p >= reply.size())
            break;
        if (reply[p] != 0)
            text.push_back('.');
    }
    if (text.size() - textStart > kMaxNameText)
        text.resize(textStart + kMaxNameText);
    if (!followedPointer)
        pos = std::min(p, reply.size());
}

std::string ReadMX(ByteView reply, std::size_t& pos, std::uint16_t& count) {
    bool haveBest = false;
    std::uint16_t bestPreference = 0;
    std::string bestName;

    std::string question;
    ReadName(reply, pos, question);
    std::size_t record = pos + 5; // past the zero byte, QTYPE and QCLASS
    while (count != 0) {
        // TYPE (2), CLASS (2), TTL (4), RDLENGTH (2), PREFERENCE (2) after a 2-byte owner.
        if (record + 14 > reply.size() || readU16(reply, record + 2) != kTypeMX)
            break;
        const std::uint16_t rdLength = readU16(reply, record + 10);
        const std::uint16_t preference = readU16(reply, record + 12);
        std::size_t exchangePos = record + 14;
        std::string exchange;
        ReadName(reply, exchangePos, exchange);
        if (!haveBest || preference < bestPreference) {
            haveBest = true;
            bestPreference = preference;
            bestName = std::move(exchange);
        }
        record += 12 + std::size_t{rdLength};
        --count;
    }
    pos = std::min(record, reply.size());
    return bestName;
}

std::string InterpretReply(ByteView reply, std::uint16_t recordType) {
    if (reply.size() < 8)
        return {};
    std::uint16_t answerCount = readU16(reply, 6);
    std::size_t pos = kHeaderSize;
    std::string text;
    if (recordType == kTypeMX)
        text = ReadMX(reply, pos, answerCount);
    else
        ReadName(reply, pos, text);

    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsAnswerTo(ByteView reply, ByteView query) {
    if (query.size() < kHeaderSize || reply.size() < kHeaderSize)
        return false;
    if (reply[0] != query[0] || reply[1] != query[1] || (reply[2] & 0x80) == 0)
        return false;
    // A response with our ID and no question section is the server's own word on the query:
    // servers answer a query they cannot parse (FORMERR) that way.
    if (readU16(reply, 4) == 0)
        return true;
    // The question as the server reads it (RFC 1035 4.1.2, 4.1.4): the name ends at its first
    // zero length byte or at a pointer, whatever our query carries after it. A name with an
    // empty label (a leading, doubled or trailing dot) thus ends early, and the server echoes
    // that shorter question. Length bytes are compared exactly, label bytes without regard to
    // case (RFC 1035 2.3.3).
    std::size_t p = kHeaderSize;
    while (p < query.size() && p < reply.size() && query[p] != 0 && (query[p] & 0xC0) != 0xC0) {
        const std::size_t labelEnd = p + 1 + query[p];
        if (reply[p] != query[p] || labelEnd > query.size() || labelEnd > reply.size())
            return false;
        for (std::size_t i = p + 1; i < labelEnd; ++i)
            if (asciiLower(reply[i]) != asciiLower(query[i]))
                return false;
        p = labelEnd;
    }
    if (p >= query.size())
        return false;
    // The zero byte or the two pointer bytes, then QTYPE and QCLASS, byte for byte.
    const std::size_t end = p + (query[p] == 0 ? 1 : 2) + 4;
    if (end > query.size() || end > reply.size())
        return false;
    const auto from = static_cast<std::ptrdiff_t>(p);
    const auto to = static_cast<std::ptrdiff_t>(end);
    return std::equal(query.begin() + from, query.begin() + to, reply.begin() + from);
}

std::optional<ReplyHeader> ReadReplyHeader(ByteView reply) {
    if (reply.size() < kHeaderSize)
        return std::nullopt;
    // Flags: QR, Opcode(4), AA, TC, RD in byte 2; RA, Z(3), RCODE(4) in byte 3.
    return ReplyHeader{static_cast<std::uint8_t>(reply[3] & 0x0F), (reply[2] & 0x02) != 0};
}

} // namespace tarnbell::dns
