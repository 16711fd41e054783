#include "description/ValueList.h"

#include <utility>

namespace morvik {

bool ValueList::add(std::string name, std::int32_t value) {
    if (count() >= kCapacity) {
        return false;
    }
    entries_.push_back({std::move(name), value});
    return true;
}

AccessKind accessKindFromWord(const std::string& word) {
    if (word == "R/W") {
        return AccessKind::ReadWrite;
    }
    if (word == "R/O") {
        return AccessKind::ReadOnly;
    }
    if (word == "HIDDEN") {
        return AccessKind::Hidden;
    }
    return AccessKind::Plain;
}

} // namespace morvik
