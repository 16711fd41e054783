// "prodid.ini" as anyone may have edited it: the reader stays within its tables and `find`
// agrees with what was read.
#include "stores/ProductIdDatabase.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool isToken(const std::string& text) {
    if (text.empty() || text.size() > morvik::ProductIdDatabase::kMaxTokenLength) {
        return false;
    }
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    morvik::ProductIdDatabase database("");
    database.loadText(text);
    require(database.count() <= morvik::ProductIdDatabase::kMaxRecords);
    require(database.currentIndex() == database.count());
    const auto& records = database.records();
    for (int i = 0; i < database.count(); ++i) {
        const auto& record = records[static_cast<std::size_t>(i)];
        require(isToken(record.name) && isToken(record.id));
        const int found = database.find(record.id);
        require(found >= 0 && found <= i);
        require(records[static_cast<std::size_t>(found)].id == record.id);
    }
    // Any text at all may be looked up.
    const int found = database.find(text.substr(0, 16));
    require(found == -1 || records[static_cast<std::size_t>(found)].id == text.substr(0, 16));
    return 0;
}
