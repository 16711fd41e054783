#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace morvik {

// Far beyond any file the program reads (a description of 700 rows takes some 100 kB); a
// larger file is read only up to here, as if it ended there.
inline constexpr std::size_t kMaxWholeFileBytes = std::size_t{64} << 20;

// The whole text of a regular file; nothing when there is none to read (a missing file, a
// directory or a device).
std::optional<std::string> readWholeFile(const std::string& path);

} // namespace morvik
