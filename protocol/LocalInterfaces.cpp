#include "protocol/LocalInterfaces.h"

#include "text/Ipv4Text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <bit>
#include <cstdio>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace morvik {

namespace {

std::uint32_t addressOf(const sockaddr* socketAddress) {
    if (socketAddress == nullptr || socketAddress->sa_family != AF_INET) {
        return 0;
    }
    return reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr.s_addr;
}

bool sameSubnet(std::uint32_t address, const LocalInterface& entry) {
    return (address & entry.netmask) == (entry.address & entry.netmask);
}

std::string thisHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

} // namespace

std::vector<LocalInterface> readLocalInterfaces() {
    std::vector<LocalInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        LocalInterface local;
        local.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        local.index = if_nametoindex(local.name.c_str());
        local.address = addressOf(entry->ifa_addr);
        local.netmask = addressOf(entry->ifa_netmask);
        local.up = (entry->ifa_flags & IFF_UP) != 0;
        local.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        local.broadcastCapable = (entry->ifa_flags & IFF_BROADCAST) != 0;
        if (local.broadcastCapable) {
            local.broadcast = addressOf(entry->ifa_broadaddr);
            // An address added without "brd" reports itself as its broadcast address: name
            // the one of its subnet instead.
            if (local.broadcast == 0 || local.broadcast == local.address) {
                local.broadcast = local.address | ~local.netmask;
            }
        }
        found.push_back(std::move(local));
    }
    freeifaddrs(list);
    return found;
}

std::vector<LocalInterface> broadcastNetworks(const std::vector<LocalInterface>& interfaces) {
    std::vector<LocalInterface> networks;
    for (const LocalInterface& entry : interfaces) {
        if (!entry.isBroadcastNetwork() || entry.index == 0) {
            continue;
        }
        // An interface with several addresses still carries one limited broadcast.
        const bool listed =
            std::any_of(networks.begin(), networks.end(),
                        [&](const LocalInterface& n) { return n.index == entry.index; });
        if (!listed) {
            networks.push_back(entry);
        }
    }
    return networks;
}

LocalSubnetBasis localSubnetBasis(std::optional<std::uint32_t> overrideAddress,
                                  std::string hostName,
                                  std::optional<std::uint32_t> resolvedHostName,
                                  const std::vector<LocalInterface>& interfaces) {
    LocalSubnetBasis basis;
    const auto carrying = [&](std::uint32_t address, bool unitNetworksOnly) {
        return std::find_if(interfaces.begin(), interfaces.end(), [&](const LocalInterface& e) {
            return e.address == address && (!unitNetworksOnly || e.isUnitNetwork());
        });
    };
    if (overrideAddress) {
        basis.source = LocalSubnetBasis::Source::Override;
        basis.hostAddress = overrideAddress;
        if (const auto found = carrying(*overrideAddress, false); found != interfaces.end()) {
            basis.subnets.push_back(*found);
        }
        return basis;
    }
    basis.hostName = std::move(hostName);
    basis.hostAddress = resolvedHostName;
    if (resolvedHostName) {
        if (const auto found = carrying(*resolvedHostName, true); found != interfaces.end()) {
            basis.source = LocalSubnetBasis::Source::HostName;
            basis.subnets.push_back(*found);
            return basis;
        }
    }
    basis.source = LocalSubnetBasis::Source::AnyUnitNetwork;
    for (const LocalInterface& entry : interfaces) {
        if (entry.isUnitNetwork()) {
            basis.subnets.push_back(entry);
        }
    }
    return basis;
}

LocalSubnetBasis currentLocalSubnetBasis(std::string_view hostAddressOverride) {
    const std::vector<LocalInterface> interfaces = readLocalInterfaces();
    if (!hostAddressOverride.empty()) {
        // An override that resolves to nothing carries no subnet: it never falls back to the
        // host's name.
        const auto overrideAddress = resolveIpv4(hostAddressOverride);
        if (!overrideAddress) {
            LocalSubnetBasis nothing;
            nothing.source = LocalSubnetBasis::Source::Override;
            return nothing;
        }
        return localSubnetBasis(overrideAddress, {}, {}, interfaces);
    }
    std::string name = thisHostName();
    const auto resolved = name.empty() ? std::nullopt : resolveIpv4(name);
    return localSubnetBasis(std::nullopt, std::move(name), resolved, interfaces);
}

std::uint32_t unitAddressFromText(std::string_view text) {
    const std::string copy(text);
    std::array<int, 4> parts{};
    std::sscanf(copy.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
    const std::uint32_t hostOrder = (static_cast<std::uint32_t>(parts[0] & 0xFF) << 24) |
                                    (static_cast<std::uint32_t>(parts[1] & 0xFF) << 16) |
                                    (static_cast<std::uint32_t>(parts[2] & 0xFF) << 8) |
                                    static_cast<std::uint32_t>(parts[3] & 0xFF);
    return htonl(hostOrder);
}

bool isInAnySubnet(std::uint32_t address, const LocalSubnetBasis& basis) {
    return std::any_of(basis.subnets.begin(), basis.subnets.end(),
                       [&](const LocalInterface& entry) { return sameSubnet(address, entry); });
}

std::optional<std::uint32_t> resolveIpv4(std::string_view text) {
    if (const auto dotted = parseIpv4(text)) {
        return dotted;
    }
    const std::string copy(text);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(copy.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t result = addressOf(found->ai_addr);
    freeaddrinfo(found);
    return result;
}

std::string dottedAddress(std::uint32_t networkOrder) {
    const std::uint32_t hostOrder = ntohl(networkOrder);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((hostOrder >> shift) & 0xFF);
        if (shift > 0) {
            text += '.';
        }
    }
    return text;
}

std::string addressWithPrefix(const LocalInterface& entry) {
    return dottedAddress(entry.address) + "/" + std::to_string(std::popcount(entry.netmask));
}

} // namespace morvik
