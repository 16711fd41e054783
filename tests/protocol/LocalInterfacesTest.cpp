#include "protocol/LocalInterfaces.h"

#include "protocol/Broadcast.h"
#include "protocol/NoAnswerHint.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace morvik {
namespace {

std::uint32_t ip(const std::string& dotted) {
    return *resolveIpv4(dotted);
}

LocalInterface interfaceOf(const std::string& name, unsigned index, const std::string& address,
                           const std::string& netmask, bool up, bool loopback,
                           bool broadcastCapable) {
    LocalInterface entry;
    entry.name = name;
    entry.index = index;
    entry.address = ip(address);
    entry.netmask = ip(netmask);
    entry.up = up;
    entry.loopback = loopback;
    entry.broadcastCapable = broadcastCapable;
    return entry;
}

// A laptop on two networks, with a second address on its cable, a VPN tunnel and a link that
// is down.
const std::vector<LocalInterface>& hostInterfaces() {
    static const std::vector<LocalInterface> interfaces{
        interfaceOf("lo", 1, "127.0.0.1", "255.0.0.0", true, true, false),
        interfaceOf("eth0", 2, "10.77.0.1", "255.255.255.0", true, false, true),
        interfaceOf("eth0", 2, "10.99.0.1", "255.255.0.0", true, false, true),
        interfaceOf("wlan0", 3, "10.88.0.1", "255.255.255.0", true, false, true),
        interfaceOf("eth1", 4, "10.66.0.1", "255.255.255.0", false, false, true),
        interfaceOf("tun0", 5, "10.55.0.1", "255.255.255.0", true, false, false),
    };
    return interfaces;
}

struct SubnetCase {
    const char* layout;
    std::optional<std::string> overrideAddress;
    std::optional<std::string> nameResolvesTo;
    std::vector<std::string> local;
    std::vector<std::string> notLocal;
};

class LocalSubnetTest : public ::testing::TestWithParam<SubnetCase> {};

TEST_P(LocalSubnetTest, AUnitIsLocalExactlyOnTheHostsOwnNetworks) {
    const SubnetCase& c = GetParam();
    const auto address = [](const std::optional<std::string>& text) {
        return text ? std::optional<std::uint32_t>(ip(*text)) : std::nullopt;
    };
    const LocalSubnetBasis basis = localSubnetBasis(address(c.overrideAddress), "morvik-host",
                                                    address(c.nameResolvesTo), hostInterfaces());
    for (const std::string& unit : c.local) {
        EXPECT_TRUE(isInAnySubnet(unitAddressFromText(unit), basis)) << unit;
    }
    for (const std::string& unit : c.notLocal) {
        EXPECT_FALSE(isInAnySubnet(unitAddressFromText(unit), basis)) << unit;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LocalSubnetTest,
    ::testing::Values(
        // Debian and Ubuntu map the host name to 127.0.1.1: every up network but loopback.
        SubnetCase{"stockDebian",
                   std::nullopt,
                   "127.0.1.1",
                   {"10.77.0.2", "10.99.3.4", "10.88.0.2", "10.55.0.9"},
                   {"10.66.0.2", "127.0.0.5", "127.0.1.1", "192.168.1.5"}},
        SubnetCase{"nameResolvesToNoIpv4Address",
                   std::nullopt,
                   std::nullopt,
                   {"10.77.0.2", "10.88.0.2"},
                   {"10.66.0.2", "192.168.1.5"}},
        SubnetCase{"nameOnLoopback", std::nullopt, "127.0.0.1", {"10.88.0.2"}, {"127.0.0.5"}},
        SubnetCase{
            "nameOnALinkThatIsDown", std::nullopt, "10.66.0.1", {"10.77.0.2"}, {"10.66.0.2"}},
        // The name on an interface: that interface's subnet only, as on a host set up by hand.
        SubnetCase{"nameOnTheCable",
                   std::nullopt,
                   "10.77.0.1",
                   {"10.77.0.2", "10.77.0.254"},
                   {"10.88.0.2", "10.99.3.4", "10.78.0.2"}},
        SubnetCase{"nameOnTheCableOutOfRangeNumbersKeepTheirLowBits",
                   std::nullopt,
                   "10.77.0.1",
                   {"10.77.0.258", "266.77.0.2"},
                   {"10.77.1.2"}},
        // A given host address is taken as it is, on loopback too (the tests' 127.0.0.1).
        SubnetCase{"overrideOnLoopback", "127.0.0.1", "10.77.0.1", {"127.77.0.1"}, {"10.77.0.2"}},
        SubnetCase{
            "overrideOnTheSecondNetwork", "10.88.0.1", "10.77.0.1", {"10.88.0.2"}, {"10.77.0.2"}},
        SubnetCase{"overrideOnNoInterface",
                   "192.168.9.9",
                   "10.77.0.1",
                   {},
                   {"192.168.9.1", "10.77.0.2", "10.88.0.2"}}),
    [](const ::testing::TestParamInfo<SubnetCase>& info) { return info.param.layout; });

struct RouteCase {
    const char* name;
    std::string broadcastAddress;
    std::vector<LocalInterface> interfaces;
    std::vector<std::string> viaInterfaces; // empty: one datagram, routed by the system
};

class BroadcastRoutesTest : public ::testing::TestWithParam<RouteCase> {};

// Plans routes over made-up interfaces; no socket is opened and nothing is sent.
TEST_P(BroadcastRoutesTest, TheLimitedBroadcastGoesOutOnceOnEveryBroadcastNetwork) {
    const RouteCase& c = GetParam();
    EndpointSettings settings;
    settings.broadcastAddress = c.broadcastAddress;
    const auto routes = broadcastRoutes(settings, c.interfaces);
    std::vector<std::string> via;
    for (const BroadcastRoute& route : routes) {
        EXPECT_EQ(route.destination, c.broadcastAddress);
        if (route.network) {
            via.push_back(route.network->name + " " + addressWithPrefix(*route.network));
        }
    }
    EXPECT_EQ(via, c.viaInterfaces);
    if (c.viaInterfaces.empty()) {
        EXPECT_EQ(routes.size(), 1U);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, BroadcastRoutesTest,
    ::testing::Values(
        // Each interface once, from its first address; not loopback, a link that is down or a
        // tunnel that cannot broadcast.
        RouteCase{"everyNetwork",
                  "255.255.255.255",
                  hostInterfaces(),
                  {"eth0 10.77.0.1/24", "wlan0 10.88.0.1/24"}},
        RouteCase{"onlyLoopback", "255.255.255.255", {hostInterfaces()[0]}, {}},
        RouteCase{"noInterfacesAtAll", "255.255.255.255", {}, {}},
        // A chosen broadcast address goes to that one address only.
        RouteCase{"chosenAddress", "127.255.255.255", hostInterfaces(), {}},
        RouteCase{"chosenDirectedBroadcast", "10.77.0.255", hostInterfaces(), {}}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return info.param.name; });

// Every rule of the hint must let in the port the units really use, and name where the probe
// went: a rule for the wrong port would leave the user where they were.
TEST(NoAnswerHint, NamesTheNetworksProbedAndLetsInTheUnitsPortInEveryRule) {
    EndpointSettings settings;
    settings.devicePort = 2417;
    const std::string hint =
        noAnswerHint("the probe", broadcastRoutes(settings, hostInterfaces()), 2417).text();
    EXPECT_EQ(hint.rfind("No unit answered the probe. Probed: eth0 10.77.0.1/24, wlan0 "
                         "10.88.0.1/24 (to 255.255.255.255 port 2417 on each).\n",
                         0),
              0U)
        << hint;
    for (const std::string rule : {"ufw allow proto udp from any port 2417\n",
                                   "firewall-cmd --permanent --add-source-port=2417/udp",
                                   "nft insert rule inet filter input udp sport 2417 accept\n"}) {
        EXPECT_NE(hint.find(rule), std::string::npos) << rule << "\n" << hint;
    }
    EXPECT_EQ(hint.find("2002"), std::string::npos) << hint;

    settings.broadcastAddress = "127.255.255.255";
    EXPECT_EQ(probedNetworksText(broadcastRoutes(settings, hostInterfaces()), 2417),
              "127.255.255.255 port 2417");
}

} // namespace
} // namespace morvik
