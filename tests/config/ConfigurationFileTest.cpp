#include "config/ConfigurationFile.h"

#include "parameters/ApplyConfiguration.h"
#include "parameters/IdentityValues.h"
#include "parameters/ParameterTable.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <iterator>

namespace morvik {
namespace {

TEST(ConfigurationFile, IsWrittenInTheFixedLayout) {
    const std::string text = formatConfiguration(
        {2, "05", "1.2"}, {"250  ms", "", "a b", "9600", "x_y", "\tz\n", "<none>", "100%"});
    EXPECT_EQ(text, "2 \t 05 \t 1.2 \n"
                    "[0]\t 250__ms\n"
                    "[1]\t <none>\n"
                    "[2]\t a_b\n"
                    "[3]\t 9600\n"
                    "[4]\t x%5Fy\n"
                    "[5]\t %09z%0A\n" // any white space would split the token
                    "[6]\t %3Cnone>\n"
                    "[7]\t 100%25\n"
                    "<escaped>\n");
    EXPECT_EQ(formatConfiguration({1, "51", "2.0"}, {}), "1 \t 51 \t 2.0 \n<escaped>\n");
}

TEST(ConfigurationFile, ParsingReadsTheHeaderAndTheValueLines) {
    const auto content = parseConfiguration("3 \t 05 \t 1.2 \n"
                                            "[0]\t 250__ms\n"
                                            "[1]\t <none>\n"
                                            "[7]\t x_y\n"
                                            "[-2]\t neg\n");
    ASSERT_TRUE(content.header);
    EXPECT_EQ(content.header->unitCount, 3);
    EXPECT_EQ(content.header->productId, "05");
    EXPECT_EQ(content.header->version, "1.2");
    ASSERT_EQ(content.lines.size(), 4u);
    EXPECT_EQ(content.lines[0].lineNumber, 0);
    EXPECT_EQ(content.lines[0].value, "250  ms");
    EXPECT_FALSE(content.lines[0].empty);
    EXPECT_TRUE(content.lines[1].empty);
    EXPECT_EQ(content.lines[1].value, "");
    EXPECT_EQ(content.lines[2].lineNumber, 7);
    EXPECT_EQ(content.lines[2].value, "x y");
    EXPECT_EQ(content.lines[3].lineNumber, -2);
}

TEST(ConfigurationFile, ParsingStopsAtTheFirstTextThatIsNoValueLine) {
    struct Case {
        const char* what;
        std::string text;
        bool header;
        std::vector<int> lines;
    };
    const Case cases[] = {
        {"empty", "", false, {}},
        {"header without version", "1 05", false, {}},
        {"no count", "x 05 1.2\n[0]\t a\n", false, {}},
        {"header only", "1 05 1.2\n", true, {}},
        {"stray word", "1 05 1.2\n[0]\t a\nstray\n[1]\t b\n", true, {0}},
        {"number without value", "1 05 1.2\n[0]\t a\n[1]\t", true, {0}},
        {"no number", "1 05 1.2\n[0]\t a\n[x]\t b\n", true, {0}},
        {"no closing bracket", "1 05 1.2\n[0\t a\n", true, {}},
        {"huge line numbers",
         "1 05 1.2\n[99999999999]\t a\n[-99999999999] b\n",
         true,
         {INT_MAX, INT_MIN}},
        {"tight", "1 05 1.2\n[0]a [ 1]b", true, {0, 1}},
        {"escaped files end at their marker", "1 05 1.2\n[0] a\n<escaped>\n[1] b\n", true, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto content = parseConfiguration(c.text);
        EXPECT_EQ(content.header.has_value(), c.header);
        std::vector<int> numbers;
        for (const auto& line : content.lines) {
            numbers.push_back(line.lineNumber);
        }
        EXPECT_EQ(numbers, c.lines);
    }
}

TEST(ConfigurationFile, HeaderTokensAreCutAndValueTokensReadWhole) {
    const std::string longToken(200, 'v');
    const auto content =
        parseConfiguration("1 " + longToken + " " + longToken + "\n[0]\t " + longToken +
                           "\n[1]\t " + std::string(60, '_') + "\n[2]\t next\n");
    ASSERT_TRUE(content.header);
    EXPECT_EQ(content.header->productId, std::string(31, 'v'));
    EXPECT_EQ(content.header->version, std::string(31, 'v'));
    ASSERT_EQ(content.lines.size(), 3u);
    EXPECT_EQ(content.lines[0].value, longToken);
    EXPECT_EQ(content.lines[1].value, std::string(60, ' '));
    EXPECT_EQ(content.lines[1].token, std::string(60, '_'));
    EXPECT_EQ(content.lines[2].value, "next");
}

// A list of lines showing parameters first..first+accesses.size()-1 with these access kinds
// and current values.
struct ShownList {
    ShownList(const std::vector<AccessKind>& accesses, const std::vector<std::string>& values,
              int firstParameter = 0) {
        const int end = firstParameter + static_cast<int>(accesses.size());
        for (int parameter = 0; parameter < end; ++parameter) {
            ParameterRow row;
            row.address = "1." + std::to_string(parameter + 1) + ".1";
            row.typeName = "unsigned int";
            row.size = 2;
            row.unit = "ms";
            if (parameter >= firstParameter) {
                row.accessKind = accesses[static_cast<std::size_t>(parameter - firstParameter)];
            }
            description.editRows().push_back(row);
        }
        table.setDescription(description);
        if (firstParameter != 0) {
            // Group 1 starts at firstParameter and is the one shown.
            description.appendGroup("Class", firstParameter);
            description.setGroupsEnd(end);
            table.setShownGroup(1);
        }
        for (std::size_t i = 0; i < accesses.size(); ++i) {
            const int line = static_cast<int>(i);
            table.insertLine(line, "Class");
            table.setText(line, ParameterTable::ParameterColumn, "P" + std::to_string(i));
            table.setText(line, ParameterTable::ValueColumn, values[i]);
        }
    }
    std::vector<std::string> values() const {
        std::vector<std::string> texts;
        for (int line = 0; line < table.lineCount(); ++line) {
            texts.push_back(table.text(line, ParameterTable::ValueColumn));
        }
        return texts;
    }
    std::vector<int> marks() const {
        std::vector<int> marked;
        for (int parameter = 0; parameter < kMaxParameterRows; ++parameter) {
            if (table.modifiedMark(parameter) != 0) {
                marked.push_back(parameter);
            }
        }
        return marked;
    }
    DescriptionSlot description;
    ParameterTable table;
};

TEST(ConfigurationFile, LoadedValuesReachOnlyWritableParametersAndMarkTheChangedOnes) {
    constexpr auto RW = AccessKind::ReadWrite;
    constexpr auto RO = AccessKind::ReadOnly;
    constexpr auto Plain = AccessKind::Plain;
    constexpr auto Hidden = AccessKind::Hidden;
    struct Case {
        const char* what;
        std::string lines;
        std::vector<std::string> values;
        std::vector<int> marks;
    };
    // Lines 0..4: R/W "1", R/W "250  ms", R/O "ro", plain "pl", hidden "".
    const Case cases[] = {
        {"changed R/W value is set and marked", "[0]\t 2\n", {"2", "250  ms", "ro", "pl", ""}, {0}},
        {"equal text is set but not marked",
         "[1]\t 250__ms\n",
         {"1", "250  ms", "ro", "pl", ""},
         {}},
        {"other access kinds stay as they are",
         "[2]\t x\n[3]\t y\n[4]\t z\n",
         {"1", "250  ms", "ro", "pl", ""},
         {}},
        {"<none> blanks any line, marking the R/W one",
         "[2]\t <none>\n[0]\t <none>\n",
         {"", "250  ms", "", "pl", ""},
         {0}},
        {"the same value otherwise written is left alone",
         "[0]\t 001\n[1]\t 250\n",
         {"1", "250  ms", "ro", "pl", ""},
         {}},
        {"line numbers outside the list are ignored",
         "[-1]\t a\n[5]\t b\n[700]\t c\n[2147483647]\t d\n[-5]\t <none>\n[9]\t <none>\n",
         {"1", "250  ms", "ro", "pl", ""},
         {}},
        {"later lines win", "[0]\t 5\n[0]\t 6\n", {"6", "250  ms", "ro", "pl", ""}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShownList list({RW, RW, RO, Plain, Hidden}, {"1", "250  ms", "ro", "pl", ""});
        applyConfiguration(parseConfiguration("1 05 1.2\n" + c.lines), list.table);
        EXPECT_EQ(list.values(), c.values);
        EXPECT_EQ(list.marks(), c.marks);
    }
}

TEST(ConfigurationFile, LinesStandForTheParametersOfTheGroupShown) {
    ShownList list({AccessKind::ReadOnly, AccessKind::ReadWrite}, {"a", "b"}, 10);
    ASSERT_EQ(list.table.parameterOfLine(1), 11);
    applyConfiguration(parseConfiguration("1 05 1.2\n[0]\t x\n[1]\t y\n"), list.table);
    EXPECT_EQ(list.values(), (std::vector<std::string>{"a", "y"}));
    EXPECT_EQ(list.marks(), std::vector<int>{11});
}

// A list saved and loaded back is the list it was: no text changes and nothing is marked, so
// the next Set writes nothing of it.
TEST(ConfigurationFile, ASavedListLoadsBackUnchanged) {
    const std::vector<std::string> shown = {"host_name_01",
                                            "a_b c",
                                            "No limit  s",
                                            "x__y",
                                            std::string(70, 'L') + "_" + std::string(20, 'n'),
                                            "_",
                                            "250  ms",
                                            "<none>",
                                            "%41_%\t"};
    ShownList list(std::vector<AccessKind>(shown.size(), AccessKind::ReadWrite), shown);
    applyConfiguration(parseConfiguration(formatConfiguration({1, "05", "1.2"}, shown)),
                       list.table);
    EXPECT_EQ(list.values(), shown);
    EXPECT_EQ(list.marks(), std::vector<int>{});
}

// Files of earlier versions wrote blanks as "_" too, and their values still load (a token
// that differs from the cell's saved form gets its blanks back).
TEST(ConfigurationFile, TokensThatDifferFromTheCellStillGetTheirBlanksBack) {
    ShownList list({AccessKind::ReadWrite, AccessKind::ReadWrite}, {"Disabled  s", "old_name"});
    applyConfiguration(parseConfiguration("1 05 1.2\n[0]\t No_limit__s\n[1]\t new_name\n"),
                       list.table);
    EXPECT_EQ(list.values(), (std::vector<std::string>{"No limit  s", "new name"}));
    EXPECT_EQ(list.marks(), (std::vector<int>{0, 1}));
}

TEST(ConfigurationFile, SavedValuesLoadBackOntoTheSameList) {
    const std::vector<std::string> saved = {"250  ms", "", "a_b", "Enable", "ro value"};
    const std::string text = formatConfiguration({1, "05", "1.2"}, saved);

    ShownList list({AccessKind::ReadWrite, AccessKind::ReadWrite, AccessKind::ReadWrite,
                    AccessKind::ReadWrite, AccessKind::ReadOnly},
                   {"100  ms", "old", "a b", "Disable", "ro now"});
    const auto content = parseConfiguration(text);
    ASSERT_TRUE(content.header);
    EXPECT_EQ(content.header->productId, "05");
    applyConfiguration(content, list.table);
    // An underscore comes back as itself, and an empty value is a value to write.
    EXPECT_EQ(list.values(), (std::vector<std::string>{"250  ms", "", "a_b", "Enable", "ro now"}));
    EXPECT_EQ(list.marks(), (std::vector<int>{0, 1, 2, 3}));
}

// A file saved from another unit must not give these units its name and addresses unasked.
TEST(ConfigurationFile, IdentityChangesAreTheMarkedValuesThatNameOrShowAUnit) {
    constexpr auto RW = AccessKind::ReadWrite;
    const std::vector<UnitIdentity> lab{{"vela1-lab", "127.77.0.2"}};
    const std::vector<UnitIdentity> labAndDock{lab[0], {"vela1-dock", "127.77.0.1"}};
    struct Case {
        std::vector<UnitIdentity> units;
        std::string lines;
        std::vector<int> changed;
    };
    const Case cases[] = {
        // Another unit's name, address and gateway; its location is no identity.
        {lab, "[0]\t vela1-dock\n[1]\t 192.168.10.21\n[2]\t 192.168.10.1\n[3]\t Dock\n", {0, 1, 2}},
        {lab, "[4]\t 127.77.0.1\n", {4}}, // a row that shows the unit's own address
        {lab, "[1]\t 127.77.0.2\n", {}},  // the unit's own address back
        {lab, "[0]\t vela1-lab\n[5]\t x\n[1]\t <none>\n", {1}}, // equal, read-only; emptied
        {labAndDock, "[0]\t vela1-dock\n", {0}}, // one unit's own name, the other's wrong one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        ShownList list({RW, RW, RW, RW, RW, AccessKind::ReadOnly},
                       {"vela1-lab", "192.168.20.40", "192.168.20.1", "Lab 2", "127.77.0.2", "a"});
        const char* names[] = {"Device_name", "IP address", "Gateway",
                               "Location",    "Remote",     "Host"};
        for (int line = 0; line < 6; ++line) {
            list.table.setText(line, ParameterTable::ParameterColumn, names[line]);
        }
        const auto content = parseConfiguration("1 07 1.2\n" + c.lines);
        std::vector<int> changed;
        for (const IdentityChange& change : identityChanges(content, list.table, c.units)) {
            changed.push_back(change.line);
        }
        EXPECT_EQ(changed, c.changed);
    }
}

} // namespace
} // namespace morvik
