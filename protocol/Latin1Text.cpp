#include "protocol/Latin1Text.h"

namespace morvik {

std::string latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char character : latin1) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x80) {
            utf8 += character;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            latin1 += utf8[i];
            continue;
        }
        // U+0080..U+00FF are the two-byte sequences C2 80 .. C3 BF; every other lead byte is
        // either a longer character or not UTF-8 at all (C0 and C1 only start overlong forms).
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= utf8.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<unsigned char>(utf8[i + 1]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        latin1 += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
        ++i;
    }
    return latin1;
}

} // namespace morvik
