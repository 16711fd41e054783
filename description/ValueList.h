#pragma once

#include <cstdint>
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

// Per-parameter access word of a description row.
enum class AccessKind : int { Plain = 0, ReadWrite = 1, ReadOnly = 2, Hidden = 3 };

AccessKind accessKindFromWord(const std::string& word); // "R/W", "R/O", "HIDDEN", else Plain

} // namespace morvik
