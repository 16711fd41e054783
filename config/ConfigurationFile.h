#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class ParameterTable;

inline constexpr std::size_t kMaxConfigurationValue = 49;
inline constexpr std::size_t kMaxConfigurationHeaderToken = 31;

struct ConfigurationHeader {
    int unitCount = 0;
    std::string productId;
    std::string version;
};

struct ConfigurationLine {
    int lineNumber = 0;
    bool empty = false; // written as "<none>"
    std::string value;  // "_" already turned back into blanks
};

struct ConfigurationContent {
    std::optional<ConfigurationHeader> header; // nothing when the header cannot be read
    std::vector<ConfigurationLine> lines;      // up to the first text that is no value line
};

// Header line and one line per list line: "[n]\t value", blanks as "_", empty as "<none>".
// Other white space in a value (a tab, a line end) is written as "_" too: it would otherwise
// split the value and end the reading of the file there.
std::string formatConfiguration(const ConfigurationHeader& header,
                                const std::vector<std::string>& valueTexts);

// Bounded reader: tokens are cut to their limits (the rest of a longer token is skipped),
// reading stops at the first text that is no complete value line ("[", number, "]", value).
ConfigurationContent parseConfiguration(std::string_view text);

// Puts loaded values into the table's value column: "<none>" empties any line; other values
// reach only "R/W" parameters and mark those whose text changes. Lines that are not lines of
// the list are ignored.
void applyConfiguration(const ConfigurationContent& content, ParameterTable& table);

} // namespace morvik
