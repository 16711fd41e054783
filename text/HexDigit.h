#pragma once

#include <optional>

namespace morvik {

// The value of one hexadecimal digit, either case; nothing for any other character.
inline constexpr std::optional<int> hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

} // namespace morvik
