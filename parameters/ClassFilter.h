#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// The class-filter box as the description loader and the operations see it.
class ClassFilter {
public:
    virtual ~ClassFilter() = default;
    virtual void resetEntries() = 0;
    virtual void addEntry(std::string_view name) = 0;
    virtual void selectIndex(int index) = 0;
};

// A class filter that only remembers its entries: the command line tool and the tests use it.
class ClassFilterEntries final : public ClassFilter {
public:
    void resetEntries() override {
        entries_.clear();
        selected_ = -1;
    }
    void addEntry(std::string_view name) override { entries_.emplace_back(name); }
    void selectIndex(int index) override { selected_ = index; }

    const std::vector<std::string>& entries() const { return entries_; }
    int selected() const { return selected_; }

private:
    std::vector<std::string> entries_;
    int selected_ = -1;
};

} // namespace morvik
