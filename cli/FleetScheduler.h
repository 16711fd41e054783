#pragma once

#include "cli/Traffic.h"
#include "protocol/UdpEndpoint.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvik::cli {

// How the tool spaces its requests to a fleet and repeats the ones that went unanswered.
//
// The desktop program pauses 100 ms after each unit of a read. The tool instead keeps a window
// of units that have been asked and not yet heard from: while the session sends, every reply
// that arrives is taken off the socket at once, handed to the session when `takeNow` accepts it
// (values that cannot make the session send) or else held for the session, and the next unit
// is asked as soon as fewer than `window` units are silent. The window is sized from the socket's
// receive buffer, so that the replies of the units in flight always fit it. A unit that stays
// silent for its share of the time-out leaves the window (and is asked again, when repeats are
// allowed), so that a silent unit cannot hold up the others.
//
// The wait for room is bounded like every other wait: it ends once a silent unit has had its
// share, and never lasts longer than the time-out, however much arrives meanwhile. Only what
// the session can use is held: datagrams that answer a unit of the operation, at most
// kMaxHeldPerUnit of each; junk from a unit that floods the socket is dropped as it comes.
//
// A request is repeated with exactly the bytes first sent, tag included: the unit's answer to
// either is the same answer. Reboots and writes that change the login are never repeated: the
// unit may have taken the first and answer the second with a refusal, or reboot twice.
class FleetScheduler final : public Pacer {
public:
    struct Settings {
        std::optional<std::chrono::milliseconds> pace; // a fixed pause per unit instead
        int retries = 2;
        std::chrono::milliseconds timeout{3000};
    };
    struct Held {
        std::vector<std::uint8_t> datagram;
        std::string sourceAddress;
        int unit = -1;
    };
    // The unit (index of the operation) that a datagram answers, or -1.
    using UnitOf = std::function<int(std::span<const std::uint8_t>, const std::string&)>;
    using Resend = std::function<void(int unit, std::span<const std::uint8_t>)>;
    // Handles a datagram while the session is still sending, or refuses to (false): it is held
    // then, and so is every datagram after it, so that the session sees them in order.
    using TakeNow = std::function<bool(std::span<const std::uint8_t>, const std::string&)>;

    FleetScheduler(Settings settings, UdpEndpoint& endpoint, Traffic& traffic, Pacer& sleeper,
                   UnitOf unitOf, Resend resend, TakeNow takeNow);

    // A new operation on `units` units.
    void begin(int units);
    // Sizes the window for read replies of about `replyBytesPerUnit` each.
    void expectReplies(std::size_t replyBytesPerUnit);
    int window() const { return window_; }

    // The session's pause after asking one unit of a read.
    void pause(std::chrono::milliseconds duration) override;

    void requestSent(int unit, std::span<const std::uint8_t> datagram, bool repeatable);
    void heardFrom(int unit);
    void finished(int unit);

    // Datagrams taken off the socket during the pauses, oldest first.
    std::optional<Held> takeHeld();
    // Sends the repeats that are due; the time the next one falls due, if any.
    std::optional<Clock::time_point> repeatDueRequests(Clock::time_point now);
    // Units that were silent and whose request could not be repeated.
    std::vector<int> silentUnrepeatable() const;
    int repeatsSent() const { return repeatsSent_; }

    // Units that fit the receive buffer of `endpoint` at once, each answering with about
    // `replyBytesPerUnit`: at least 1, at most kMaxWindow.
    static int windowFor(int receiveBufferBytes, std::size_t replyBytesPerUnit);
    static constexpr int kMaxWindow = 64;
    // A read reply of the largest description takes a few datagrams; a unit that sends far more
    // while the session is busy is repeating itself.
    static constexpr int kMaxHeldPerUnit = 64;
    int heldDropped() const { return heldDropped_; }

private:
    struct Unit {
        std::vector<std::uint8_t> request;
        Clock::time_point sentAt{};
        int repeats = 0;
        bool repeatable = false;
        bool silent = false; // asked and not heard from since
        bool finished = false;
        int held = 0; // its datagrams waiting in held_
    };

    Clock::duration share() const;
    bool inWindow(const Unit& unit, Clock::time_point now) const;
    int silentInWindow(Clock::time_point now) const;
    // Takes what is waiting off the socket, until nothing is, `until` has come or about a
    // receive buffer's worth was taken.
    void drainWaiting(Clock::time_point until);

    Settings settings_;
    UdpEndpoint& endpoint_;
    Traffic& traffic_;
    Pacer& sleeper_;
    UnitOf unitOf_;
    Resend resend_;
    TakeNow takeNow_;
    std::vector<Unit> units_;
    std::deque<Held> held_;
    int window_ = 1;
    int repeatsSent_ = 0;
    int heldDropped_ = 0;
};

} // namespace morvik::cli
