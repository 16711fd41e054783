#include "protocol/Broadcast.h"

#include <netinet/in.h>

namespace morvik {

std::vector<BroadcastRoute> broadcastRoutes(const EndpointSettings& settings,
                                            const std::vector<LocalInterface>& interfaces) {
    const auto destination = resolveIpv4(settings.broadcastAddress);
    std::vector<BroadcastRoute> routes;
    if (destination && *destination == htonl(INADDR_BROADCAST)) {
        for (const LocalInterface& network : broadcastNetworks(interfaces)) {
            routes.push_back({settings.broadcastAddress, network});
        }
    }
    if (routes.empty()) {
        routes.push_back({settings.broadcastAddress, std::nullopt});
    }
    return routes;
}

BroadcastResult sendBroadcast(UdpEndpoint& endpoint, std::span<const std::uint8_t> datagram,
                              const EndpointSettings& settings) {
    BroadcastResult result;
    result.routes = broadcastRoutes(settings, readLocalInterfaces());
    endpoint.enableBroadcast();
    for (const BroadcastRoute& route : result.routes) {
        const auto sent =
            route.network
                ? endpoint.sendThrough(datagram, settings.devicePort, htonl(INADDR_BROADCAST),
                                       route.network->index, route.network->address)
                : endpoint.sendTo(datagram, settings.devicePort, route.destination);
        if (sent) {
            ++result.sent;
        }
    }
    return result;
}

} // namespace morvik
