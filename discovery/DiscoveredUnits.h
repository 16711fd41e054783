#pragma once

#include "protocol/DeviceRecord.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace morvik {

// The units that answered since the last probe, in order of arrival, each once per MAC. The
// device list draws a row for each and hands the selected ones to the parameter operations as
// they arrived, so nothing is read back from the texts of a row.
class DiscoveredUnits {
public:
    // Adds a unit unless a unit with its MAC is listed already: the new unit's index, or
    // nothing for a MAC already listed (a unit keeps the data of its first reply).
    std::optional<int> add(const DeviceRecord& unit);
    void clear();

    int count() const { return static_cast<int>(units_.size()); }
    // The unit at `index`; nullptr when there is none.
    const DeviceRecord* unit(int index) const;

private:
    std::vector<DeviceRecord> units_;
    std::unordered_set<std::string> macs_;
};

} // namespace morvik
