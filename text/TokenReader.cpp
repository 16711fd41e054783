#include "text/TokenReader.h"

#include "text/WhiteSpace.h"

#include <climits>

namespace morvik {

void TokenReader::skipSpace() {
    while (position_ < text_.size() && isWhiteSpace(text_[position_])) {
        ++position_;
    }
}

bool TokenReader::atEnd() {
    skipSpace();
    return position_ >= text_.size();
}

std::optional<std::string_view> TokenReader::next() {
    return next(maxTokenLength_);
}

std::optional<std::string_view> TokenReader::next(std::size_t maxTokenLength) {
    skipSpace();
    const std::size_t start = position_;
    while (position_ < text_.size() && !isWhiteSpace(text_[position_])) {
        ++position_;
    }
    if (position_ == start) {
        return std::nullopt;
    }
    const std::size_t length = position_ - start;
    return text_.substr(start, length < maxTokenLength ? length : maxTokenLength);
}

bool TokenReader::literal(std::string_view characters) {
    if (text_.substr(position_).starts_with(characters)) {
        position_ += characters.size();
        return true;
    }
    return false;
}

bool TokenReader::word(std::string_view characters) {
    skipSpace();
    return literal(characters);
}

std::optional<int> TokenReader::integer() {
    skipSpace();
    std::size_t at = position_;
    bool negative = false;
    if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) {
        negative = text_[at] == '-';
        ++at;
    }
    const std::size_t digitsStart = at;
    long long magnitude = 0;
    while (at < text_.size() && text_[at] >= '0' && text_[at] <= '9') {
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) {
            magnitude = magnitude * 10 + (text_[at] - '0');
        }
        ++at;
    }
    if (at == digitsStart) {
        return std::nullopt;
    }
    position_ = at;
    if (negative) {
        return magnitude > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(magnitude);
    }
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

} // namespace morvik
