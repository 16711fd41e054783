#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

namespace morvik {

// Splits text into white-space separated tokens, each cut to `maxTokenLength` characters (the
// rest of a longer token is skipped, it never becomes a token of its own). The data files are
// written with fixed layouts such as "\n[%d]\nName : %s \n"; the layout calls below read them
// the way those layouts are read back: a blank in a layout stands for any white space, other
// characters must stand exactly there.
class TokenReader {
public:
    TokenReader(std::string_view text, std::size_t maxTokenLength)
        : text_(text), maxTokenLength_(maxTokenLength) {}
    bool atEnd(); // only white space left
    std::optional<std::string_view> next();
    std::optional<std::string_view> next(std::size_t maxTokenLength);
    std::size_t position() const { return position_; }
    // Back or forth to `position` (at most the end of the text).
    void moveTo(std::size_t position) { position_ = std::min(position, text_.size()); }

    void skipSpace();
    // The exact characters at the current position (no white space skipped before them).
    bool literal(std::string_view characters);
    // White space, then the exact characters: a word of a layout such as "Name" or ":".
    bool word(std::string_view characters);
    // White space, an optional sign and decimal digits; values beyond `int` are held at its
    // limits. Nothing when no digit stands there.
    std::optional<int> integer();

private:
    std::string_view text_;
    std::size_t maxTokenLength_;
    std::size_t position_ = 0;
};

} // namespace morvik
