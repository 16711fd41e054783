#include "cli/CostReport.h"

#include <array>
#include <cstdio>
#include <string>

namespace morvik::cli {

namespace {

long long milliseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// A probe burst takes a few milliseconds: whole milliseconds would hide it.
std::string fractionalMilliseconds(Clock::duration duration) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.3f",
                  std::chrono::duration<double, std::milli>(duration).count());
    return text.data();
}

} // namespace

std::chrono::milliseconds runBound(int waitMs, int timeoutMs, std::size_t units,
                                   const Traffic& traffic) {
    const auto count = static_cast<long long>(units);
    return std::chrono::milliseconds(waitMs + 6 * (count + 1) * timeoutMs) +
           std::chrono::ceil<std::chrono::milliseconds>(traffic.unitPauses);
}

void reportCost(ConsoleDialogs& dialogs, const Traffic& traffic, Clock::duration wall,
                std::chrono::milliseconds bound) {
    const Clock::duration work =
        wall - traffic.probeWindow - traffic.unitPauses - traffic.replyWaiting;
    const Clock::duration firstToLast =
        traffic.firstProbeReplyHandled
            ? *traffic.lastProbeReplyHandled - *traffic.firstProbeReplyHandled
            : Clock::duration::zero();
    dialogs.note("timing wall_ms=" + std::to_string(milliseconds(wall)) +
                 " bound_ms=" + std::to_string(bound.count()) +
                 " probe_ms=" + std::to_string(milliseconds(traffic.probeWindow)) +
                 " pause_ms=" + std::to_string(milliseconds(traffic.unitPauses)) +
                 " wait_ms=" + std::to_string(milliseconds(traffic.replyWaiting)) +
                 " work_ms=" + std::to_string(milliseconds(work)) +
                 " probe_first_to_last_ms=" + fractionalMilliseconds(firstToLast));
    const int sent = traffic.probeRequestsSent + traffic.requestsSent;
    const int received = traffic.probeRepliesReceived + traffic.repliesReceived;
    dialogs.note("traffic sent=" + std::to_string(sent) + " received=" + std::to_string(received) +
                 " probe_sent=" + std::to_string(traffic.probeRequestsSent) +
                 " probe_received=" + std::to_string(traffic.probeRepliesReceived) +
                 " requests_sent=" + std::to_string(traffic.requestsSent) +
                 " replies_received=" + std::to_string(traffic.repliesReceived) +
                 " requests_repeated=" + std::to_string(traffic.requestsRepeated));
}

} // namespace morvik::cli
