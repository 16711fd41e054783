#include "description/DeviceDescription.h"

#include <functional>

namespace morvik {

std::vector<ParameterRow>& DescriptionSlot::editRows() {
    indexed_ = false;
    return rows_;
}

void DescriptionSlot::buildIndex() const {
    rowCount_ = 0;
    for (const ParameterRow& parameter : rows_) {
        if (parameter.address.empty() || rowCount_ >= kMaxParameterRows) {
            break;
        }
        ++rowCount_;
    }
    firstRowOfAddress_.clear();
    firstRowOfAddress_.reserve(static_cast<std::size_t>(rowCount_));
    for (int index = 0; index < rowCount_; ++index) {
        firstRowOfAddress_.try_emplace(rows_[static_cast<std::size_t>(index)].address, index);
    }
    indexed_ = true;
}

int DescriptionSlot::findParameter(std::string_view address) const {
    if (!indexed_) {
        buildIndex();
    }
    const auto found = firstRowOfAddress_.find(address);
    return found == firstRowOfAddress_.end() ? -1 : found->second;
}

std::pair<int, int> DescriptionSlot::findRange(std::string_view rangeAddress) const {
    if (rangeAddress.empty()) {
        return {-1, -1};
    }
    const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
    std::pair<int, int> range{-1, -1};
    const int count = rowCount();
    for (int index = 0; index < count; ++index) {
        const std::string_view address = rows_[static_cast<std::size_t>(index)].address;
        if (address.substr(0, prefix.size()) == prefix) {
            if (range.first < 0) {
                range.first = index;
            }
            range.second = index;
        }
    }
    return range;
}

int DescriptionSlot::rowCount() const {
    if (!indexed_) {
        buildIndex();
    }
    return rowCount_;
}

const ParameterRow* DescriptionSlot::row(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(index)];
}

AccessKind DescriptionSlot::accessKind(int index) const {
    const ParameterRow* found = row(index);
    return found != nullptr ? found->accessKind : AccessKind::Plain;
}

const ValueList& DescriptionSlot::definedValues(int index) const {
    static const ValueList empty;
    const ParameterRow* found = row(index);
    return found != nullptr ? found->definedValues.get() : empty;
}

const ValueList& DescriptionSlot::enumeration(int index) const {
    static const ValueList empty;
    const ParameterRow* found = row(index);
    return found != nullptr ? found->enumeration.get() : empty;
}

std::pair<int, int> DescriptionSlot::groupRows(int group) const {
    if (!hasGroup(group)) {
        return {0, 0};
    }
    if (group == 0) {
        return {0, groupStarts_.back()};
    }
    const auto at = static_cast<std::size_t>(group);
    return {groupStarts_[at], groupStarts_[at + 1]};
}

void DescriptionSlot::clearGroups() {
    groupStarts_.assign({0, 0});
    groupNames_.assign(1, std::string(kAllClasses));
}

bool DescriptionSlot::appendGroup(std::string name, int firstRow) {
    // Every row may begin a group of its own, and group 0 comes on top.
    if (groupCount() > kMaxParameterRows) {
        return false;
    }
    groupStarts_.back() = firstRow;
    groupStarts_.push_back(firstRow);
    groupNames_.push_back(std::move(name));
    return true;
}

void DescriptionSlot::setGroupsEnd(int rowCount) {
    groupStarts_.back() = rowCount;
}

DescriptionCache::DescriptionCache()
    : index_(static_cast<std::size_t>(kProductCodes * kMajorVersions * kMinorVersions), -1) {}

bool DescriptionCache::inRange(int productCode, int major, int minor) {
    return productCode >= 0 && productCode < kProductCodes && major >= 0 &&
           major < kMajorVersions && minor >= 0 && minor < kMinorVersions;
}

int DescriptionCache::slotFor(int productCode, int major, int minor) {
    if (!inRange(productCode, major, minor)) {
        return -1;
    }
    const auto position =
        static_cast<std::size_t>((productCode * kMajorVersions + major) * kMinorVersions + minor);
    if (index_[position] < 0) {
        if (lastSlot_ + 1 >= kMaxDescriptionSlots) {
            return -1;
        }
        ++lastSlot_;
        index_[position] = static_cast<std::int8_t>(lastSlot_);
    }
    return index_[position];
}

DescriptionSlot& DescriptionCache::slot(int index) {
    if (index < 0 || index >= kMaxDescriptionSlots) {
        index = 0;
    }
    auto& held = slots_[static_cast<std::size_t>(index)];
    if (!held) {
        held = std::make_unique<DescriptionSlot>();
    }
    return *held;
}

const DescriptionSlot* DescriptionCache::findSlot(int index) const {
    if (index < 0 || index >= kMaxDescriptionSlots) {
        return nullptr;
    }
    return slots_[static_cast<std::size_t>(index)].get();
}

const DescriptionSlot& DescriptionCache::current() const {
    static const DescriptionSlot empty;
    const DescriptionSlot* filled = findSlot(currentSlot_);
    return filled != nullptr ? *filled : empty;
}

namespace {

// Heap bytes of a string: nothing while its characters fit inside the object itself.
std::size_t heapBytes(const std::string& text) {
    const auto* object = reinterpret_cast<const char*>(&text);
    const std::less<const char*> before;
    const bool inside = !before(text.data(), object) && before(text.data(), object + sizeof text);
    return inside ? 0 : text.capacity() + 1;
}

} // namespace

std::size_t DescriptionCache::memoryFootprint() const {
    std::size_t bytes = 0;
    for (const auto& held : slots_) {
        if (!held) {
            continue;
        }
        bytes += sizeof(DescriptionSlot) + held->rows().capacity() * sizeof(ParameterRow);
        for (const ParameterRow& parameter : held->rows()) {
            bytes += heapBytes(parameter.address) + heapBytes(parameter.className) +
                     heapBytes(parameter.parameterName) + heapBytes(parameter.typeName) +
                     heapBytes(parameter.access) + heapBytes(parameter.unit);
        }
    }
    return bytes;
}

} // namespace morvik
