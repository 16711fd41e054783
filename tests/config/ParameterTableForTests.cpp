// TEMPORARY: a plain ParameterTable for the configuration tests until the real one from
// parameters/ is in this tree. tests/config/CMakeLists.txt stops using this file by itself as
// soon as parameters/ParameterTable.cpp exists; then delete it.
#include "parameters/ParameterTable.h"

namespace morvik {

namespace {
const std::string kNoText;
const ValueList kNoValues;
const std::vector<int> kNoGroups;

bool isParameter(int parameter) {
    return parameter >= 0 && parameter < kMaxParameterRows;
}
bool isSlot(int slot) {
    return slot >= 0 && slot < kMaxDescriptionSlots;
}
} // namespace

ParameterTable::ParameterTable() {
    resetTables();
}

void ParameterTable::removeAllLines() {
    lines_.clear();
}

bool ParameterTable::insertLine(int position, std::string classText) {
    if (lineCount() >= kMaxParameterRows) {
        return false;
    }
    const int at = position < 0 ? 0 : (position > lineCount() ? lineCount() : position);
    Line line;
    line[ClassColumn] = std::move(classText);
    lines_.insert(lines_.begin() + at, std::move(line));
    return true;
}

const std::string& ParameterTable::text(int line, int column) const {
    if (line < 0 || line >= lineCount() || column < 0 || column >= kColumnCount) {
        return kNoText;
    }
    return lines_[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)];
}

void ParameterTable::setText(int line, int column, std::string text) {
    if (line < 0 || line >= lineCount() || column < 0 || column >= kColumnCount) {
        return;
    }
    lines_[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)] = std::move(text);
}

int ParameterTable::modifiedMark(int parameter) const {
    return isParameter(parameter) ? modifiedMark_[static_cast<std::size_t>(parameter)] : 0;
}
void ParameterTable::setModifiedMark(int parameter, int mark) {
    if (isParameter(parameter)) {
        modifiedMark_[static_cast<std::size_t>(parameter)] = mark;
    }
}
AccessKind ParameterTable::accessKind(int parameter) const {
    return isParameter(parameter) ? accessKind_[static_cast<std::size_t>(parameter)]
                                  : AccessKind::Plain;
}
void ParameterTable::setAccessKind(int parameter, AccessKind kind) {
    if (isParameter(parameter)) {
        accessKind_[static_cast<std::size_t>(parameter)] = kind;
    }
}
const ValueList& ParameterTable::definedValues(int parameter) const {
    return isParameter(parameter) ? definedValues_[static_cast<std::size_t>(parameter)] : kNoValues;
}
void ParameterTable::setDefinedValues(int parameter, ValueList values) {
    if (isParameter(parameter)) {
        definedValues_[static_cast<std::size_t>(parameter)] = std::move(values);
    }
}
const ValueList& ParameterTable::enumeration(int parameter) const {
    return isParameter(parameter) ? enumeration_[static_cast<std::size_t>(parameter)] : kNoValues;
}
void ParameterTable::setEnumeration(int parameter, ValueList values) {
    if (isParameter(parameter)) {
        enumeration_[static_cast<std::size_t>(parameter)] = std::move(values);
    }
}

const std::vector<int>& ParameterTable::groupStart(int slot) const {
    return isSlot(slot) ? groupStart_[static_cast<std::size_t>(slot)] : kNoGroups;
}
int ParameterTable::groupCount(int slot) const {
    return isSlot(slot) ? groupCount_[static_cast<std::size_t>(slot)] : 0;
}
void ParameterTable::setGroupCount(int slot, int value) {
    if (isSlot(slot)) {
        groupCount_[static_cast<std::size_t>(slot)] = value;
    }
}
bool ParameterTable::appendGroup(int slot, int firstRow) {
    if (!isSlot(slot) || groupCount(slot) < 0 || groupCount(slot) > kClassLineCount) {
        return false;
    }
    auto& starts = groupStart_[static_cast<std::size_t>(slot)];
    const auto at = static_cast<std::size_t>(groupCount(slot));
    if (starts.size() <= at) {
        starts.resize(at + 1, 0);
    }
    starts[at] = firstRow;
    ++groupCount_[static_cast<std::size_t>(slot)];
    return true;
}
void ParameterTable::setEndMark(int slot, int rowCount) {
    if (!isSlot(slot) || groupCount(slot) < 0 || groupCount(slot) > kClassLineCount) {
        return;
    }
    auto& starts = groupStart_[static_cast<std::size_t>(slot)];
    const auto at = static_cast<std::size_t>(groupCount(slot));
    if (starts.size() <= at) {
        starts.resize(at + 1, 0);
    }
    starts[at] = rowCount;
}

void ParameterTable::resetTables() {
    modifiedMark_.fill(0);
    accessKind_.fill(AccessKind::Plain);
    for (auto& values : definedValues_) {
        values.clear();
    }
    for (auto& values : enumeration_) {
        values.clear();
    }
    for (auto& starts : groupStart_) {
        starts.assign(1, 0);
    }
    groupCount_.fill(0);
}

int ParameterTable::firstParameterShown() const {
    const auto& starts = groupStart(currentSlot_);
    const int shown = groupCount(currentSlot_);
    if (shown < 0 || static_cast<std::size_t>(shown) >= starts.size()) {
        return 0;
    }
    return starts[static_cast<std::size_t>(shown)];
}

int ParameterTable::lineOfParameter(int parameter) const {
    const int line = parameter - firstParameterShown();
    return line >= 0 && line < lineCount() ? line : -1;
}

} // namespace morvik
