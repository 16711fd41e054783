#pragma once

#include "description/ValueList.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvik {

inline constexpr int kMaxParameterRows = 700;
inline constexpr int kClassLineCount = 10;
inline constexpr int kMaxDescriptionSlots = 100;
inline constexpr int kMaxDescriptionToken = 199;

// One parameter of a description, all texts as the parser produced them.
struct ParameterRow {
    std::string address;   // dotted, instance filled in; empty = end of the rows
    std::string className; // "[inst]" replaced by the instance number
    std::string parameterName;
    std::string typeName;  // "_" turned into blanks
    std::string access;    // access word as read
    std::int32_t size = 0; // value bytes in messages (0 when not a number, never negative)
    std::string unit;      // empty for "<none>"
    AccessKind accessKind = AccessKind::Plain; // the access word read
    SharedValueList definedValues;             // names of particular numbers
    SharedValueList enumeration;               // the choices of an enumerated ("FLAG") parameter

    friend bool operator==(const ParameterRow&, const ParameterRow&) = default;
};

struct ClassEntry {
    int instanceCount = 0;
    int firstRow = 0;
    int lastRow = -1; // -1: not in use

    friend bool operator==(const ClassEntry&, const ClassEntry&) = default;
};

// The rows one parse produced for a (product code, major, minor) triple, and their class
// groups. Walkers stop at the first row with an empty address, as every reader of the rows
// does.
class DescriptionSlot {
public:
    static constexpr std::string_view kAllClasses = "All classes";

    const std::vector<ParameterRow>& rows() const { return rows_; }
    // The rows to fill or change (at most kMaxParameterRows). Lookups rebuild their index
    // afterwards, so keep the reference only until the next lookup.
    std::vector<ParameterRow>& editRows();

    // Index of the first row with exactly this address before the first empty address, else
    // -1. Replies look up every entry, so this goes through an index of the addresses.
    int findParameter(std::string_view address) const;
    // First and last index whose address, cut to the range address's length less one, equals
    // the range address less its last character; both -1 when none does.
    std::pair<int, int> findRange(std::string_view rangeAddress) const;
    // Rows before the first empty address.
    int rowCount() const;
    const ParameterRow* row(int index) const; // nullptr outside the rows

    // A row's access kind and value lists; Plain and empty outside the rows.
    AccessKind accessKind(int index) const;
    const ValueList& definedValues(int index) const;
    const ValueList& enumeration(int index) const;

    // Class groups: group 0 is every row; groupStarts holds the first row of each group
    // (group 0 at row 0) followed by the end of the last group, groupNames the name of each
    // group ("All classes" first).
    const std::vector<int>& groupStarts() const { return groupStarts_; }
    const std::vector<std::string>& groupNames() const { return groupNames_; }
    int groupCount() const { return static_cast<int>(groupNames_.size()); }
    bool hasGroup(int group) const { return group >= 0 && group < groupCount(); }
    // First row and end of `group` (every row for group 0); {0, 0} for a group the description
    // does not have.
    std::pair<int, int> groupRows(int group) const;
    // Back to group 0 alone, ending at row 0.
    void clearGroups();
    // Opens a group at `firstRow`; refused once every row begins a group of its own.
    bool appendGroup(std::string name, int firstRow);
    // Closes the last group at `rowCount`.
    void setGroupsEnd(int rowCount);

private:
    void buildIndex() const;

    std::vector<ParameterRow> rows_;
    mutable bool indexed_ = false;
    mutable int rowCount_ = 0;
    // Looked up by the views of reply entries, without a key string made for each.
    struct AddressHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view address) const {
            return std::hash<std::string_view>{}(address);
        }
    };
    mutable std::unordered_map<std::string, int, AddressHash, std::equal_to<>> firstRowOfAddress_;
    std::vector<int> groupStarts_{0, 0};
    std::vector<std::string> groupNames_{std::string(kAllClasses)};
};

// Parsed descriptions by product code (0-99), major (0-19) and minor (0-29) version. A slot is
// handed out the first time a triple is parsed and stays bound to it for the run; at most
// kMaxDescriptionSlots are ever handed out. Slots are allocated only when first used.
class DescriptionCache {
public:
    static constexpr int kProductCodes = 100;
    static constexpr int kMajorVersions = 20;
    static constexpr int kMinorVersions = 30;

    DescriptionCache();

    static bool inRange(int productCode, int major, int minor);
    // Slot of the triple, handing out a new one on first use; -1 when the triple is out of
    // range or all slots are taken.
    int slotFor(int productCode, int major, int minor);
    int slotsHandedOut() const { return lastSlot_ + 1; }

    int currentSlot() const { return currentSlot_; }
    void setCurrentSlot(int slot) { currentSlot_ = slot; }

    DescriptionSlot& slot(int index);                 // allocates on first access
    const DescriptionSlot* findSlot(int index) const; // nullptr when never filled
    const DescriptionSlot& current() const;           // an empty slot when none is filled

    // Bytes held by the parsed descriptions (rows and their strings), for the memory figures.
    std::size_t memoryFootprint() const;

private:
    std::vector<std::int8_t> index_; // 100 x 20 x 30 slot numbers, -1 = none
    std::array<std::unique_ptr<DescriptionSlot>, kMaxDescriptionSlots> slots_;
    int lastSlot_ = -1;
    int currentSlot_ = 0;
};

} // namespace morvik
