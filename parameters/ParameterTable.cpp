#include "parameters/ParameterTable.h"

#include <algorithm>
#include <utility>

namespace morvik {

namespace {

bool isParameter(int parameter) {
    return parameter >= 0 && parameter < kMaxParameterRows;
}

} // namespace

const DescriptionSlot& ParameterTable::emptyDescription() {
    static const DescriptionSlot empty;
    return empty;
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

void ParameterTable::clearMarks() {
    for (int parameter = 0; parameter < kMaxParameterRows; ++parameter) {
        int& mark = modifiedMark_[static_cast<std::size_t>(parameter)];
        const bool wasMarked = mark != 0;
        mark = 0;
        if (wasMarked && observer_ != nullptr) {
            observer_->markChanged(parameter);
        }
    }
}

int ParameterTable::firstParameterShown() const {
    return description_->groupRows(shownGroup_).first;
}

int ParameterTable::lineOfParameter(int parameter) const {
    const int line = parameter - firstParameterShown();
    return line >= 0 && line < lineCount() ? line : -1;
}

} // namespace morvik
