// Configuration files come from anywhere: the reader stays within its limits (escaped tokens
// included), and what it read (written again) reads back byte for byte. With the parameter
// list in the tree, the values are also applied to a list of writable and read-only lines of
// several value types, which compares them as values.
#include "config/ConfigurationFile.h"
#include "parameters/ApplyConfiguration.h"
#include "parameters/ParameterTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto content = morvik::parseConfiguration(text);
    if (!content.header) {
        require(content.lines.empty());
        return 0;
    }
    require(content.header->productId.size() <= morvik::kMaxConfigurationHeaderToken);
    require(content.header->version.size() <= morvik::kMaxConfigurationHeaderToken);
    for (const auto& line : content.lines) {
        require(line.token.size() <= size);
        require(line.empty || (content.escaped ? line.value.size() <= line.token.size()
                                               : line.value.size() == line.token.size()));
        require(!line.empty || line.value.empty());
    }

    // Lines numbered 0, 1, 2, ... as a save writes them come back as they were.
    std::vector<std::string> values;
    for (const auto& line : content.lines) {
        values.push_back(line.value);
    }
    const auto again =
        morvik::parseConfiguration(morvik::formatConfiguration(*content.header, values));
    require(again.header && again.header->unitCount == content.header->unitCount &&
            again.header->productId == content.header->productId &&
            again.header->version == content.header->version);
    require(again.escaped && again.lines.size() == values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        require(again.lines[i].lineNumber == static_cast<int>(i));
        require(again.lines[i].value == values[i]);
        require(again.lines[i].empty == content.lines[i].empty);
    }

    static const morvik::DescriptionSlot description = [] {
        morvik::DescriptionSlot rows;
        for (int line = 0; line < 40; ++line) {
            morvik::ParameterRow row;
            row.address = "1." + std::to_string(line + 1) + ".1";
            row.accessKind =
                line % 2 == 0 ? morvik::AccessKind::ReadWrite : morvik::AccessKind::ReadOnly;
            static constexpr std::pair<const char*, int> kTypes[] = {
                {"*char", 16}, {"unsigned int", 2}, {"IP", 4}, {"MAC", 6}, {"float", 4}};
            const auto& [type, size] = kTypes[(line / 2) % 5];
            row.typeName = type;
            row.size = size;
            row.unit = line % 4 == 0 ? "ms" : "";
            rows.editRows().push_back(std::move(row));
        }
        return rows;
    }();
    static morvik::ParameterTable table;
    table.removeAllLines();
    table.clearMarks();
    table.setDescription(description);
    for (int line = 0; line < 40; ++line) {
        table.insertLine(line, "Class");
        table.setText(line, morvik::ParameterTable::ParameterColumn, "P");
        table.setText(line, morvik::ParameterTable::ValueColumn, "v");
    }
    morvik::applyConfiguration(content, table);
    require(table.lineCount() == 40);
    for (int line = 1; line < 40; line += 2) {
        require(table.modifiedMark(line) == 0);
    }

    // What a save writes of the list loads back onto it without a change or a mark.
    std::vector<std::string> shown;
    for (int line = 0; line < 40; ++line) {
        shown.push_back(table.text(line, morvik::ParameterTable::ValueColumn));
        table.setModifiedMark(line, 0);
    }
    morvik::applyConfiguration(
        morvik::parseConfiguration(morvik::formatConfiguration(*content.header, shown)), table);
    for (int line = 0; line < 40; ++line) {
        require(table.modifiedMark(line) == 0);
        require(table.text(line, morvik::ParameterTable::ValueColumn) ==
                shown[static_cast<std::size_t>(line)]);
    }
    return 0;
}
