#pragma once

#include "description/DescriptionParser.h"

namespace morvik {

class ClassFilter;
class Dialogs;
class ParameterTable;

// Puts the outcome of a description parse on screen. After a parse the list shows every row
// of the description (hidden rows with empty texts) with no marks, and the class filter lists
// the groups with "All classes" selected. After a refusal the list is empty, shows the cache's
// current description, and the problem is shown. True when the parse succeeded.
bool showParsedDescription(const DescriptionParse& parse, const DescriptionCache& cache,
                           ParameterTable& table, ClassFilter& classFilter, Dialogs& dialogs);

} // namespace morvik
