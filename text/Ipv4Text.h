#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace morvik {

// Strict dotted text of an IPv4 address ("10.77.0.1"): four decimal numbers of at most 255
// without leading zeros, separated by dots and nothing else, as the socket API's presentation
// form is read. Network order; nothing for any other text.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

} // namespace morvik
