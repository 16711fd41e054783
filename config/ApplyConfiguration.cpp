#include "config/ConfigurationFile.h"
#include "config/ValueTokens.h"
#include "description/ValueComparison.h"
#include "parameters/ParameterTable.h"

namespace morvik {

void applyConfiguration(const ConfigurationContent& content, ParameterTable& table) {
    for (const ConfigurationLine& line : content.lines) {
        const int n = line.lineNumber;
        if (n < 0 || n >= table.lineCount()) {
            continue;
        }
        const int parameter = table.parameterOfLine(n);
        const ParameterRow* row = table.description().row(parameter);
        const bool writable = row != nullptr && row->accessKind == AccessKind::ReadWrite;
        const std::string& shown = table.text(n, ParameterTable::ValueColumn);
        if (line.empty && !writable) {
            table.setText(n, ParameterTable::ValueColumn, std::string());
            continue;
        }
        if (!writable || (!content.escaped && line.token == legacyToken(shown)) ||
            sameValue(*row, line.value, shown)) {
            continue;
        }
        table.setModifiedMark(parameter, 1);
        table.setText(n, ParameterTable::ValueColumn, line.value);
    }
}

} // namespace morvik
