#include "cli/InterfacesReport.h"

#include <bit>

namespace morvik::cli {

namespace {

std::string subnetText(const LocalInterface& entry) {
    return dottedAddress(entry.address & entry.netmask) + "/" +
           std::to_string(std::popcount(entry.netmask)) + " (" + entry.name + ")";
}

std::string joinedSubnets(const std::vector<LocalInterface>& subnets) {
    std::string text;
    for (const LocalInterface& entry : subnets) {
        text += (text.empty() ? "" : ", ") + subnetText(entry);
    }
    return text;
}

std::string hostAddressText(const LocalSubnetBasis& basis) {
    return basis.hostAddress ? dottedAddress(*basis.hostAddress) : std::string();
}

std::string sourceText(LocalSubnetBasis::Source source) {
    switch (source) {
    case LocalSubnetBasis::Source::Override:
        return "given";
    case LocalSubnetBasis::Source::HostName:
        return "host name";
    case LocalSubnetBasis::Source::AnyUnitNetwork:
        return "any network";
    }
    return {};
}

std::string localSubnetLine(const LocalSubnetBasis& basis) {
    std::string line = "Local-subnet test: ";
    if (basis.source == LocalSubnetBasis::Source::Override) {
        line += basis.hostAddress ? "host address " + hostAddressText(basis) + " (given)"
                                  : std::string("the given host address resolves to nothing");
    } else {
        line += "host name \"" + basis.hostName + "\" ";
        line += basis.hostAddress ? "resolves to " + hostAddressText(basis)
                                  : std::string("resolves to no IPv4 address");
        if (basis.source == LocalSubnetBasis::Source::AnyUnitNetwork) {
            line += ", not the address of an up network interface other than loopback";
        }
    }
    if (basis.subnets.empty()) {
        return line + ": no unit is local, units are reached by broadcast only\n";
    }
    if (basis.source == LocalSubnetBasis::Source::AnyUnitNetwork) {
        return line + ": a unit is local on any of " + joinedSubnets(basis.subnets) + "\n";
    }
    return line + ": a unit is local on " + joinedSubnets(basis.subnets) + "\n";
}

} // namespace

std::string interfacesText(const std::vector<BroadcastRoute>& routes, const LocalSubnetBasis& basis,
                           std::uint16_t port) {
    const std::string portText = " port " + std::to_string(port);
    std::string text;
    if (!routes.empty() && routes.front().network) {
        text += "Probes and broadcast requests go to " + routes.front().destination + portText +
                " on each of:\n";
        for (const BroadcastRoute& route : routes) {
            text += "  " + route.network->name + "  " + addressWithPrefix(*route.network) +
                    "  broadcast " + dottedAddress(route.network->broadcast) + "\n";
        }
    } else {
        for (const BroadcastRoute& route : routes) {
            text += "Probes and broadcast requests go to " + route.destination + portText +
                    ", by whichever interface the routing table chooses\n";
        }
    }
    return text + localSubnetLine(basis);
}

Json interfacesJson(const std::vector<BroadcastRoute>& routes, const LocalSubnetBasis& basis,
                    std::uint16_t port) {
    Json networks = Json::array();
    for (const BroadcastRoute& route : routes) {
        Json network = {{"destination", route.destination}, {"port", port}};
        if (route.network) {
            network["interface"] = route.network->name;
            network["address"] = addressWithPrefix(*route.network);
            network["broadcast"] = dottedAddress(route.network->broadcast);
        }
        networks.push_back(std::move(network));
    }
    Json subnets = Json::array();
    for (const LocalInterface& entry : basis.subnets) {
        subnets.push_back({{"interface", entry.name}, {"address", addressWithPrefix(entry)}});
    }
    return {{"probe", std::move(networks)},
            {"hostAddress", hostAddressText(basis)},
            {"hostAddressFrom", sourceText(basis.source)},
            {"hostName", basis.hostName},
            {"localSubnets", std::move(subnets)}};
}

} // namespace morvik::cli
