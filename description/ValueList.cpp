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

namespace {

const std::shared_ptr<const ValueList>& emptyValueList() {
    static const auto empty = std::make_shared<const ValueList>();
    return empty;
}

} // namespace

SharedValueList::SharedValueList() : values_(emptyValueList()) {}

SharedValueList::SharedValueList(const ValueList& values)
    : values_(values.count() == 0 ? emptyValueList() : std::make_shared<const ValueList>(values)) {}

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
