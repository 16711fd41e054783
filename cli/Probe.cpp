#include "cli/Probe.h"

#include "parameters/Dialogs.h"
#include "protocol/Broadcast.h"
#include "protocol/ProbeCodec.h"
#include "protocol/UdpEndpoint.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_set>

namespace morvik::cli {

namespace {

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void noteReplyHandled(Traffic& traffic) {
    const Clock::time_point now = Clock::now();
    if (!traffic.firstProbeReplyHandled) {
        traffic.firstProbeReplyHandled = now;
    }
    traffic.lastProbeReplyHandled = now;
}

} // namespace

std::optional<std::vector<ProbedUnit>>
probeUnits(const EndpointSettings& settings, std::chrono::milliseconds window, Dialogs& /*dialogs*/,
           Traffic& traffic, const std::function<bool(const DeviceRecord& listed)>& enough) {
    auto endpoint = UdpEndpoint::bind("0.0.0.0", 0);
    if (!endpoint) {
        return std::nullopt;
    }
    endpoint->setReceiveBufferSize(kProbeReceiveBuffer);

    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + window;
    const auto request = buildProbeRequest();
    traffic.probeRequestsSent += sendBroadcast(*endpoint, request, settings).sent;

    std::vector<ProbedUnit> units;
    std::unordered_set<std::string> listedMacs; // a burst of hundreds: no search through the list
    std::array<std::uint8_t, kProbeReplyCapacity> buffer{};
    bool done = false;
    while (!done) {
        if (!endpoint->waitReadable(millisecondsUntil(deadline))) {
            break; // the window is over
        }
        // Everything that is waiting now, one datagram at a time. The socket is asked whether
        // more is waiting only when a read gives nothing: a burst of hundreds of replies takes
        // one system call each.
        while (Clock::now() < deadline) {
            const auto received = endpoint->receiveFrom(buffer);
            if (!received) {
                if (endpoint->waitReadable(0)) {
                    continue; // longer than a reply can be: discarded whole
                }
                break;
            }
            ++traffic.probeRepliesReceived;
            ProbeDecodeResult decoded =
                decodeProbeReply(std::span<const std::uint8_t>(buffer.data(), received->length),
                                 received->sourceAddress);
            if (decoded.verdict == ProbeVerdict::NotAReply) {
                continue;
            }
            // A bad checksum is the caller's to report, for the units it asked for.
            const bool checksumOk = decoded.verdict == ProbeVerdict::ChecksumValid;
            if (!listedMacs.insert(decoded.record.mac).second) {
                noteReplyHandled(traffic);
                continue; // a unit is listed once, with its first reply
            }
            units.push_back({std::move(decoded.record), checksumOk});
            done = enough && enough(units.back().record);
            noteReplyHandled(traffic);
            if (done) {
                break;
            }
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    traffic.probeWindow += Clock::now() - start;
    return units;
}

} // namespace morvik::cli
