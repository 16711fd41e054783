#pragma once

#include "description/DeviceDescription.h"
#include "description/ValueList.h"

#include <array>
#include <memory>
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
// texts (the value column is the only store of parameter values), and the per-parameter side
// tables that the list control keeps. Indices outside the tables read as empty and are never
// written.
class ParameterTable {
public:
    enum Column { ClassColumn = 0, ParameterColumn = 1, ValueColumn = 2 };
    static constexpr int kColumnCount = 3;

    ParameterTable();

    // Lines.
    void removeAllLines();
    // Inserts a line whose first column is `classText` at `position` (clamped to the end).
    // Refused beyond kMaxParameterRows lines.
    bool insertLine(int position, std::string_view classText);
    int lineCount() const { return lineCount_; }
    const std::string& text(int line, int column) const;
    void setText(int line, int column, std::string_view text);

    // Side tables, indexed by parameter index 0..kMaxParameterRows-1.
    int modifiedMark(int parameter) const;
    void setModifiedMark(int parameter, int mark);
    AccessKind accessKind(int parameter) const;
    void setAccessKind(int parameter, AccessKind kind);
    const ValueList& definedValues(int parameter) const;
    void setDefinedValues(int parameter, const ValueList& values);
    const ValueList& enumeration(int parameter) const;
    void setEnumeration(int parameter, const ValueList& values);
    // Gives `parameter` the defined values and the enumeration of `source` (the rows of
    // later instances repeat the first instance's lists).
    void shareValueLists(int parameter, int source);

    // Class groups per description slot: groupStart holds the first row of each group (group 0
    // "All classes" at row 0) followed by the end mark. While a description is parsed
    // groupCount is the number of groups; afterwards it is the index of the group shown.
    const std::vector<int>& groupStart(int slot) const;
    int groupCount(int slot) const;
    void setGroupCount(int slot, int value);
    bool appendGroup(int slot, int firstRow); // stores at groupCount and raises it
    void setEndMark(int slot, int rowCount);  // stores at groupCount, count unchanged

    int currentSlot() const { return currentSlot_; }
    void setCurrentSlot(int slot) { currentSlot_ = slot; }

    // Every mark, access kind and value list cleared; every slot's groups back to group 0 only.
    void resetTables();

    // First parameter index of the group shown in the current slot (0 when out of range).
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

private:
    using Line = std::array<std::string, kColumnCount>;
    // Lines beyond lineCount_ are spare storage: a description is shown again and again, and
    // refilling kept strings costs no allocation.
    std::vector<Line> lines_;
    int lineCount_ = 0;
    std::array<int, kMaxParameterRows> modifiedMark_{};
    std::array<AccessKind, kMaxParameterRows> accessKind_{};
    // Shared between the instances of a parameter; never null.
    std::array<std::shared_ptr<const ValueList>, kMaxParameterRows> definedValues_;
    std::array<std::shared_ptr<const ValueList>, kMaxParameterRows> enumeration_;
    std::array<std::vector<int>, kMaxDescriptionSlots> groupStart_;
    std::array<int, kMaxDescriptionSlots> groupCount_{};
    int currentSlot_ = 0;
    ParameterTableObserver* observer_ = nullptr;
};

} // namespace morvik
