#include "protocol/EndpointSettings.h"

#include "text/Ipv4Text.h"

#include <cstdlib>

namespace morvik {

std::optional<std::uint16_t> parsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

EndpointSettings EndpointSettings::fromEnvironment() {
    EndpointSettings settings;
    if (const char* port = std::getenv("MORVIK_DEVICE_PORT")) {
        if (const auto parsed = parsePortNumber(port)) {
            settings.devicePort = *parsed;
        }
    }
    if (const char* broadcast = std::getenv("MORVIK_BROADCAST_ADDRESS")) {
        if (parseIpv4(broadcast)) {
            settings.broadcastAddress = broadcast;
        }
    }
    if (const char* host = std::getenv("MORVIK_HOST_ADDRESS")) {
        if (parseIpv4(host)) {
            settings.hostAddress = host;
        }
    }
    return settings;
}

} // namespace morvik
