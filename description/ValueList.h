#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvik {

// Names given to particular numbers of a parameter: its defined values or its enumeration.
// Holds at most kCapacity entries; further entries are refused.
class ValueList {
public:
    static constexpr int kCapacity = 20;

    struct Entry {
        std::string name;
        std::int32_t value = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    bool add(std::string name, std::int32_t value); // false when full
    void clear() { entries_.clear(); }
    int count() const { return static_cast<int>(entries_.size()); }
    const Entry& operator[](int index) const { return entries_[static_cast<std::size_t>(index)]; }
    const std::vector<Entry>& entries() const { return entries_; }

    friend bool operator==(const ValueList&, const ValueList&) = default;

private:
    std::vector<Entry> entries_;
};

// A value list that the rows of a class's later instances share with its first instance.
// Compares by content; never null.
class SharedValueList {
public:
    SharedValueList();
    SharedValueList(const ValueList& values); // NOLINT: a list is a shared list

    const ValueList& get() const { return *values_; }
    operator const ValueList&() const { return *values_; } // NOLINT: read like the list itself
    int count() const { return values_->count(); }
    const ValueList::Entry& operator[](int index) const { return (*values_)[index]; }
    const std::vector<ValueList::Entry>& entries() const { return values_->entries(); }

    friend bool operator==(const SharedValueList& a, const SharedValueList& b) {
        return a.values_ == b.values_ || *a.values_ == *b.values_;
    }

private:
    std::shared_ptr<const ValueList> values_;
};

// Per-parameter access word of a description row.
enum class AccessKind : int { Plain = 0, ReadWrite = 1, ReadOnly = 2, Hidden = 3 };

AccessKind accessKindFromWord(const std::string& word); // "R/W", "R/O", "HIDDEN", else Plain

} // namespace morvik
