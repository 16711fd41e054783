#include "description/LayoutScanner.h"

#include "description/DeviceDescription.h"
#include "text/WhiteSpace.h"

#include <algorithm>
#include <array>

namespace morvik {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int digitValue(char c, unsigned base) {
    int value = -1;
    if (isDigit(c)) {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

} // namespace

void LayoutScanner::skipSpace() {
    while (position_ < text_.size() && isWhiteSpace(text_[position_])) {
        ++position_;
    }
}

bool LayoutScanner::readNumber(std::size_t width, unsigned base, std::int32_t& number) {
    skipSpace();
    const std::size_t start = position_;
    const std::size_t limit = width == 0 ? text_.size() : std::min(text_.size(), start + width);
    std::size_t at = start;
    bool negative = false;
    if (at < limit && (text_[at] == '-' || text_[at] == '+')) {
        negative = text_[at] == '-';
        ++at;
    }
    std::uint32_t magnitude = 0;
    const std::size_t firstDigit = at;
    while (at < limit && digitValue(text_[at], base) >= 0) {
        magnitude = magnitude * base + static_cast<std::uint32_t>(digitValue(text_[at], base));
        ++at;
    }
    if (at == firstDigit) {
        return false;
    }
    position_ = at;
    number = static_cast<std::int32_t>(negative ? 0U - magnitude : magnitude);
    return true;
}

bool LayoutScanner::readToken(std::string_view& token) {
    skipSpace();
    const std::size_t start = position_;
    while (position_ < text_.size() && !isWhiteSpace(text_[position_])) {
        ++position_;
    }
    if (position_ == start) {
        return false;
    }
    token = text_.substr(start, std::min<std::size_t>(position_ - start, kMaxDescriptionToken));
    return true;
}

bool LayoutScanner::token(std::string_view& token) {
    if (!readToken(token)) {
        return false;
    }
    skipSpace();
    return true;
}

LayoutScanner::Result LayoutScanner::scan(std::string_view layout) {
    Result result;
    std::size_t numbers = 0;
    std::size_t tokens = 0;
    skipSpace();
    for (std::size_t at = 0; at < layout.size(); ++at) {
        const char c = layout[at];
        if (isWhiteSpace(c)) {
            skipSpace();
            continue;
        }
        if (c != '%') {
            if (position_ >= text_.size() || text_[position_] != c) {
                return result;
            }
            ++position_;
            continue;
        }
        std::size_t width = 0;
        while (at + 1 < layout.size() && isDigit(layout[at + 1])) {
            width = width * 10 + static_cast<std::size_t>(layout[++at] - '0');
        }
        const char conversion = at + 1 < layout.size() ? layout[++at] : '\0';
        if ((conversion == 'd' || conversion == 'x') && numbers < kMaxNumbers) {
            const unsigned base = conversion == 'd' ? 10U : 16U;
            if (!readNumber(width, base, result.numbers[numbers])) {
                return result;
            }
            ++numbers;
        } else if (conversion == 's' && tokens < kMaxTokens) {
            if (!readToken(result.tokens[tokens])) {
                return result;
            }
            ++tokens;
        } else {
            return result; // a layout this reader does not know matches nothing
        }
        ++result.conversions;
    }
    result.complete = true;
    return result;
}

} // namespace morvik
