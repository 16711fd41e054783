#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::test {

// "03 A8 16" -> {0x03, 0xA8, 0x16}: frames in tests read like the traces they come from.
inline std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::string pair;
    for (const char c : text) {
        if (c == ' ') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
            pair.clear();
        }
    }
    if (!pair.empty()) {
        throw std::invalid_argument("odd number of hex digits");
    }
    return bytes;
}

} // namespace morvik::test
