#pragma once

#include "protocol/DeviceRecord.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvik::cli {

// Selected units that must agree on product, version and address mode to share one operation,
// in order of their first unit.
std::vector<std::vector<int>> groupsOfLikeUnits(const std::vector<DeviceRecord>& units);

bool sameProduct(const DeviceRecord& a, const DeviceRecord& b);

std::vector<DeviceRecord> unitsAt(const std::vector<DeviceRecord>& units,
                                  const std::vector<int>& indices);

std::string joined(const std::vector<std::string>& words, std::string_view separator);

} // namespace morvik::cli
