#include "cli/WritePlan.h"

#include <gtest/gtest.h>

namespace morvik::cli {
namespace {

std::string shown(const std::vector<Difference>& differences) {
    std::string text;
    for (const Difference& d : differences) {
        text += std::to_string(d.index) + " " + d.address + " " + d.parameter + " [" + d.unitValue +
                "] -> [" + d.newValue + "]; ";
    }
    return text;
}

ParameterRow writable(std::string address, std::string name, std::string type) {
    ParameterRow row;
    row.address = std::move(address);
    row.parameterName = std::move(name);
    row.typeName = std::move(type);
    row.accessKind = AccessKind::ReadWrite;
    row.size = row.typeName == "*char" ? 16 : 4;
    return row;
}

TEST(WritePlan, DifferencesAreTheWantedValuesThatChangeWhatTheUnitHolds) {
    DescriptionSlot description;
    description.editRows() = {writable("1.1.1", "MTU", "int"), writable("1.1.2", "IP", "IP"),
                              writable("1.1.3", "Name", "*char")};
    ReadOutcome read;
    read.complete = read.sent = true;
    // The name was not read.
    read.headings =
        std::make_shared<const std::vector<ParameterHeading>>(std::vector<ParameterHeading>{
            {0, "1.1.1", "Net", "MTU", "R/W"}, {1, "1.1.2", "Net", "IP", "R/W"}});
    read.values = {"1500", "192.168.010.021"};
    const struct {
        const char* what;
        std::vector<PlannedValue> wanted;
        std::string differences;
    } cases[] = {
        {"the same text", {{0, "1500"}}, ""},
        {"the same value in other words", {{1, "192.168.10.21"}}, ""},
        {"a changed value", {{0, "1400"}}, "0 1.1.1 MTU [1500] -> [1400]; "},
        {"only the changed ones of several",
         {{0, "1500"}, {1, "10.0.0.9"}},
         "1 1.1.2 IP [192.168.010.021] -> [10.0.0.9]; "},
        {"a parameter that was not read", {{2, "dock"}}, "2 1.1.3 Name [] -> [dock]; "},
        {"no row of the description", {{7, "x"}}, "7   [] -> [x]; "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(differencesOf(description, read, c.wanted)), c.differences) << c.what;
    }

    // Per unit: one that answered is Ok with its differences, one that did not keeps its result.
    const DeviceRecord answered{"", "", "02:00:00:00:00:01", "", "", ""};
    const DeviceRecord silent{"", "", "02:00:00:00:00:02", "", "", ""};
    const WritePlan plan{
        {{answered, UnitResult::NoAnswer, {}}, {silent, UnitResult::ChecksumError, {}}},
        {answered},
        {read},
        {{{0, "1400"}}}};
    const std::vector<UnitDifferences> units = planDifferences(plan, description);
    ASSERT_EQ(units.size(), 2U);
    EXPECT_EQ(units[0].result, UnitResult::Ok);
    EXPECT_EQ(shown(units[0].differences), "0 1.1.1 MTU [1500] -> [1400]; ");
    EXPECT_EQ(units[1].result, UnitResult::ChecksumError);
    EXPECT_TRUE(units[1].differences.empty());
}

} // namespace
} // namespace morvik::cli
