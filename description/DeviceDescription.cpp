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
    // A C++20 map without heterogeneous lookup wants a key string; addresses are short.
    const auto found = firstRowOfAddress_.find(std::string(address));
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
