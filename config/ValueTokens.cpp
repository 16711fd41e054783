#include "config/ValueTokens.h"

#include "text/HexDigit.h"
#include "text/WhiteSpace.h"

#include <array>
#include <optional>

namespace morvik {

namespace {

bool needsEscape(unsigned char c) {
    return c == '%' || c == '_' || (c < 0x20) || c == 0x7F;
}

} // namespace

std::string escapedToken(std::string_view value) {
    if (value.empty()) {
        return std::string(kEmptyValueToken);
    }
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    std::string token;
    token.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        // The text "<none>" itself must not read as an empty value.
        const bool emptyLookalike = i == 0 && value == kEmptyValueToken;
        if (c == ' ') {
            token += '_';
        } else if (needsEscape(c) || emptyLookalike) {
            token += '%';
            token += kHex[c >> 4];
            token += kHex[c & 0x0F];
        } else {
            token += static_cast<char>(c);
        }
    }
    return token;
}

std::string valueOfEscapedToken(std::string_view token) {
    if (token == kEmptyValueToken) {
        return {};
    }
    std::string value;
    value.reserve(token.size());
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        if (c == '_') {
            value += ' ';
            continue;
        }
        const auto high =
            c == '%' && i + 2 < token.size() ? hexDigitValue(token[i + 1]) : std::nullopt;
        const auto low = high ? hexDigitValue(token[i + 2]) : std::nullopt;
        if (high && low) {
            value += static_cast<char>(*high * 16 + *low);
            i += 2;
        } else {
            value += c;
        }
    }
    return value;
}

// Any white space, not only a blank, would split the token and end the reading of the file
// there, so every kind is written as "_".
std::string legacyToken(std::string_view value) {
    if (value.empty()) {
        return std::string(kEmptyValueToken);
    }
    std::string token(value);
    for (char& c : token) {
        if (isWhiteSpace(c)) {
            c = '_';
        }
    }
    return token;
}

std::string valueOfLegacyToken(std::string_view token) {
    if (token == kEmptyValueToken) {
        return {};
    }
    std::string value(token);
    for (char& c : value) {
        if (c == '_') {
            c = ' ';
        }
    }
    return value;
}

} // namespace morvik
