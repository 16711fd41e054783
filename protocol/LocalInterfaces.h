#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// One IPv4 address of one of this host's network interfaces, as the network stack reports it.
// Addresses are in network byte order.
struct LocalInterface {
    std::string name;            // "eth0"
    unsigned index = 0;          // the kernel's interface index
    std::uint32_t address = 0;   // network order
    std::uint32_t netmask = 0;   // network order
    std::uint32_t broadcast = 0; // network order; 0 when the interface has none
    bool up = false;
    bool loopback = false;
    bool broadcastCapable = false;

    // An interface on which a unit can be found: up, able to broadcast, not loopback.
    bool isBroadcastNetwork() const { return up && broadcastCapable && !loopback; }
    // An interface whose subnet can hold units: up and not loopback.
    bool isUnitNetwork() const { return up && !loopback; }
};

// Every IPv4 address of every interface, in the order the network stack lists them; empty
// when they cannot be asked for.
std::vector<LocalInterface> readLocalInterfaces();

// The interfaces a broadcast goes out on: every broadcast network, each interface once (with
// its first address), in the order given.
std::vector<LocalInterface> broadcastNetworks(const std::vector<LocalInterface>& interfaces);

// What decides whether a unit is on this host's own network.
struct LocalSubnetBasis {
    enum class Source {
        Override,       // a host address given by the user
        HostName,       // the host's own name, resolved to the address of a network interface
        AnyUnitNetwork, // the name resolved to loopback or to no interface (or not at all)
    };
    Source source = Source::AnyUnitNetwork;
    std::string hostName;                     // as gethostname gave it; empty with Override
    std::optional<std::uint32_t> hostAddress; // the override or the name's first address
    // A unit is local when it lies in the subnet of one of these.
    std::vector<LocalInterface> subnets;
};

// The pure decision: `overrideAddress` (dotted; empty = none), else the host's name and the
// first address it resolved to, against the interfaces of this host. A given host address
// counts only on an interface that carries it (any interface, loopback included: tests run on
// loopback). The name counts only when it resolves to an up, non-loopback interface; otherwise
// (127.0.1.1 on a stock Debian host, ::1, nothing) every up, non-loopback subnet is local.
LocalSubnetBasis localSubnetBasis(std::optional<std::uint32_t> overrideAddress,
                                  std::string hostName,
                                  std::optional<std::uint32_t> resolvedHostName,
                                  const std::vector<LocalInterface>& interfaces);

// The same for this host now: its interfaces, its name and what the name resolves to.
// An override that is not dotted text is resolved as a host name; an unresolvable one matches
// no interface.
LocalSubnetBasis currentLocalSubnetBasis(std::string_view hostAddressOverride);

// "%d.%d.%d.%d", each number's low 8 bits kept, missing numbers 0; network order.
std::uint32_t unitAddressFromText(std::string_view text);

bool isInAnySubnet(std::uint32_t address, const LocalSubnetBasis& basis);

// Dotted text first, anything else resolved as a host name (its first IPv4 address); network
// order. Nothing when it cannot be resolved.
std::optional<std::uint32_t> resolveIpv4(std::string_view text);

// "10.77.0.1"
std::string dottedAddress(std::uint32_t networkOrder);
// "10.77.0.1/24" (the prefix counts the mask's leading ones)
std::string addressWithPrefix(const LocalInterface& entry);

} // namespace morvik
