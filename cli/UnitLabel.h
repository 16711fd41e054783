#pragma once

#include "protocol/DeviceRecord.h"

#include <string>

namespace morvik::cli {

// How the tool names a unit in its messages: "MAC (name, ip)", or "MAC (ip)" without a name.
inline std::string unitLabel(const DeviceRecord& unit) {
    return unit.mac + " (" + (unit.name.empty() ? unit.ip : unit.name + ", " + unit.ip) + ")";
}

} // namespace morvik::cli
