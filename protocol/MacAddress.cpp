#include "protocol/MacAddress.h"

#include "text/HexDigit.h"

#include <string_view>

namespace morvik {

std::optional<MacBytes> parseMacText(std::string_view text) {
    // Six pairs and five separators.
    if (text.size() != 17) {
        return std::nullopt;
    }
    MacBytes mac{};
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * 3;
        const std::optional<int> high = hexDigitValue(text[at]);
        const std::optional<int> low = hexDigitValue(text[at + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        if (i < 5 && text[at + 2] != ':' && text[at + 2] != '-') {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(*high * 16 + *low);
    }
    return mac;
}

// Every probe reply is named by its MAC: a burst of hundreds must not wait for printf.
std::string formatMacText(const MacBytes& mac) {
    static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    std::string text(mac.size() * 3 - 1, ':');
    for (std::size_t i = 0; i < mac.size(); ++i) {
        text[i * 3] = kHexDigits[mac[i] >> 4];
        text[i * 3 + 1] = kHexDigits[mac[i] & 0x0F];
    }
    return text;
}

std::string upperCaseMacText(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

} // namespace morvik
