#include "protocol/ProbeSession.h"

#include "protocol/ProbeCodec.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using namespace std::chrono_literals;
using Taken = ProbeSession::Taken;

std::vector<std::uint8_t> replyOf(std::uint8_t last, std::string name) {
    ProbeReplyFields fields;
    fields.mac = {0x02, 0x4D, 0x56, 0x00, 0x00, last};
    fields.productId = 7;
    fields.major = 1;
    fields.minor = 2;
    fields.name = std::move(name);
    return buildProbeReply(fields);
}

// Requests are spread over the window from its start, one listing per MAC with its first
// reply, and a MAC heard from a second address is kept once per address.
TEST(ProbeSession, SpreadsItsRequestsAndListsEachMacOnce) {
    const auto start = ProbeSession::Clock::time_point{} + 1h;
    ProbeSession session(1000ms, 4);
    session.start(start);
    std::vector<long> sentAt;
    for (auto now = start; !session.windowOver(now); now = session.nextWakeUp()) {
        if (session.probeDue(now)) {
            sentAt.push_back((now - start) / 1ms);
            session.probeSent(now);
        }
    }
    EXPECT_EQ(sentAt, (std::vector<long>{0, 250, 500, 750}));

    const struct {
        std::uint8_t mac;
        const char* name;
        const char* source;
        Taken taken;
    } replies[] = {{1, "dock", "127.0.0.1", Taken::Listed},
                   {2, "lab", "127.0.0.2", Taken::Listed},
                   {1, "dock again", "127.0.0.1", Taken::Repeat},
                   {1, "twin", "127.0.0.9", Taken::Elsewhere},
                   {1, "twin again", "127.0.0.9", Taken::Elsewhere}};
    for (const auto& reply : replies) {
        EXPECT_EQ(session.take(replyOf(reply.mac, reply.name), reply.source), reply.taken)
            << reply.name;
    }
    EXPECT_EQ(session.take(std::vector<std::uint8_t>{1, 2, 3}, "127.0.0.3"), Taken::NotAReply);
    ASSERT_EQ(session.units().size(), 2u);
    EXPECT_EQ(session.units()[0].record.name, "dock");
    ASSERT_EQ(session.sameMacElsewhere().size(), 1u);
    EXPECT_EQ(session.sameMacElsewhere()[0].otherIp, "127.0.0.9");
    EXPECT_EQ(session.sameMacElsewhere()[0].listedIp, "127.0.0.1");
}

} // namespace
} // namespace morvik
