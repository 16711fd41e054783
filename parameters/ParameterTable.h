#pragma once

#include "description/DeviceDescription.h"
#include "description/ValueList.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// Told about every change of the list's lines and marks, so that a view can follow. The
// "before" calls come before the change, the others after it.
class ParameterTableObserver {
public:
    virtual ~ParameterTableObserver() = default;
    virtual void beforeLinesReset() {}
    virtual void afterLinesReset() {}
    virtual void beforeLineInserted(int /*line*/) {}
    virtual void afterLineInserted(int /*line*/) {}
    virtual void cellChanged(int /*line*/, int /*column*/) {}
    virtual void markChanged(int /*parameter*/) {}
    // An edit still open in a view is to be stored in its cell now.
    virtual void commitPendingEdit() {}
};

// The parameter list as data: the lines of the shown class group with their three column
// texts (the value column is the only store of parameter values), the per-parameter
// modified marks, and which description and group the lines show. Everything else about a
// parameter (access, value lists, groups) is read from the description shown. Indices outside
// the tables read as empty and are never written.
class ParameterTable {
public:
    enum Column { ClassColumn = 0, ParameterColumn = 1, ValueColumn = 2 };
    static constexpr int kColumnCount = 3;

    // Lines.
    void removeAllLines();
    // Inserts a line whose first column is `classText` at `position` (clamped to the end).
    // Refused beyond kMaxParameterRows lines.
    bool insertLine(int position, std::string_view classText);
    int lineCount() const { return lineCount_; }
    const std::string& text(int line, int column) const;
    void setText(int line, int column, std::string_view text);

    // Modified marks, indexed by parameter index 0..kMaxParameterRows-1.
    int modifiedMark(int parameter) const;
    void setModifiedMark(int parameter, int mark);
    void clearMarks();

    // The description the lines belong to (an empty one until one is shown). It must outlive
    // the table or be replaced first.
    const DescriptionSlot& description() const { return *description_; }
    void setDescription(const DescriptionSlot& description) { description_ = &description; }
    // The class group shown (0: every row).
    int shownGroup() const { return shownGroup_; }
    void setShownGroup(int group) { shownGroup_ = group; }

    // First parameter index of the group shown (0 when the description has no such group).
    int firstParameterShown() const;
    // Parameter index shown on `line`, and the line showing `parameter` (-1 when none).
    int parameterOfLine(int line) const { return firstParameterShown() + line; }
    int lineOfParameter(int parameter) const;

    // Asks the view to store an edit in progress before the values are used.
    void commitPendingEdit() {
        if (observer_ != nullptr) {
            observer_->commitPendingEdit();
        }
    }

    void setObserver(ParameterTableObserver* observer) { observer_ = observer; }
    ParameterTableObserver* observer() const { return observer_; }

private:
    using Line = std::array<std::string, kColumnCount>;
    // Lines beyond lineCount_ are spare storage: a description is shown again and again, and
    // refilling kept strings costs no allocation.
    std::vector<Line> lines_;
    int lineCount_ = 0;
    std::array<int, kMaxParameterRows> modifiedMark_{};
    const DescriptionSlot* description_ = &emptyDescription();
    int shownGroup_ = 0;
    ParameterTableObserver* observer_ = nullptr;

    static const DescriptionSlot& emptyDescription();
};

} // namespace morvik
