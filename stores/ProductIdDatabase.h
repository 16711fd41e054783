#pragma once

#include "stores/IniDatabaseFile.h"
#include "stores/StoreMessage.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// "prodid.ini": product identifier -> product name, the first part of a description's name.
class ProductIdDatabase {
public:
    static constexpr int kMaxRecords = 5000;
    static constexpr std::size_t kMaxTokenLength = 75;

    struct Record {
        std::string name;
        std::string id;
    };

    explicit ProductIdDatabase(std::string_view dataDirectory);

    // Reads every record (creating the file empty when missing). False when it cannot be
    // opened. Afterwards the current index equals the count.
    bool load();
    // Same on text in memory (fuzzing, tests). Reading stops at the first text that is not a
    // whole record; a record cut short there is not stored. Records past kMaxRecords are not
    // read, names and identifiers are cut to kMaxTokenLength.
    void loadText(std::string_view text);

    int find(std::string_view productId) const; // first exact match, or -1
    // Index 0 and indices up to the count are accepted; beyond: false (outOfRangeMessage).
    bool select(int index);
    const std::string& currentName() const;

    int count() const { return static_cast<int>(records_.size()); }
    int currentIndex() const { return current_; }
    const std::vector<Record>& records() const { return records_; }
    const std::string& path() const { return file_.path(); }

private:
    IniDatabaseFile file_;
    std::vector<Record> records_;
    int current_ = 0;
};

} // namespace morvik
