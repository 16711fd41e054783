#include "cli/Probe.h"

#include "parameters/Dialogs.h"
#include "protocol/Broadcast.h"
#include "protocol/ProbeCodec.h"
#include "protocol/ProbeSession.h"
#include "protocol/UdpEndpoint.h"

#include <algorithm>
#include <array>
#include <string>

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

std::optional<ProbeOutcome>
probeUnits(const EndpointSettings& settings, std::chrono::milliseconds window, Dialogs& /*dialogs*/,
           Traffic& traffic, const std::function<bool(const DeviceRecord& listed)>& enough) {
    auto endpoint = UdpEndpoint::bind("0.0.0.0", 0);
    if (!endpoint) {
        return std::nullopt;
    }
    endpoint->setReceiveBufferSize(kProbeReceiveBuffer);

    const Clock::time_point start = Clock::now();
    ProbeSession session(window, kProbeRequestsPerWindow);
    session.start(start);
    const auto request = buildProbeRequest();
    std::array<std::uint8_t, kProbeReplyCapacity> buffer{};
    bool done = false;
    while (!done) {
        if (const Clock::time_point now = Clock::now(); session.probeDue(now)) {
            traffic.probeRequestsSent += sendBroadcast(*endpoint, request, settings).sent;
            session.probeSent(now);
        }
        if (!endpoint->waitReadable(millisecondsUntil(session.nextWakeUp()))) {
            if (session.windowOver(Clock::now())) {
                break;
            }
            continue; // a request is due
        }
        // Everything that is waiting now, one datagram at a time. The socket is asked whether
        // more is waiting only when a read gives nothing: a burst of hundreds of replies takes
        // one system call each.
        while (!session.windowOver(Clock::now())) {
            const auto received = endpoint->receiveFrom(buffer);
            if (!received) {
                if (endpoint->waitReadable(0)) {
                    continue; // longer than a reply can be: discarded whole
                }
                break;
            }
            ++traffic.probeRepliesReceived;
            const auto taken =
                session.take(std::span<const std::uint8_t>(buffer.data(), received->length),
                             received->sourceAddress);
            if (taken != ProbeSession::Taken::Listed) {
                continue; // the later probes' answers of listed units say nothing new
            }
            done = enough && enough(session.units().back().record);
            noteReplyHandled(traffic);
            if (done) {
                break;
            }
        }
        if (session.windowOver(Clock::now())) {
            break;
        }
    }
    traffic.probeWindow += Clock::now() - start;
    return ProbeOutcome{session.takeUnits(), session.sameMacElsewhere()};
}

std::string sameMacElsewhereNote(const SameMacElsewhere& unit) {
    return unit.mac + " answered the probe from " + unit.otherIp + " as well as from " +
           unit.listedIp + ": two devices may share the MAC; it is listed once, at " +
           unit.listedIp + " (its first reply)";
}

} // namespace morvik::cli
