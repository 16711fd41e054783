#pragma once

#include "cli/Traffic.h"
#include "protocol/DeviceRecord.h"
#include "protocol/EndpointSettings.h"
#include "protocol/ProbeSession.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvik {
class Dialogs;
}

namespace morvik::cli {

struct ProbeOutcome {
    std::vector<ProbedUnit> units;
    std::vector<SameMacElsewhere> sameMacElsewhere;
};

// Probe requests spread over the window: a lost request or reply is made up by the next one.
inline constexpr int kProbeRequestsPerWindow = 5;

// A burst of several hundred replies must not overflow the socket while we are busy.
inline constexpr int kProbeReceiveBuffer = 8 * 1024 * 1024;

// Broadcasts ProbeRequests from a socket of its own, kProbeRequestsPerWindow spread over the
// window, and lists the units that answer, one per MAC, in order of arrival, until the window
// ends or `enough`, told of each unit as it is listed, says every unit that matters has
// answered. A unit whose first reply had a bad checksum is listed all the same, with
// checksumOk false; reporting it is the caller's, for the units it asked for. Nothing when the
// socket cannot be made.
std::optional<ProbeOutcome>
probeUnits(const EndpointSettings& settings, std::chrono::milliseconds window, Dialogs& dialogs,
           Traffic& traffic, const std::function<bool(const DeviceRecord& listed)>& enough = {});

// The warning for a MAC that answered from two addresses.
std::string sameMacElsewhereNote(const SameMacElsewhere& unit);

} // namespace morvik::cli
