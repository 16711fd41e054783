#include "parameters/DescriptionShown.h"

#include "parameters/ClassFilter.h"
#include "parameters/Dialogs.h"
#include "parameters/ParameterTable.h"

namespace morvik {

bool showParsedDescription(const DescriptionParse& parse, const DescriptionCache& cache,
                           ParameterTable& table, ClassFilter& classFilter, Dialogs& dialogs) {
    table.removeAllLines();
    if (!parse.parsed()) {
        table.setDescription(cache.current());
        table.setShownGroup(0);
        dialogs.showMessage(parse.problem.value_or(std::string()), "Error");
        return false;
    }
    const DescriptionSlot& description = cache.current();
    table.clearMarks();
    table.setDescription(description);
    table.setShownGroup(0);
    // Every row the parse produced, even past a row without an address.
    const int rows = static_cast<int>(description.rows().size());
    for (int index = 0; index < rows; ++index) {
        const ParameterRow& row = description.rows()[static_cast<std::size_t>(index)];
        const bool hidden = row.accessKind == AccessKind::Hidden;
        if (!table.insertLine(index, hidden ? std::string_view() : row.className)) {
            break;
        }
        if (!hidden) {
            table.setText(index, ParameterTable::ParameterColumn, row.parameterName);
        }
    }
    classFilter.resetEntries();
    for (const std::string& name : description.groupNames()) {
        classFilter.addEntry(name);
    }
    classFilter.selectIndex(0);
    return true;
}

} // namespace morvik
