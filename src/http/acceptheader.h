#pragma once
// Content negotiation by the Accept header (RFC 9110 12.5.1) for the metrics listener: which
// of the media types it can send the client ranks highest. The header comes from anyone who
// can connect, so it is read without trust: at most kMaxMediaRanges ranges, and anything
// unreadable counts as not asked for.

#include <cstddef>
#include <span>
#include <string_view>

namespace tarnbell::http {

inline constexpr std::size_t kMaxMediaRanges = 32;
// Offers past this many are never chosen.
inline constexpr std::size_t kMaxOffers = 4;

struct MediaOffer {
    std::string_view type;    // "text/plain", "application/openmetrics-text"
    std::string_view version; // its "version" parameter: "0.0.4", "1.0.0"
};

// The index of the offer with the highest q value, each offer taking the q of the most
// specific range that matches it (type with version, type, "type/*", "*/*"; a range naming
// another version does not match); the earlier offer on a tie, and the first offer when no
// range matches any (the client then gets the default format, as scrapers expect).
std::size_t negotiate(std::string_view accept, std::span<const MediaOffer> offers);

} // namespace tarnbell::http
