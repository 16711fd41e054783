#pragma once

#include "cli/Traffic.h"
#include "protocol/DeviceRecord.h"
#include "protocol/EndpointSettings.h"

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace morvik {
class Dialogs;
}

namespace morvik::cli {

struct ProbedUnit {
    DeviceRecord record;
    bool checksumOk = true;
};

// A burst of several hundred replies must not overflow the socket while we are busy.
inline constexpr int kProbeReceiveBuffer = 8 * 1024 * 1024;

// Broadcasts one ProbeRequest from a socket of its own and lists the units that answer, one
// per MAC, in order of arrival, until the window ends or `enough`, told of each unit as it is
// listed, says every unit that matters has answered. A unit whose first reply had a bad
// checksum is listed all the same, with checksumOk false; reporting it is the caller's, for
// the units it asked for. Nothing when the socket cannot be made.
std::optional<std::vector<ProbedUnit>>
probeUnits(const EndpointSettings& settings, std::chrono::milliseconds window, Dialogs& dialogs,
           Traffic& traffic, const std::function<bool(const DeviceRecord& listed)>& enough = {});

} // namespace morvik::cli
