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

// Puts loaded values into the table's value column. Values reach only "R/W" parameters and
// mark those whose value changes, an empty one ("<none>") included; "<none>" also empties a
// line of any other access, unmarked. A value that equals the cell's own as a value (the same
// bytes for the row, "1500" for "1500  bytes") leaves the cell as it is; so does, in a file
// of the older layout, a token that is the saved form of the cell's text: there "_" stands
// for a blank and for an underscore alike, so turning it back could only damage a value that
// did not change. Lines that are not lines of the list are ignored.
void applyConfiguration(const ConfigurationContent& content, ParameterTable& table);

// Would applyConfiguration mark the parameter of `line` (a line of `content`) for writing, the
// table as it is now?
bool marksParameter(const ConfigurationContent& content, const ConfigurationLine& line,
                    const ParameterTable& table);

} // namespace morvik
