#include "parameters/ParameterTable.h"

#include <algorithm>
#include <utility>

namespace morvik {

namespace {

// Every row may begin a group of its own, and group 0 and the end mark come on top.
constexpr int kMaxGroupEntries = kMaxParameterRows + 2;

bool isParameter(int parameter) {
    return parameter >= 0 && parameter < kMaxParameterRows;
}
bool isSlot(int slot) {
    return slot >= 0 && slot < kMaxDescriptionSlots;
}

const std::shared_ptr<const ValueList>& emptyValueList() {
    static const auto empty = std::make_shared<const ValueList>();
    return empty;
}

std::shared_ptr<const ValueList> sharedCopy(const ValueList& values) {
    return values.count() == 0 ? emptyValueList() : std::make_shared<const ValueList>(values);
}

} // namespace

ParameterTable::ParameterTable() {
    definedValues_.fill(emptyValueList());
    enumeration_.fill(emptyValueList());
    for (auto& starts : groupStart_) {
        starts.assign(1, 0);
    }
    groupCount_.fill(1);
}

void ParameterTable::removeAllLines() {
    if (observer_ != nullptr) {
        observer_->beforeLinesReset();
    }
    lineCount_ = 0;
    if (observer_ != nullptr) {
        observer_->afterLinesReset();
    }
}

bool ParameterTable::insertLine(int position, std::string_view classText) {
    if (lineCount() >= kMaxParameterRows) {
        return false;
    }
    position = std::clamp(position, 0, lineCount());
    if (observer_ != nullptr) {
        observer_->beforeLineInserted(position);
    }
    const auto end = static_cast<std::size_t>(lineCount_);
    if (end == lines_.size()) {
        lines_.emplace_back();
    }
    Line& line = lines_[end];
    line[ClassColumn].assign(classText);
    line[ParameterColumn].clear();
    line[ValueColumn].clear();
    // Lines are appended almost always; an insertion elsewhere moves the new line into place.
    std::rotate(lines_.begin() + position, lines_.begin() + static_cast<std::ptrdiff_t>(end),
                lines_.begin() + static_cast<std::ptrdiff_t>(end) + 1);
    ++lineCount_;
    if (observer_ != nullptr) {
        observer_->afterLineInserted(position);
    }
    return true;
}

const std::string& ParameterTable::text(int line, int column) const {
    static const std::string empty;
    if (line < 0 || line >= lineCount() || column < 0 || column >= kColumnCount) {
        return empty;
    }
    return lines_[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)];
}

void ParameterTable::setText(int line, int column, std::string_view text) {
    if (line < 0 || line >= lineCount() || column < 0 || column >= kColumnCount) {
        return;
    }
    lines_[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)].assign(text);
    if (observer_ != nullptr) {
        observer_->cellChanged(line, column);
    }
}

int ParameterTable::modifiedMark(int parameter) const {
    return isParameter(parameter) ? modifiedMark_[static_cast<std::size_t>(parameter)] : 0;
}

void ParameterTable::setModifiedMark(int parameter, int mark) {
    if (!isParameter(parameter)) {
        return;
    }
    modifiedMark_[static_cast<std::size_t>(parameter)] = mark;
    if (observer_ != nullptr) {
        observer_->markChanged(parameter);
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
    return isParameter(parameter) ? *definedValues_[static_cast<std::size_t>(parameter)]
                                  : *emptyValueList();
}

void ParameterTable::setDefinedValues(int parameter, const ValueList& values) {
    if (isParameter(parameter)) {
        definedValues_[static_cast<std::size_t>(parameter)] = sharedCopy(values);
    }
}

const ValueList& ParameterTable::enumeration(int parameter) const {
    return isParameter(parameter) ? *enumeration_[static_cast<std::size_t>(parameter)]
                                  : *emptyValueList();
}

void ParameterTable::setEnumeration(int parameter, const ValueList& values) {
    if (isParameter(parameter)) {
        enumeration_[static_cast<std::size_t>(parameter)] = sharedCopy(values);
    }
}

void ParameterTable::shareValueLists(int parameter, int source) {
    if (isParameter(parameter) && isParameter(source)) {
        const auto target = static_cast<std::size_t>(parameter);
        const auto from = static_cast<std::size_t>(source);
        definedValues_[target] = definedValues_[from];
        enumeration_[target] = enumeration_[from];
    }
}

const std::vector<int>& ParameterTable::groupStart(int slot) const {
    static const std::vector<int> onlyAllClasses{0};
    return isSlot(slot) ? groupStart_[static_cast<std::size_t>(slot)] : onlyAllClasses;
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
    if (!isSlot(slot)) {
        return false;
    }
    int& count = groupCount_[static_cast<std::size_t>(slot)];
    if (count < 0 || count >= kMaxGroupEntries - 1) {
        return false;
    }
    auto& starts = groupStart_[static_cast<std::size_t>(slot)];
    starts.resize(static_cast<std::size_t>(count) + 1);
    starts[static_cast<std::size_t>(count)] = firstRow;
    ++count;
    return true;
}

void ParameterTable::setEndMark(int slot, int rowCount) {
    if (!isSlot(slot)) {
        return;
    }
    const int count = groupCount_[static_cast<std::size_t>(slot)];
    if (count < 0 || count >= kMaxGroupEntries) {
        return;
    }
    auto& starts = groupStart_[static_cast<std::size_t>(slot)];
    starts.resize(static_cast<std::size_t>(count) + 1);
    starts[static_cast<std::size_t>(count)] = rowCount;
}

void ParameterTable::resetTables() {
    for (int parameter = 0; parameter < kMaxParameterRows; ++parameter) {
        const auto index = static_cast<std::size_t>(parameter);
        const bool wasMarked = modifiedMark_[index] != 0;
        modifiedMark_[index] = 0;
        accessKind_[index] = AccessKind::Plain;
        definedValues_[index] = emptyValueList();
        enumeration_[index] = emptyValueList();
        if (wasMarked && observer_ != nullptr) {
            observer_->markChanged(parameter);
        }
    }
    for (auto& starts : groupStart_) {
        starts.assign(1, 0);
    }
    groupCount_.fill(1);
}

int ParameterTable::firstParameterShown() const {
    const std::vector<int>& starts = groupStart(currentSlot_);
    const int group = groupCount(currentSlot_);
    if (group < 0 || static_cast<std::size_t>(group) >= starts.size()) {
        return 0;
    }
    return starts[static_cast<std::size_t>(group)];
}

int ParameterTable::lineOfParameter(int parameter) const {
    const int line = parameter - firstParameterShown();
    return line >= 0 && line < lineCount() ? line : -1;
}

} // namespace morvik
