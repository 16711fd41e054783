#include "DescriptionText.h"

#include <climits>
#include <gtest/gtest.h>

namespace morvik::testing {
namespace {

// What must hold after any parse, however broken the file: the tables agree with each other,
// stay within their limits, and no row keeps an instance mark or an instance number 0.
void expectConsistent(const ParseTargets& parsed) {
    const auto& rows = parsed.rows();
    ASSERT_LE(rows.size(), static_cast<std::size_t>(kMaxParameterRows));
    EXPECT_EQ(parsed.table.lineCount(), static_cast<int>(rows.size()));
    const std::vector<int> groups = parsed.groups();
    ASSERT_GE(groups.size(), 2U);
    EXPECT_EQ(groups.back(), static_cast<int>(rows.size()));
    EXPECT_EQ(static_cast<int>(groups.size()), parsed.slot().groupCount() + 1);
    EXPECT_EQ(parsed.filter.entries().size() + 1, groups.size());
    for (std::size_t group = 1; group < groups.size(); ++group) {
        EXPECT_LE(groups[group - 1], groups[group]);
    }
    for (const ParameterRow& row : rows) {
        EXPECT_EQ(row.className.find("[inst]"), std::string::npos) << row.className;
        EXPECT_GE(row.size, 0);
        EXPECT_LE(row.address.size(), static_cast<std::size_t>(kMaxDescriptionToken));
    }
    for (int row = 0; row < kMaxParameterRows; ++row) {
        EXPECT_LE(parsed.slot().definedValues(row).count(), ValueList::kCapacity);
        EXPECT_LE(parsed.slot().enumeration(row).count(), ValueList::kCapacity);
    }
}

TEST(DescriptionLimits, RowsStopAt700) {
    struct Case {
        const char* name;
        std::vector<ClassLine> classes;
        int entries;
    };
    const std::vector<Case> cases = {
        {"one class of 800 entries", {{1, 0, 799}}, 800},
        {"100 instances of 10 entries", {{100, 0, 9}}, 10},
        {"endless instances", {{INT_MAX, 0, 0}}, 1},
        {"endless entries", {{1, 0, INT_MAX}}, 750},
        {"second class past the limit", {{1, 0, 649}, {2, 650, 749}}, 750},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParseTargets parsed;
        ASSERT_EQ(
            parsed.parse(descriptionText(c.classes, numberedEntries(c.entries, 1, "Port_[inst]"))),
            1);
        EXPECT_EQ(parsed.rows().size(), 700U);
        expectConsistent(parsed);
    }
}

TEST(DescriptionLimits, ExactlySevenHundredRowsAreKept) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{7, 0, 99}}, numberedEntries(100))), 1);
    ASSERT_EQ(parsed.rows().size(), 700U);
    EXPECT_EQ(parsed.rows().back().address, "1.100.7");
    expectConsistent(parsed);
}

TEST(DescriptionLimits, ValueListsKeepTwentyEntriesAndTheRestIsSkipped) {
    EntryText many{"1.1.0", "int", "Network", "Many"};
    EntryText flag{"1.2.0", "FLAG", "Network", "Mode", "R/W", "1"};
    for (int value = 0; value < 25; ++value) {
        many.definedValues.emplace_back(value, "Name" + std::to_string(value));
        flag.enumeration.emplace_back((value < 10 ? "0" : "") + std::to_string(value),
                                      "Mode" + std::to_string(value));
    }
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 2}}, {many, flag, {"1.3.0"}})), 1);
    ASSERT_EQ(parsed.rows().size(), 3U);
    EXPECT_EQ(parsed.slot().definedValues(0).count(), 20);
    EXPECT_EQ(parsed.slot().definedValues(0)[19].name, "Name19");
    EXPECT_EQ(parsed.slot().enumeration(1).count(), 20);
    EXPECT_EQ(parsed.rows()[2].address, "1.3.1");
    expectConsistent(parsed);
}

TEST(DescriptionLimits, CountsLargerThanTheirBlocksEndAtTheNextEntry) {
    std::string text = descriptionText({{1, 0, 1}}, {{"1.1.0"}, {"1.2.0"}});
    // The first entry announces two billion defined values and brings two.
    const std::string announced = "\t0\t\n";
    text.replace(text.find(announced), announced.size(),
                 "\t2147483647\t\n\t===== Defined Values =====  \n\t[1]\tOne \n\t[2]\tTwo \n");
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(text), 1);
    ASSERT_EQ(parsed.rows().size(), 2U);
    EXPECT_EQ(parsed.slot().definedValues(0).count(), 2);
    EXPECT_EQ(parsed.rows()[1].address, "1.2.1");
}

TEST(DescriptionLimits, InconsistentClassTablesEndTheWalk) {
    struct Case {
        const char* name;
        std::vector<ClassLine> classes;
        std::size_t rows;
    };
    const std::vector<Case> cases = {
        {"first class not at row 0", {{1, 3, 4}}, 0},
        {"next class beyond the rows", {{1, 0, 1}, {1, 5, 6}}, 2},
        {"next class inside the rows", {{1, 0, 3}, {1, 2, 3}}, 4},
        {"instance count 0, next class elsewhere", {{1, 0, 0}, {0, 1, 2}, {1, 3, 3}}, 1},
        {"instance count 0, next class at the same row", {{1, 0, 0}, {0, 1, 2}, {1, 1, 1}}, 2},
        {"negative instance count", {{-5, 0, 1}, {1, 0, 0}}, 1},
        {"last row before first row", {{1, 0, -3}, {1, 0, 1}}, 2},
        {"extreme rows", {{2, INT_MIN, INT_MAX}}, 0},
        {"extreme instance count with a gap", {{INT_MIN, 0, 0}, {1, 7, 7}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParseTargets parsed;
        ASSERT_EQ(parsed.parse(descriptionText(c.classes, numberedEntries(8, 2, "Port_[inst]"))),
                  1);
        EXPECT_EQ(parsed.rows().size(), c.rows);
        expectConsistent(parsed);
    }
}

TEST(DescriptionLimits, EveryTruncationOfAFileParsesSafely) {
    EntryText flag{"3.1.0", "FLAG", "Port_[inst]/Serial", "Speed", "R/W", "1"};
    flag.enumeration = {{"00", "Off"}, {"01", "On"}};
    const std::string text =
        descriptionText({{1, 0, 1}, {3, 2, 3}},
                        {{"1.1.0", "IP"},
                         {"1.2.0", "long", "Network", "Timer", "R/O", "4", "s", {{0, "Off"}}},
                         flag,
                         {"3.2.0", "int", "Port_[inst]/Serial", "Baud", "HIDDEN"}});
    for (std::size_t length = 0; length <= text.size(); ++length) {
        ParseTargets parsed;
        ASSERT_EQ(parsed.parse(text.substr(0, length)), 1) << length;
        expectConsistent(parsed);
        for (const ParameterRow& row : parsed.rows()) {
            EXPECT_EQ(row.address.find(".0"), std::string::npos) << length << " " << row.address;
        }
    }
}

TEST(DescriptionLimits, GarbageAndEmptyTextGiveNoRows) {
    for (const std::string& text :
         {std::string(), std::string("\n\t  \r\n"), std::string("<END>"), std::string(5000, '['),
          std::string("Class Class Class %d %s [inst] ===== ]")}) {
        ParseTargets parsed;
        ASSERT_EQ(parsed.parse(text), 1);
        EXPECT_TRUE(parsed.rows().empty());
        expectConsistent(parsed);
    }
}

TEST(DescriptionLimits, EveryRowItsOwnGroupStaysInsideTheGroupTable) {
    std::vector<EntryText> entries;
    for (int index = 1; index <= 700; ++index) {
        entries.push_back(
            {"1." + std::to_string(index) + ".0", "int", "G" + std::to_string(index)});
    }
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 699}}, entries)), 1);
    EXPECT_EQ(parsed.groups().size(), 702U);
    expectConsistent(parsed);
}

} // namespace
} // namespace morvik::testing
