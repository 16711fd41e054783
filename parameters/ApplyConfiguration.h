#pragma once

#include "config/ConfigurationFile.h"

namespace morvik {

class ParameterTable;

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
