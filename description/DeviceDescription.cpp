#include "description/DeviceDescription.h"

#include <functional>

namespace morvik {

int DescriptionSlot::findParameter(std::string_view address) const {
    const int count = rowCount();
    for (int index = 0; index < count; ++index) {
        if (rows[static_cast<std::size_t>(index)].address == address) {
            return index;
        }
    }
    return -1;
}

std::pair<int, int> DescriptionSlot::findRange(std::string_view rangeAddress) const {
    if (rangeAddress.empty()) {
        return {-1, -1};
    }
    const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
    std::pair<int, int> range{-1, -1};
    const int count = rowCount();
    for (int index = 0; index < count; ++index) {
        const std::string_view address = rows[static_cast<std::size_t>(index)].address;
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
    int count = 0;
    for (const ParameterRow& parameter : rows) {
        if (parameter.address.empty() || count >= kMaxParameterRows) {
            break;
        }
        ++count;
    }
    return count;
}

const ParameterRow* DescriptionSlot::row(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) {
        return nullptr;
    }
    return &rows[static_cast<std::size_t>(index)];
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
        bytes += sizeof(DescriptionSlot) + held->rows.capacity() * sizeof(ParameterRow);
        for (const ParameterRow& parameter : held->rows) {
            bytes += heapBytes(parameter.address) + heapBytes(parameter.className) +
                     heapBytes(parameter.parameterName) + heapBytes(parameter.typeName) +
                     heapBytes(parameter.access) + heapBytes(parameter.unit);
        }
    }
    return bytes;
}

} // namespace morvik
