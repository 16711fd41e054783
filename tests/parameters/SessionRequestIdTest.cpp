#include "SessionHarness.h"

#include <set>

namespace morvik::testing {
namespace {

// Replies are told apart by their tags alone. With several hundred units in one operation a
// plain random draw from 64000 tags repeats one almost surely, and the second unit's answer is
// then taken for the first one's: no two units of an operation may hold the same tag.
TEST(SessionRequestIds, NoTwoUnitsOfAnOperationShareATag) {
    SessionHarness harness(fleetJson(demoUnits()));
    constexpr int kUnits = ParameterSession::kMaxTargetUnits;
    for (int i = 0; i < kUnits; ++i) {
        const int high = i / 256;
        const int low = i % 256;
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:4D:56:20:%02X:%02X", high, low);
        // Nothing listens there: only the requests matter.
        harness.selection.units.push_back(
            {"unit", "127.78." + std::to_string(high) + "." + std::to_string(low), mac, "07", "1.2",
             "1"});
        harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"});
    }
    harness.session().readParametersRequested(0);
    ASSERT_EQ(harness.session().targetCount(), kUnits);

    std::set<std::array<std::uint8_t, 2>> tags;
    for (int i = 0; i < kUnits; ++i) {
        ASSERT_TRUE(harness.session().targetUnit(i).requestSent) << i;
        tags.insert(harness.session().targetUnit(i).requestId);
        const std::uint16_t tag = static_cast<std::uint16_t>(
            harness.session().targetUnit(i).requestId[0] |
            (harness.session().targetUnit(i).requestId[1] << 8)); // product 07: low byte first
        EXPECT_GE(tag, 10);
        EXPECT_LE(tag, 64009);
    }
    EXPECT_EQ(tags.size(), static_cast<std::size_t>(kUnits));
}

} // namespace
} // namespace morvik::testing
