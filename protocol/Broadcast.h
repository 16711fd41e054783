#pragma once

#include "protocol/EndpointSettings.h"
#include "protocol/LocalInterfaces.h"
#include "protocol/UdpEndpoint.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvik {

// One datagram of a broadcast.
struct BroadcastRoute {
    std::string destination; // dotted
    // The interface it leaves by, from that interface's address; nothing: wherever the
    // routing table sends it.
    std::optional<LocalInterface> network;
};

// Where a broadcast goes. The limited broadcast 255.255.255.255 would leave by the interface
// of the default route only, so it goes out once on every broadcast network instead, and a
// unit on any network the host is on hears it (also a unit whose own address lies outside
// that network). Any other broadcast address (the tests' 127.255.255.255), or a host without
// such a network, gets the one datagram.
std::vector<BroadcastRoute> broadcastRoutes(const EndpointSettings& settings,
                                            const std::vector<LocalInterface>& interfaces);

struct BroadcastResult {
    std::vector<BroadcastRoute> routes;
    int sent = 0; // datagrams the system took
};

// Switches broadcast on for `endpoint` and sends `datagram` along every route of this host's
// interfaces now. Replies come back to `endpoint` from whichever network.
BroadcastResult sendBroadcast(UdpEndpoint& endpoint, std::span<const std::uint8_t> datagram,
                              const EndpointSettings& settings);

} // namespace morvik
