#pragma once

#include "parameters/SessionPorts.h"

#include <chrono>
#include <optional>

namespace morvik::cli {

using Clock = std::chrono::steady_clock;

// What one run cost, for --verbose and the benchmarks.
struct Traffic {
    int probeRequestsSent = 0;
    int probeRepliesReceived = 0; // datagrams read on the probe socket
    int requestsSent = 0;         // parameter requests, as the session reports them
    int repliesReceived = 0;      // datagrams read on the parameter socket
    int requestsRepeated = 0;     // requests sent again after no complete answer
    Clock::duration probeWindow{};
    Clock::duration unitPauses{};   // the session's own pauses between the units of a read
    Clock::duration replyWaiting{}; // blocked waiting for a reply
    // When the first and the last unit had been listed: how fast a burst is taken in.
    std::optional<Clock::time_point> firstProbeReplyHandled;
    std::optional<Clock::time_point> lastProbeReplyHandled;
};

// The session's pause between units, measured.
class MeasuredPacer final : public Pacer {
public:
    MeasuredPacer(Pacer& inner, Traffic& traffic) : inner_(inner), traffic_(traffic) {}
    void pause(std::chrono::milliseconds duration) override {
        const Clock::time_point start = Clock::now();
        inner_.pause(duration);
        traffic_.unitPauses += Clock::now() - start;
    }

private:
    Pacer& inner_;
    Traffic& traffic_;
};

} // namespace morvik::cli
