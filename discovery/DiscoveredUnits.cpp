#include "discovery/DiscoveredUnits.h"

namespace morvik {

std::optional<int> DiscoveredUnits::add(const DeviceRecord& unit) {
    if (!macs_.insert(unit.mac).second) {
        return std::nullopt;
    }
    units_.push_back(unit);
    return count() - 1;
}

void DiscoveredUnits::clear() {
    units_.clear();
    macs_.clear();
}

const DeviceRecord* DiscoveredUnits::unit(int index) const {
    return index >= 0 && index < count() ? &units_[static_cast<std::size_t>(index)] : nullptr;
}

} // namespace morvik
