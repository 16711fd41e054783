#include "protocol/UdpEndpoint.h"

#include "protocol/LocalInterfaces.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>

namespace morvik {
namespace {

// The device list shows the source of each probe reply as it arrives: every octet, from one to
// three digits, must come out as inet_ntop writes it.
TEST(UdpEndpoint, ReceivedDatagramsNameTheirSourceInDottedText) {
    auto receiver = UdpEndpoint::bind("127.0.0.1", 0);
    ASSERT_TRUE(receiver);
    for (const std::string source : {"127.0.0.1", "127.10.200.255", "127.255.9.99", "127.1.0.0"}) {
        auto sender = UdpEndpoint::bind(source, 0);
        ASSERT_TRUE(sender) << source;
        const std::array<std::uint8_t, 3> datagram{1, 2, 3};
        ASSERT_TRUE(sender->sendTo(datagram, receiver->localPort(), "127.0.0.1")) << source;
        ASSERT_TRUE(receiver->waitReadable(2000)) << source;
        std::array<std::uint8_t, 8> buffer{};
        const auto received = receiver->receiveFrom(buffer);
        ASSERT_TRUE(received) << source;
        EXPECT_EQ(received->sourceAddress, source);
        EXPECT_EQ(received->sourcePort, sender->localPort());
        EXPECT_EQ(received->length, datagram.size());
    }
}

// A datagram sent through one interface leaves from the address it names: units answer to that
// address, so a wrong one would lose every reply of that network.
TEST(UdpEndpoint, ADatagramSentThroughAnInterfaceComesFromTheAddressItNames) {
    const auto interfaces = readLocalInterfaces();
    const auto loopback = std::find_if(interfaces.begin(), interfaces.end(),
                                       [](const LocalInterface& entry) { return entry.loopback; });
    ASSERT_NE(loopback, interfaces.end());
    auto receiver = UdpEndpoint::bind("127.0.0.1", 0);
    auto sender = UdpEndpoint::bind("0.0.0.0", 0);
    ASSERT_TRUE(receiver && sender);
    for (const std::string source : {"127.0.0.1", "127.9.8.7"}) {
        const std::array<std::uint8_t, 2> datagram{7, 8};
        ASSERT_TRUE(sender->sendThrough(datagram, receiver->localPort(), *resolveIpv4("127.0.0.1"),
                                        loopback->index, *resolveIpv4(source)))
            << source;
        ASSERT_TRUE(receiver->waitReadable(2000)) << source;
        std::array<std::uint8_t, 8> buffer{};
        const auto received = receiver->receiveFrom(buffer);
        ASSERT_TRUE(received) << source;
        EXPECT_EQ(received->sourceAddress, source);
        EXPECT_EQ(received->sourcePort, sender->localPort());
        EXPECT_EQ(received->length, datagram.size());
    }
}

} // namespace
} // namespace morvik
