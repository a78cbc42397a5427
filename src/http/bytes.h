#pragma once
// Bytes as the HTTP readers take and hand them out (the same spans and vectors the DNS codec
// uses), and the words for a server that sends more of them than a DNS answer can be.

#include <cstdint>
#include <span>
#include <vector>

namespace tarnbell::http {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline constexpr const char* kOverLimitText =
    "the server sent more than one answer's worth of data";

} // namespace tarnbell::http
