#include "dns/answerparts.h"

#include "dns/records.h"
#include "dns/wirecursor.h"

namespace tarnbell::dns {
namespace {

// RFC 9460 7.1.1: alpn is a list of length-prefixed protocol names.
bool readAlpn(ByteView value, std::vector<std::string>& alpn) {
    WireCursor cursor(value);
    while (cursor.remaining() > 0) {
        const std::uint8_t length = cursor.u8();
        const ByteView name = cursor.bytes(length);
        if (cursor.failed() || length == 0)
            return false;
        alpn.emplace_back(name.begin(), name.end());
    }
    return !cursor.failed();
}

bool readHints(ByteView value, std::size_t size, std::vector<Bytes>& hints) {
    if (value.empty() || value.size() % size != 0)
        return false;
    for (std::size_t at = 0; at < value.size(); at += size)
        hints.emplace_back(value.begin() + static_cast<std::ptrdiff_t>(at),
                           value.begin() + static_cast<std::ptrdiff_t>(at + size));
    return true;
}

SvcbRecord readSvcb(ByteView reply, const ResourceRecord& record) {
    SvcbRecord svcb;
    WireCursor cursor(reply.first(record.rdataOffset + record.rdata.size()), record.rdataOffset);
    svcb.priority = cursor.u16();
    svcb.target = cursor.name();
    int lastKey = -1;
    while (!cursor.failed() && cursor.remaining() > 0) {
        const std::uint16_t key = cursor.u16();
        const ByteView value = cursor.bytes(cursor.u16());
        // RFC 9460 2.2: keys in strictly increasing order.
        if (cursor.failed() || key <= lastKey) {
            svcb.malformed = true;
            return svcb;
        }
        lastKey = key;
        bool good = true;
        switch (key) {
        case 1:
            good = readAlpn(value, svcb.alpn);
            break;
        case 3:
            good = value.size() == 2;
            if (good)
                svcb.port = static_cast<std::uint16_t>((value[0] << 8) | value[1]);
            break;
        case 4:
            good = readHints(value, 4, svcb.ipv4Hints);
            break;
        case 6:
            good = readHints(value, 16, svcb.ipv6Hints);
            break;
        case 7:
            svcb.dohPath.assign(value.begin(), value.end());
            break;
        default:
            break; // mandatory, no-default-alpn, ech and keys to come: nothing read here
        }
        if (!good) {
            svcb.malformed = true;
            return svcb;
        }
    }
    svcb.malformed = cursor.failed();
    return svcb;
}

} // namespace

bool AuthenticatedData(ByteView reply) {
    return reply.size() >= 4 && (reply[3] & 0x20) != 0;
}

std::optional<EdnsRecord> ReadEdns(ByteView reply) {
    RecordWalker walker(reply);
    ResourceRecord record;
    while (walker.next(record)) {
        if (record.section != Section::Additional || record.type != kTypeOPT)
            continue;
        // RFC 6891 6.1.2: CLASS is the payload size, TTL the extended RCODE, version and flags.
        EdnsRecord edns;
        edns.payloadSize = record.rclass;
        edns.version = static_cast<std::uint8_t>(record.ttl >> 16);
        edns.dnssecOk = (record.ttl & 0x8000) != 0;
        WireCursor options(record.rdata);
        while (options.remaining() > 0) {
            const std::uint16_t code = options.u16();
            const ByteView value = options.bytes(options.u16());
            if (options.failed())
                return std::nullopt;
            if (code == kEdnsOptionNsid) {
                edns.hasNsid = true;
                edns.nsid.assign(value.begin(), value.end());
            }
        }
        return edns;
    }
    return std::nullopt;
}

std::vector<SvcbRecord> ReadSvcb(ByteView reply) {
    std::vector<SvcbRecord> records;
    RecordWalker walker(reply);
    ResourceRecord record;
    while (walker.next(record) && record.section == Section::Answer) {
        if (record.type == kTypeSVCB && record.rclass == kClassIN)
            records.push_back(readSvcb(reply, record));
    }
    return records;
}

} // namespace tarnbell::dns
