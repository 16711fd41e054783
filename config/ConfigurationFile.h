#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class ParameterTable;

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

// The token a value text is saved as: blanks (and any other white space) as "_", an empty
// text as "<none>".
std::string configurationToken(std::string_view value);

// Bounded by its input: the header's tokens are cut to their limits, value tokens are read
// whole (a value is as long as its row allows, and a cut one would reach the unit cut), and
// reading stops at the first text that is no complete value line ("[", number, "]", value).
ConfigurationContent parseConfiguration(std::string_view text);

// Puts loaded values into the table's value column: "<none>" empties any line; other values
// reach only "R/W" parameters and mark those whose text changes. A token that is the saved
// form of the cell's own text leaves the cell as it is: "_" stands for a blank and for an
// underscore alike, so turning it back could only damage a value that did not change. Lines
// that are not lines of the list are ignored.
void applyConfiguration(const ConfigurationContent& content, ParameterTable& table);

// Would applyConfiguration mark the parameter of `line` for writing, the table as it is now?
bool marksParameter(const ConfigurationLine& line, const ParameterTable& table);

} // namespace morvik
