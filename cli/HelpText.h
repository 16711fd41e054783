#pragma once

#include <string_view>

namespace morvik::cli {

// The manual page that --help prints.
std::string_view helpText();
std::string_view versionText();

} // namespace morvik::cli
