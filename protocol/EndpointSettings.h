#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace morvik {

// Where device traffic goes. The defaults are the real network; the environment variables
// MORVIK_DEVICE_PORT, MORVIK_BROADCAST_ADDRESS and MORVIK_HOST_ADDRESS move everything onto
// loopback for tests and the demo.
struct EndpointSettings {
    static constexpr std::uint16_t kDefaultDevicePort = 2002;

    std::uint16_t devicePort = kDefaultDevicePort;
    // The limited broadcast goes out on every network of the host; any other address, as the
    // system routes it.
    std::string broadcastAddress = "255.255.255.255";
    // The host's primary address for the subnet test; empty = this host's name, resolved.
    std::string hostAddress;

    // Defaults overridden by whichever of the three variables are set (invalid ones ignored).
    static EndpointSettings fromEnvironment();
};

// "2002" -> 2002; nothing for anything that is not a port number 1..65535.
std::optional<std::uint16_t> parsePortNumber(const std::string& text);

} // namespace morvik
