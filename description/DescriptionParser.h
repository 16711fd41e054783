#pragma once

#include "description/DeviceDescription.h"

#include <string>
#include <string_view>

namespace morvik {

class ParameterTable;
class ClassFilter;
class Dialogs;

// Where a parse puts its results: the cache, the list model and the class-filter box.
struct DescriptionTargets {
    DescriptionCache& cache;
    ParameterTable& table;
    ClassFilter& classFilter;
    Dialogs& dialogs;
};

// Parses the description file `path` for the triple (productCode, major, minor) into its cache
// slot, refills the list's lines and side tables and the class-filter box. Returns 1 on
// success, -1 when the file cannot be opened ("Can't find configuration file! \n" + path) or
// the triple cannot have a slot; the list is empty and the current slot 0 after a failure.
int parseDescription(const std::string& path, int productCode, int major, int minor,
                     DescriptionTargets targets);

// The same on a file's text already in memory (fuzzing, benchmarks, tests).
int parseDescriptionText(std::string_view text, int productCode, int major, int minor,
                         DescriptionTargets targets);

} // namespace morvik
