#pragma once

#include "protocol/DeviceRecord.h"
#include "protocol/ProbeCodec.h"

#include <chrono>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvik {

// A unit that answered a probe, as its first reply listed it.
struct ProbedUnit {
    DeviceRecord record;
    bool checksumOk = true; // the first reply's checksum matched
};

// A unit listed with the address of its first reply that answered from another address as
// well: two devices share a MAC, or one answers on two networks.
struct SameMacElsewhere {
    std::string mac;
    std::string listedIp;
    std::string otherIp;
};

// One probe of the network, without the socket: when to send a probe request, and what the
// replies make of the list. A probe request or its reply may be lost, so the window holds
// several requests evenly spread from its start (one, as the desktop list sends, makes it a
// single probe); a unit is listed once per MAC, with its first reply, in order of arrival.
// The caller owns the socket and the clock: it sends when probeDue says so and hands over
// every datagram that arrives.
class ProbeSession {
public:
    using Clock = std::chrono::steady_clock;
    enum class Taken {
        NotAReply,
        Listed,   // a unit not listed before
        Repeat,   // a listed unit again, from its listed address
        Elsewhere // a listed unit from another address: kept in sameMacElsewhere
    };

    ProbeSession(Clock::duration window, int requests);

    void start(Clock::time_point now);
    // A probe request is due: send it, then tell probeSent.
    bool probeDue(Clock::time_point now) const;
    void probeSent(Clock::time_point now);
    bool windowOver(Clock::time_point now) const { return now >= end_; }
    // When the next request is due or the window ends, whichever comes first.
    Clock::time_point nextWakeUp() const;

    Taken take(std::span<const std::uint8_t> datagram, std::string_view sourceAddress);
    // The same for a reply the caller has decoded already (to show a checksum error first).
    Taken take(ProbeDecodeResult decoded);

    const std::vector<ProbedUnit>& units() const { return units_; }
    std::vector<ProbedUnit> takeUnits() { return std::move(units_); }
    // The unit listed at `index`; nullptr when there is none.
    const ProbedUnit* unit(std::size_t index) const {
        return index < units_.size() ? &units_[index] : nullptr;
    }
    const std::vector<SameMacElsewhere>& sameMacElsewhere() const { return elsewhere_; }

private:
    Clock::duration window_;
    Clock::duration spacing_;
    int requests_;
    int requestsLeft_ = 0;
    int requestsSent_ = 0;
    Clock::time_point start_{};
    Clock::time_point end_{};
    Clock::time_point nextRequest_{};
    std::vector<ProbedUnit> units_;
    std::unordered_map<std::string, std::size_t> unitOfMac_; // a burst of hundreds: no search
    std::set<std::pair<std::string, std::string>> elsewhereSeen_;
    std::vector<SameMacElsewhere> elsewhere_;
};

} // namespace morvik
