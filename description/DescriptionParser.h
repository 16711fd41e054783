#pragma once

#include "description/DeviceDescription.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvik {

// What a parse did: the cache slot it filled, or why it filled none (the text to show the
// user). The cache's current slot is the one filled, or 0 after a refusal.
struct DescriptionParse {
    int slot = -1;
    std::optional<std::string> problem;
    bool parsed() const { return slot >= 0; }
};

// Parses the description file `path` for the triple (productCode, major, minor) into its cache
// slot: its rows with their access kinds and value lists, and its class groups. Refused when
// the file cannot be opened ("Can't find configuration file! \n" + path) or the triple cannot
// have a slot.
DescriptionParse parseDescription(const std::string& path, int productCode, int major, int minor,
                                  DescriptionCache& cache);

// The same on a file's text already in memory (fuzzing, benchmarks, tests).
DescriptionParse parseDescriptionText(std::string_view text, int productCode, int major, int minor,
                                      DescriptionCache& cache);

} // namespace morvik
