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

} // namespace morvik::cli
