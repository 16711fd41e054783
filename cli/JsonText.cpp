#include "cli/JsonText.h"

#include <array>

namespace morvik::cli {

namespace {

// What stands in the document for each byte: empty for the bytes that stand for themselves.
struct Replacement {
    std::array<char, 6> text{};
    unsigned char size = 0;
};

constexpr std::array<Replacement, 256> makeReplacements() {
    std::array<Replacement, 256> table{};
    constexpr char hex[] = "0123456789abcdef";
    for (int byte = 0; byte < 0x20; ++byte) {
        table[static_cast<std::size_t>(byte)] = {
            {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]}, 6};
    }
    auto shortForm = [&](int byte, char letter) {
        table[static_cast<std::size_t>(byte)] = {{'\\', letter}, 2};
    };
    shortForm('\b', 'b');
    shortForm('\t', 't');
    shortForm('\n', 'n');
    shortForm('\f', 'f');
    shortForm('\r', 'r');
    shortForm('"', '"');
    shortForm('\\', '\\');
    for (int byte = 0x80; byte < 0x100; ++byte) {
        table[static_cast<std::size_t>(byte)] = {
            {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))}, 2};
    }
    return table;
}

constexpr std::array<Replacement, 256> kReplacements = makeReplacements();

} // namespace

void appendJsonText(std::string& json, std::string_view latin1) {
    json += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < latin1.size(); ++i) {
        const Replacement& replacement = kReplacements[static_cast<unsigned char>(latin1[i])];
        if (replacement.size == 0) {
            continue;
        }
        json.append(latin1.data() + plainFrom, i - plainFrom);
        json.append(replacement.text.data(), replacement.size);
        plainFrom = i + 1;
    }
    json.append(latin1.data() + plainFrom, latin1.size() - plainFrom);
    json += '"';
}

} // namespace morvik::cli
