#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

using MacBytes = std::array<std::uint8_t, 6>;

// Reads six hexadecimal pairs separated by ":" or "-" (either case), as the device list shows
// them. Anything else gives nothing.
std::optional<MacBytes> parseMacText(std::string_view text);

// "02:00:00:0A:1B:2C": the form the device list, the credential log and the tool use.
std::string formatMacText(const MacBytes& mac);

// MAC texts are looked up and stored in upper case; only ASCII letters change.
std::string upperCaseMacText(std::string_view text);

} // namespace morvik
