#include "SessionHarness.h"

#include <map>
#include <set>

namespace morvik::testing {
namespace {

// Counts the values each unit's replies brought, and the requests.
class DecodedValues final : public SessionEvents {
public:
    void requestSent(int /*unit*/, Command /*command*/,
                     std::span<const std::uint8_t> /*datagram*/) override {
        ++requests;
    }
    void valueDecoded(int unit, int parameter, const std::string& /*text*/) override {
        perUnit[unit].insert(parameter);
    }
    std::map<int, std::set<int>> perUnit;
    int requests = 0;
};

// Two Orion16 units read together in the Diagnostics group, which takes two passes. The first
// answer to the first pass sends the second pass to both units, so the second unit's answer to
// the first pass arrives after its tag has changed: its values must count all the same, or
// the list shows the first unit's values as if both units agreed.
TEST(SessionGroupPasses, EveryUnitsAnswerToEveryPassIsShown) {
    const std::string bothUnits =
        unitJson("rack", "02:4D:56:00:00:06", "127.77.0.6", 61, "3.10", "admin", "orion",
                 R"("values": {"3.1.1": "100", "3.2.1": "7", "3.96.1": "1"})") +
        "," +
        unitJson("rack2", "02:4D:56:00:00:03", "127.77.0.3", 61, "3.10", "admin", "quorvane",
                 R"("values": {"3.1.1": "200", "3.2.1": "7", "3.96.1": "2"})");
    SessionHarness harness(fleetJson(bothUnits));
    harness.select({"rack", "rack2"});
    harness.session().readParametersRequested(0);
    harness.pump();
    const auto& groups = harness.classFilter.entries();
    const auto diagnostics = std::find(groups.begin(), groups.end(), "Diagnostics");
    ASSERT_NE(diagnostics, groups.end());

    DecodedValues decoded;
    harness.session().setEvents(&decoded);
    harness.session().showGroup(static_cast<int>(diagnostics - groups.begin()));
    harness.pump();

    EXPECT_EQ(harness.session().resumeIndex(), 0);
    EXPECT_EQ(decoded.perUnit[0].size(), 96U);
    EXPECT_EQ(decoded.perUnit[1].size(), 96U);
    // First pass and second pass alike: agreeing values shown, differing ones blank.
    EXPECT_EQ(harness.cell("3.2.1"), "7  bytes");
    EXPECT_EQ(harness.cell("3.1.1"), "");
    EXPECT_EQ(harness.cell("3.96.1"), "");
    // Two passes to each unit, none sent twice.
    EXPECT_EQ(decoded.requests, 4);
}

// Credentials of other lengths leave room for other numbers of entries in a request. When the
// unit with the longer login comes first, the next pass must start where it stopped, not
// where the last unit did, or the parameter in between is never asked of it.
TEST(SessionGroupPasses, NoUnitMissesAParameterWhenLoginsDifferInLength) {
    const std::string units =
        unitJson("long", "02:4D:56:00:00:03", "127.77.0.3", 61, "3.10", "admin", "quorvane") + "," +
        unitJson("short", "02:4D:56:00:00:06", "127.77.0.6", 61, "3.10", "admin", "orion");
    SessionHarness harness(fleetJson(units));
    harness.select({"long", "short"});
    harness.session().readParametersRequested(0);
    harness.pump();
    const auto& groups = harness.classFilter.entries();
    const auto diagnostics = std::find(groups.begin(), groups.end(), "Diagnostics");
    ASSERT_NE(diagnostics, groups.end());

    DecodedValues decoded;
    harness.session().setEvents(&decoded);
    harness.session().showGroup(static_cast<int>(diagnostics - groups.begin()));
    harness.pump();

    EXPECT_EQ(harness.session().resumeIndex(), 0);
    EXPECT_EQ(decoded.perUnit[0].size(), 96U);
    EXPECT_EQ(decoded.perUnit[1].size(), 96U);
}

// The selection may change while a group is read in passes (the device list stays usable).
// The passes still go to the units the read began with: a unit dropped from the selection
// would otherwise miss the rest of the group while its first answer is already shown.
TEST(SessionGroupPasses, PassesGoOnWithTheUnitsTheReadBeganWith) {
    const std::string bothUnits =
        unitJson("rack", "02:4D:56:00:00:06", "127.77.0.6", 61, "3.10", "admin", "orion") + "," +
        unitJson("rack2", "02:4D:56:00:00:03", "127.77.0.3", 61, "3.10", "admin", "quorvane");
    SessionHarness harness(fleetJson(bothUnits));
    harness.select({"rack", "rack2"});
    harness.session().readParametersRequested(0);
    harness.pump();
    const auto& groups = harness.classFilter.entries();
    const auto diagnostics = std::find(groups.begin(), groups.end(), "Diagnostics");
    ASSERT_NE(diagnostics, groups.end());

    DecodedValues decoded;
    harness.session().setEvents(&decoded);
    harness.session().showGroup(static_cast<int>(diagnostics - groups.begin()));
    harness.select({"rack"});
    harness.pump();

    EXPECT_EQ(harness.session().resumeIndex(), 0);
    EXPECT_EQ(harness.session().targetCount(), 2);
    EXPECT_EQ(decoded.perUnit[0].size(), 96U);
    EXPECT_EQ(decoded.perUnit[1].size(), 96U);
    EXPECT_EQ(decoded.requests, 4);
}

} // namespace
} // namespace morvik::testing
