#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvik {

// Units and the data files keep texts as single bytes, one character each (Latin-1); JSON
// documents and terminals want UTF-8. These two convert at that border and nowhere else.

// Every byte becomes the character of the same number, so the result is always valid UTF-8.
std::string latin1ToUtf8(std::string_view latin1);

// Nothing when the text is not well-formed UTF-8 or holds a character above U+00FF, which a
// unit could not store.
std::optional<std::string> utf8ToLatin1(std::string_view utf8);

} // namespace morvik
