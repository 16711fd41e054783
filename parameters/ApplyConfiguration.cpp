#include "parameters/ApplyConfiguration.h"

#include "config/ValueTokens.h"
#include "description/ValueComparison.h"
#include "parameters/ParameterTable.h"

namespace morvik {

bool marksParameter(const ConfigurationContent& content, const ConfigurationLine& line,
                    const ParameterTable& table) {
    const int n = line.lineNumber;
    if (n < 0 || n >= table.lineCount()) {
        return false;
    }
    const ParameterRow* row = table.description().row(table.parameterOfLine(n));
    if (row == nullptr || row->accessKind != AccessKind::ReadWrite) {
        return false;
    }
    const std::string& shown = table.text(n, ParameterTable::ValueColumn);
    if (!content.escaped && line.token == legacyToken(shown)) {
        return false;
    }
    return !sameValue(*row, line.value, shown);
}

void applyConfiguration(const ConfigurationContent& content, ParameterTable& table) {
    for (const ConfigurationLine& line : content.lines) {
        const int n = line.lineNumber;
        if (n < 0 || n >= table.lineCount()) {
            continue;
        }
        if (marksParameter(content, line, table)) {
            table.setModifiedMark(table.parameterOfLine(n), 1);
            table.setText(n, ParameterTable::ValueColumn, line.value);
        } else if (line.empty) {
            table.setText(n, ParameterTable::ValueColumn, std::string());
        }
    }
}

} // namespace morvik
