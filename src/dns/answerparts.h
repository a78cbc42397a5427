#pragma once
// What the server checks read of an answer beyond its code: the AD bit, the OPT record (EDNS,
// RFC 6891) with its NSID option (RFC 5001), and SVCB records (RFC 9460), which a resolver
// announces its encrypted endpoints with (RFC 9462). Every read is bounds-checked on a
// WireCursor; a malformed part is reported as such, never read past.

#include "dns/moddns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnbell::dns {

inline constexpr std::uint16_t kTypeOPT = 41;
inline constexpr std::uint16_t kTypeSVCB = 64;
inline constexpr std::uint16_t kEdnsOptionNsid = 3;

// RFC 4035 3.2.3: AD, the resolver's word that it validated every record of the answer.
bool AuthenticatedData(ByteView reply);

struct EdnsRecord {
    std::uint16_t payloadSize = 0;
    std::uint8_t version = 0;
    bool dnssecOk = false;
    bool hasNsid = false;
    Bytes nsid; // the server's identifier as sent: often text, not always
};
// The OPT record of the additional section; nothing when the answer has none or it is cut.
std::optional<EdnsRecord> ReadEdns(ByteView reply);

struct SvcbRecord {
    std::uint16_t priority = 0; // 0: an alias, which names no endpoint
    std::string target;         // "." means the owner name itself
    std::vector<std::string> alpn;
    std::optional<std::uint16_t> port;
    std::vector<Bytes> ipv4Hints; // 4 bytes each
    std::vector<Bytes> ipv6Hints; // 16 bytes each
    std::string dohPath;          // RFC 9461: the URI template of DNS over HTTPS
    bool malformed = false;       // parameters out of order or cut short: not to be used
};
// The SVCB records of the answer section, in the order given.
std::vector<SvcbRecord> ReadSvcb(ByteView reply);

} // namespace tarnbell::dns
