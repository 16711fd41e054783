#pragma once

#include "parameters/SessionPorts.h"
#include "protocol/Broadcast.h"
#include "protocol/EndpointSettings.h"
#include "protocol/LocalInterfaces.h"
#include "protocol/UdpEndpoint.h"

#include <chrono>
#include <optional>
#include <thread>

namespace morvik {

// The parameter socket over a real UDP endpoint: requests go to the device port of a unit or,
// with broadcast permission switched on just before, to the broadcast address on every
// network the host is on.
class UdpTransport final : public Transport {
public:
    UdpTransport(UdpEndpoint& endpoint, EndpointSettings settings)
        : endpoint_(endpoint), settings_(std::move(settings)) {}

    void sendTo(std::span<const std::uint8_t> datagram, const std::string& address) override {
        endpoint_.sendTo(datagram, settings_.devicePort, address);
    }
    void broadcast(std::span<const std::uint8_t> datagram) override {
        sendBroadcast(endpoint_, datagram, settings_);
    }
    bool isOnLocalSubnet(const std::string& address) override;

    const EndpointSettings& settings() const { return settings_; }

private:
    UdpEndpoint& endpoint_;
    EndpointSettings settings_;
    // The host's networks as last looked up. A fleet's requests go out far faster than
    // interfaces come and go, so the lookup (every interface, the host name resolved) is
    // repeated only when it is older than kBasisLifetime.
    static constexpr std::chrono::milliseconds kBasisLifetime{1000};
    std::optional<LocalSubnetBasis> basis_;
    std::chrono::steady_clock::time_point basisTakenAt_;
};

// Pauses by sleeping: for callers without an event loop to keep alive.
class SleepingPacer final : public Pacer {
public:
    void pause(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace morvik
