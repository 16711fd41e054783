#include "cli/FleetScheduler.h"

#include "protocol/ParameterFrame.h"

#include <algorithm>
#include <array>
#include <sys/socket.h>

namespace morvik::cli {

namespace {

// What one datagram costs the receive buffer at most: a full datagram and the kernel's own
// bookkeeping for it.
constexpr std::size_t kBufferCostPerDatagram = 1500 + 1024;
constexpr std::size_t kDatagramPayload = 1400;
constexpr int kMaxDrainedAtOnce = 4096;

int receiveBufferBytes(const UdpEndpoint& endpoint) {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(endpoint.descriptor(), SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) {
        return 0;
    }
    return bytes;
}

} // namespace

FleetScheduler::FleetScheduler(Settings settings, UdpEndpoint& endpoint, Traffic& traffic,
                               Pacer& sleeper, UnitOf unitOf, Resend resend, TakeNow takeNow)
    : settings_(settings), endpoint_(endpoint), traffic_(traffic), sleeper_(sleeper),
      unitOf_(std::move(unitOf)), resend_(std::move(resend)), takeNow_(std::move(takeNow)) {}

int FleetScheduler::windowFor(int receiveBufferBytes, std::size_t replyBytesPerUnit) {
    const std::size_t datagrams = replyBytesPerUnit / kDatagramPayload + 1;
    const std::size_t perUnit = datagrams * kBufferCostPerDatagram;
    // Half the buffer: the replies of the window, and room for repeats and stragglers.
    const std::size_t fit = static_cast<std::size_t>(std::max(receiveBufferBytes, 0)) / 2 / perUnit;
    return static_cast<int>(std::clamp<std::size_t>(fit, 1, kMaxWindow));
}

void FleetScheduler::begin(int units) {
    units_.assign(static_cast<std::size_t>(std::max(units, 0)), Unit{});
    held_.clear();
}

void FleetScheduler::expectReplies(std::size_t replyBytesPerUnit) {
    window_ = windowFor(receiveBufferBytes(endpoint_), replyBytesPerUnit);
}

Clock::duration FleetScheduler::share() const {
    return std::chrono::duration_cast<Clock::duration>(settings_.timeout) /
           (std::max(settings_.retries, 0) + 1);
}

bool FleetScheduler::inWindow(const Unit& unit, Clock::time_point now) const {
    return unit.silent && !unit.finished && now - unit.sentAt < share();
}

int FleetScheduler::silentInWindow(Clock::time_point now) const {
    return static_cast<int>(std::count_if(units_.begin(), units_.end(),
                                          [&](const Unit& unit) { return inWindow(unit, now); }));
}

void FleetScheduler::drainWaiting(Clock::time_point until) {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    // About what the receive buffer holds: a flood that refills it as fast as it is read
    // does not keep the caller here.
    for (int taken = 0;
         taken < kMaxDrainedAtOnce && Clock::now() < until && endpoint_.waitReadable(0); ++taken) {
        buffer.fill(0);
        const auto received = endpoint_.receiveFrom(buffer);
        if (!received) {
            continue; // longer than the receive buffer: discarded whole
        }
        const std::span<const std::uint8_t> datagram(buffer.data(), received->length);
        const int unit = unitOf_(datagram, received->sourceAddress);
        if (unit < 0 || unit >= static_cast<int>(units_.size())) {
            ++heldDropped_; // the session would drop it too
            continue;
        }
        heardFrom(unit);
        if (held_.empty() && takeNow_ && takeNow_(datagram, received->sourceAddress)) {
            continue;
        }
        Unit& state = units_[static_cast<std::size_t>(unit)];
        if (state.held >= kMaxHeldPerUnit) {
            ++heldDropped_;
            continue;
        }
        ++state.held;
        held_.push_back({{datagram.begin(), datagram.end()}, received->sourceAddress, unit});
    }
}

void FleetScheduler::pause(std::chrono::milliseconds duration) {
    if (settings_.pace) {
        sleeper_.pause(*settings_.pace);
        return;
    }
    (void)duration; // the window takes the place of the fixed pause
    // Whatever keeps arriving, the wait ends within the time-out.
    const Clock::time_point limit =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(settings_.timeout);
    drainWaiting(limit);
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (silentInWindow(now) < window_ || now >= limit) {
            return;
        }
        // Wait for a reply, or for the oldest silent unit to leave the window.
        Clock::time_point leaves = Clock::time_point::max();
        for (const Unit& unit : units_) {
            if (inWindow(unit, now)) {
                leaves = std::min(leaves, unit.sentAt + share());
            }
        }
        leaves = std::min(leaves, limit);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(leaves - now).count();
        if (left > 0 && endpoint_.waitReadable(static_cast<int>(left))) {
            drainWaiting(leaves);
        }
    }
}

void FleetScheduler::requestSent(int unit, std::span<const std::uint8_t> datagram,
                                 bool repeatable) {
    if (unit < 0 || unit >= static_cast<int>(units_.size())) {
        return;
    }
    Unit& state = units_[static_cast<std::size_t>(unit)];
    state.request.assign(datagram.begin(), datagram.end());
    state.sentAt = Clock::now();
    state.repeats = 0;
    state.repeatable = repeatable;
    state.silent = true;
    state.finished = false;
}

void FleetScheduler::heardFrom(int unit) {
    if (unit >= 0 && unit < static_cast<int>(units_.size())) {
        units_[static_cast<std::size_t>(unit)].silent = false;
    }
}

void FleetScheduler::finished(int unit) {
    if (unit >= 0 && unit < static_cast<int>(units_.size())) {
        units_[static_cast<std::size_t>(unit)].finished = true;
        units_[static_cast<std::size_t>(unit)].silent = false;
    }
}

std::optional<FleetScheduler::Held> FleetScheduler::takeHeld() {
    if (held_.empty()) {
        return std::nullopt;
    }
    Held held = std::move(held_.front());
    held_.pop_front();
    if (held.unit >= 0 && held.unit < static_cast<int>(units_.size())) {
        --units_[static_cast<std::size_t>(held.unit)].held;
    }
    return held;
}

std::optional<Clock::time_point> FleetScheduler::repeatDueRequests(Clock::time_point now) {
    std::optional<Clock::time_point> next;
    for (std::size_t i = 0; i < units_.size(); ++i) {
        Unit& unit = units_[i];
        // A unit that answered in part is repeated too: its answer is not complete.
        if (unit.finished || unit.request.empty() || !unit.repeatable ||
            unit.repeats >= settings_.retries) {
            continue;
        }
        const Clock::time_point due = unit.sentAt + share();
        if (due <= now) {
            ++unit.repeats;
            ++repeatsSent_;
            unit.sentAt = now;
            resend_(static_cast<int>(i), unit.request);
            if (unit.repeats < settings_.retries) {
                next = std::min(next.value_or(Clock::time_point::max()), now + share());
            }
        } else {
            next = std::min(next.value_or(Clock::time_point::max()), due);
        }
    }
    return next;
}

std::vector<int> FleetScheduler::silentUnrepeatable() const {
    std::vector<int> units;
    for (std::size_t i = 0; i < units_.size(); ++i) {
        const Unit& unit = units_[i];
        if (!unit.finished && !unit.request.empty() && !unit.repeatable) {
            units.push_back(static_cast<int>(i));
        }
    }
    return units;
}

} // namespace morvik::cli
