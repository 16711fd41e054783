#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvik {

// Reads a description file's text through the fixed layouts the files are written with, the
// way formatted C input reads them: a blank in a layout skips any amount of white space
// (none included), "%d" takes a signed decimal number (wrapping modulo 2^32), "%2d" one of at
// most two characters, "%x" a hexadecimal number, "%s" a token of non-blank characters (kept to at
// most kMaxDescriptionToken characters, although the whole token is consumed), and every other
// character must match itself. A read stops at the first mismatch and leaves the text where
// it stands, so that a missing word costs nothing and reading goes on from there.
class LayoutScanner {
public:
    static constexpr std::size_t kMaxNumbers = 6;
    static constexpr std::size_t kMaxTokens = 2;

    struct Result {
        int conversions = 0;   // numbers and tokens taken before the first mismatch
        bool complete = false; // the whole layout matched
        std::array<std::int32_t, kMaxNumbers> numbers{};
        std::array<std::string_view, kMaxTokens> tokens{};
    };

    explicit LayoutScanner(std::string_view text) : text_(text) {}

    // Every read first skips white space, as the files are read token by token.
    Result scan(std::string_view layout);

    // The same as scan("%s\t"), without reading a layout: the hot path of entry tokens.
    bool token(std::string_view& token);

    std::size_t position() const { return position_; }
    bool atEnd() const { return position_ >= text_.size(); }

private:
    void skipSpace();
    bool readNumber(std::size_t width, unsigned base, std::int32_t& number);
    bool readToken(std::string_view& token);

    std::string_view text_;
    std::size_t position_ = 0;
};

} // namespace morvik
