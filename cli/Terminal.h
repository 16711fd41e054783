#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvik::cli {

// Questions to the person at the terminal: only asked when standard input is a terminal.
// Questions go to standard error, so that standard output carries only results.
bool standardInputIsTerminal();

// "question [y/N] ": true only for an answer that begins with y or Y; end of input is No.
bool askYesNo(std::string_view question);

// One line of input after `prompt`; nothing at the end of input. With `hidden` the typed
// characters are not echoed (passwords).
std::optional<std::string> askLine(std::string_view prompt, bool hidden);

// Text from units and files as it may be shown on a terminal: control characters (C0, DEL and
// C1, whether as UTF-8 or as single Latin-1 bytes) are written as escapes ("\n", "\r",
// "\t", else "\x1b"), so that a unit's name can neither move the cursor nor forge lines.
// Everything else stays as it is.
std::string escapeControlCharacters(std::string_view text);

} // namespace morvik::cli
