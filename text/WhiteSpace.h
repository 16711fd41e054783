#pragma once

#include <array>

namespace morvik {

// The white space that separates the tokens of every file the program reads: blank, tab, line
// feed, carriage return, vertical tab and form feed. Readers test every character of a file, so
// this is one table look-up.
inline constexpr std::array<bool, 256> kWhiteSpaceTable = [] {
    std::array<bool, 256> table{};
    for (const char c : {' ', '\t', '\n', '\r', '\v', '\f'}) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}();

inline bool isWhiteSpace(char c) {
    return kWhiteSpaceTable[static_cast<unsigned char>(c)];
}

} // namespace morvik
