#include "config/ConfigurationFile.h"
#include "config/ValueTokens.h"
#include "parameters/ParameterTable.h"

namespace morvik {

void applyConfiguration(const ConfigurationContent& content, ParameterTable& table) {
    for (const ConfigurationLine& line : content.lines) {
        const int n = line.lineNumber;
        if (n < 0 || n >= table.lineCount()) {
            continue;
        }
        if (line.empty) {
            table.setText(n, ParameterTable::ValueColumn, std::string());
            continue;
        }
        const int parameter = table.parameterOfLine(n);
        if (table.description().accessKind(parameter) != AccessKind::ReadWrite) {
            continue;
        }
        const std::string& shown = table.text(n, ParameterTable::ValueColumn);
        if (!content.escaped && line.token == legacyToken(shown)) {
            continue;
        }
        if (line.value != shown) {
            table.setModifiedMark(parameter, 1);
        }
        table.setText(n, ParameterTable::ValueColumn, line.value);
    }
}

} // namespace morvik
