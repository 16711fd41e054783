#pragma once

#include <string>
#include <string_view>

namespace morvik::cli {

// Appends `latin1` (bytes of units and files, one character each) to `json` as a quoted JSON
// string in UTF-8, escaped exactly as the tool's JSON library prints strings, so that a document
// written piece by piece is the very one the library would print.
void appendJsonText(std::string& json, std::string_view latin1);

} // namespace morvik::cli
