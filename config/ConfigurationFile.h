#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

inline constexpr std::size_t kMaxConfigurationHeaderToken = 31;

struct ConfigurationHeader {
    int unitCount = 0;
    std::string productId;
    std::string version;
};

struct ConfigurationLine {
    int lineNumber = 0;
    bool empty = false; // written as "<none>"
    std::string token;  // as the file holds it
    std::string value;  // the text the token stands for (see ValueTokens.h)
};

struct ConfigurationContent {
    std::optional<ConfigurationHeader> header; // nothing when the header cannot be read
    std::vector<ConfigurationLine> lines;      // up to the first text that is no value line
    bool escaped = false; // the tokens keep their values byte for byte (the "<escaped>" line)
};

// Header line, one line per list line ("[n]\t token") and the "<escaped>" line: the tokens
// keep each value byte for byte (ValueTokens.h).
std::string formatConfiguration(const ConfigurationHeader& header,
                                const std::vector<std::string>& valueTexts);

// Bounded by its input: the header's tokens are cut to their limits, value tokens are read
// whole (a value is as long as its row allows, and a cut one would reach the unit cut), and
// reading stops at the first text that is no complete value line ("[", number, "]", value).
// When that text is "<escaped>" the tokens are read as escaped, else as the older layout.
ConfigurationContent parseConfiguration(std::string_view text);

} // namespace morvik
