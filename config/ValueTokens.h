#pragma once

#include <string>
#include <string_view>

namespace morvik {

// How a value text is kept as one token of a configuration file.
//
// Files of the older layout write every blank as "_" and an empty value as "<none>": an
// underscore of the value comes back as a blank. The files written now end with the line
// "<escaped>" after their last value line, and their tokens keep every value byte for byte:
// a blank is still "_" (so that most values read the same in either layout), and "%", "_",
// control characters and the "<" of a value that is the text "<none>" are written as "%"
// and two hexadecimal digits ("gate_house 3" is "gate%5Fhouse_3"). Readers of the older
// layout stop at the marker, as at any text that is no value line, and read the values before
// it as they always did.
inline constexpr std::string_view kEmptyValueToken = "<none>";
inline constexpr std::string_view kEscapedTokensMarker = "<escaped>";

std::string escapedToken(std::string_view value);
// A "%" that is not followed by two hexadecimal digits stands for itself.
std::string valueOfEscapedToken(std::string_view token);

std::string legacyToken(std::string_view value);
std::string valueOfLegacyToken(std::string_view token);

} // namespace morvik
