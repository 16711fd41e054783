#include "DescriptionText.h"

#include <gtest/gtest.h>

namespace morvik::testing {
namespace {

using Strings = std::vector<std::string>;

std::vector<std::string> column(const ParameterTable& table, int column) {
    std::vector<std::string> texts;
    for (int line = 0; line < table.lineCount(); ++line) {
        texts.push_back(table.text(line, column));
    }
    return texts;
}

std::vector<std::string> addresses(const std::vector<ParameterRow>& rows) {
    std::vector<std::string> texts;
    for (const ParameterRow& row : rows) {
        texts.push_back(row.address);
    }
    return texts;
}

TEST(DescriptionParser, WorkedExampleGivesFourRowsThreeGroupsAndTheirTables) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(workedExampleText()), 1);

    const auto& rows = parsed.rows();
    EXPECT_EQ(addresses(rows), (Strings{"1.1.1", "1.2.1", "3.1.1", "3.1.2"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ClassColumn),
              (Strings{"Network/Address", "Network/Timer", "Serial/Port 1", "Serial/Port 2"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ParameterColumn),
              (Strings{"IP address", "Keep alive", "Speed", "Speed"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ValueColumn), (Strings{"", "", "", ""}));

    EXPECT_EQ(rows[0].typeName, "IP");
    EXPECT_EQ(rows[0].unit, "");
    EXPECT_EQ(rows[1].typeName, "unsigned long");
    EXPECT_EQ(rows[1].unit, "sec");
    EXPECT_EQ(rows[1].size, 4);
    EXPECT_EQ(parsed.slot().definedValues(1).entries(),
              (std::vector<ValueList::Entry>{{"Off", 0}}));
    for (int row : {2, 3}) {
        EXPECT_EQ(rows[static_cast<std::size_t>(row)].typeName, "FLAG");
        EXPECT_EQ(rows[static_cast<std::size_t>(row)].size, 1);
        EXPECT_EQ(parsed.slot().enumeration(row).entries(),
                  (std::vector<ValueList::Entry>{{"Off", 0}, {"On", 1}}));
    }
    EXPECT_EQ(parsed.slot().enumeration(1).count(), 0);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(parsed.slot().accessKind(row), AccessKind::ReadWrite);
    }

    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 2, 4}));
    EXPECT_EQ(parsed.slot().groupCount(), 3);
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes", "Network", "Serial"}));
    EXPECT_EQ(parsed.filter.selected(), 0);
    EXPECT_TRUE(parsed.dialogs.messages.empty());
}

TEST(DescriptionParser, ReadsTheSameFromAFileWithWindowsLineEnds) {
    std::string text = workedExampleText();
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const TemporaryFile file("Vela1_1.2.dcf", crlf);
    ParseTargets fromFile;
    ParseTargets fromText;
    ASSERT_EQ(fromFile.parseFile(file.path(), 7, 1, 2), 1);
    ASSERT_EQ(fromText.parse(text), 1);
    EXPECT_EQ(fromFile.rows(), fromText.rows());
    EXPECT_EQ(fromFile.groups(), fromText.groups());
}

TEST(DescriptionParser, MissingFileIsReportedAndLeavesTheListEmpty) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(workedExampleText(), 7, 1, 2), 1);
    const std::string path = std::string(MORVIK_TEST_BINARY_DIR) + "/Nothing_9.9.dcf";
    EXPECT_EQ(parsed.parseFile(path, 7, 1, 3), -1);
    EXPECT_EQ(parsed.dialogs.messages, (std::vector<ScriptedDialogs::Message>{
                                           {"Can't find configuration file! \n" + path, "Error"}}));
    EXPECT_EQ(parsed.table.lineCount(), 0);
    EXPECT_EQ(parsed.cache.currentSlot(), 0);
    EXPECT_EQ(parsed.shownSlot(), 0);
    EXPECT_EQ(parsed.cache.slotsHandedOut(), 1); // no slot for a file that was never read
}

TEST(DescriptionParser, DirectoryCannotBeReadAsADescription) {
    ParseTargets parsed;
    EXPECT_EQ(parsed.parseFile(MORVIK_TEST_BINARY_DIR, 7, 1, 2), -1);
    ASSERT_EQ(parsed.dialogs.messages.size(), 1U);
    EXPECT_EQ(parsed.dialogs.messages[0].caption, "Error");
}

TEST(DescriptionParser, OneInstanceClassReplacesEveryPointZero) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(
                  descriptionText({{1, 0, 3}}, {{"1.0.0"}, {"1.05.0"}, {"2.00.0"}, {"12.10.0"}})),
              1);
    EXPECT_EQ(addresses(parsed.rows()), (Strings{"1.1.1", "1.15.1", "2.10.1", "12.10.1"}));
}

TEST(DescriptionParser, LaterInstancesRepeatTheFirstOneWithTheirOwnNumber) {
    EntryText speed{"4.1.0", "FLAG", "Port_[inst]", "Speed", "R/O", "1", "<none>"};
    speed.enumeration = {{"00", "Slow"}, {"01", "Fast"}};
    EntryText timeout{"4.2.0", "int", "Port_[inst]", "Timeout", "R/W", "2", "ms", {{0, "Never"}}};
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{3, 0, 1}}, {speed, timeout})), 1);

    const auto& rows = parsed.rows();
    ASSERT_EQ(rows.size(), 6U);
    EXPECT_EQ(addresses(rows), (Strings{"4.1.1", "4.2.1", "4.1.2", "4.2.2", "4.1.3", "4.2.3"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ClassColumn),
              (Strings{"Port 1", "Port 1", "Port 2", "Port 2", "Port 3", "Port 3"}));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const std::size_t source = row % 2;
        const int index = static_cast<int>(row);
        EXPECT_EQ(rows[row].className, "Port " + std::to_string(row / 2 + 1));
        EXPECT_EQ(rows[row].typeName, rows[source].typeName);
        EXPECT_EQ(rows[row].access, rows[source].access);
        EXPECT_EQ(rows[row].size, rows[source].size);
        EXPECT_EQ(rows[row].unit, rows[source].unit);
        EXPECT_EQ(parsed.slot().accessKind(index), parsed.slot().accessKind(index % 2));
        EXPECT_EQ(parsed.slot().definedValues(index), parsed.slot().definedValues(index % 2));
        EXPECT_EQ(parsed.slot().enumeration(index), parsed.slot().enumeration(index % 2));
    }
    EXPECT_EQ(parsed.slot().enumeration(4).count(), 2);
    EXPECT_EQ(parsed.slot().definedValues(5).count(), 1);
    EXPECT_EQ(parsed.slot().accessKind(4), AccessKind::ReadOnly);
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 2, 4, 6}));
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes", "Port 1", "Port 2", "Port 3"}));
}

// The rows of the first port share the group "Port 1" instead of each starting a group of
// their own.
TEST(DescriptionParser, FirstInstanceRowsShareTheirGroupWhenTheInstanceLeadsTheClassText) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 0}, {2, 1, 2}},
                                           {{"1.1.0", "IP", "Network"},
                                            {"3.1.0", "int", "Port_[inst]/Serial"},
                                            {"3.2.0", "int", "Port_[inst]/Serial"}})),
              1);
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes", "Network", "Port 1", "Port 2"}));
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 1, 3, 5}));
}

TEST(DescriptionParser, EveryClassBeginsAGroupEvenWithTheSameName) {
    ParseTargets parsed;
    ASSERT_EQ(
        parsed.parse(descriptionText({{1, 0, 0}, {1, 1, 1}}, {{"1.1.0", "int", "Network/A"},
                                                              {"2.1.0", "int", "Network/B"}})),
        1);
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes", "Network", "Network"}));
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 1, 2}));
}

TEST(DescriptionParser, GroupNameIsTheTextBeforeTheFirstSlashAfterItsFirstCharacter) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 3}}, {{"1.1.0", "int", "/Root/Leaf"},
                                                         {"1.2.0", "int", "Plain"},
                                                         {"1.3.0", "int", "Plainer/x"},
                                                         {"1.4.0", "int", "Other"}})),
              1);
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes", "/Root", "Plain", "Other"}));
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 1, 3, 4}));
}

TEST(DescriptionParser, NoneTokensAndUnderscoresBecomeTexts) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText(
                  {{1, 0, 1}}, {{"1.1.0", "unsigned_*char", "Device", "Name_of_unit", "plain_word",
                                 "<none>", "<none>"},
                                {"1.2.0", "int", "<none>", "<none>", "<none>", "2", "k_B"}})),
              1);
    const auto& rows = parsed.rows();
    EXPECT_EQ(rows[0].typeName, "unsigned *char");
    EXPECT_EQ(rows[0].parameterName, "Name of unit");
    EXPECT_EQ(rows[0].access, "plain word");
    EXPECT_EQ(rows[0].size, 0);
    EXPECT_EQ(rows[0].unit, "");
    EXPECT_EQ(parsed.slot().accessKind(0), AccessKind::Plain);
    EXPECT_EQ(rows[1].className, "");
    EXPECT_EQ(rows[1].parameterName, "");
    EXPECT_EQ(rows[1].unit, "k B");
}

TEST(DescriptionParser, SizeThatIsNotAPlainNumberIsZero) {
    struct Case {
        std::string token;
        std::int32_t size;
    };
    for (const Case& c : {Case{"4", 4}, Case{"<none>", 0}, Case{"-4", 0}, Case{"four", 0},
                          Case{"12bytes", 12}, Case{"99999999999", 0xFFFF}, Case{"+6", 6}}) {
        ParseTargets parsed;
        EntryText entry{"1.1.0"};
        entry.size = c.token;
        ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 0}}, {entry})), 1);
        ASSERT_EQ(parsed.rows().size(), 1U);
        EXPECT_EQ(parsed.rows()[0].size, c.size) << c.token;
    }
}

TEST(DescriptionParser, EndWordInsideAnEntryKeepsOnlyTheCompleteRows) {
    std::string text = descriptionText({{1, 0, 2}}, numberedEntries(2), false);
    text += "1.3.0\tint\tNetwork/Setting\t<END>\n";
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(text), 1);
    EXPECT_EQ(addresses(parsed.rows()), (Strings{"1.1.1", "1.2.1"}));
    EXPECT_EQ(parsed.table.lineCount(), 2);
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 2}));
    EXPECT_EQ(parsed.slot().findParameter("1.3.1"), -1);
}

// A file cut inside the first port must not leave addresses with the instance still 0.
TEST(DescriptionParser, EndWordInsideTheFirstInstanceStillNumbersItsRows) {
    std::string text = descriptionText({{2, 0, 2}}, numberedEntries(2, 3, "Port_[inst]"));
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(text), 1);
    EXPECT_EQ(addresses(parsed.rows()), (Strings{"3.1.1", "3.2.1"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ClassColumn), (Strings{"Port 1", "Port 1"}));
}

TEST(DescriptionParser, EndOfTextBeforeTheEndWordStopsCleanly) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 4}}, numberedEntries(3), false)), 1);
    EXPECT_EQ(parsed.rows().size(), 3U);
    EXPECT_EQ(parsed.groups().back(), 3);
}

TEST(DescriptionParser, HiddenRowsKeepTheirRowButShowNoTexts) {
    EntryText secret{"2.1.0", "*char", "Login_[inst]", "Password", "HIDDEN", "16"};
    EntryText user{"2.2.0", "*char", "Login_[inst]", "User", "R/W", "16"};
    ParseTargets parsed;
    ASSERT_EQ(
        parsed.parse(descriptionText(
            {{1, 0, 0}, {2, 1, 2}}, {{"1.1.0", "int", "Admin", "Secret", "HIDDEN"}, secret, user})),
        1);
    EXPECT_EQ(addresses(parsed.rows()), (Strings{"1.1.1", "2.1.1", "2.2.1", "2.1.2", "2.2.2"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ClassColumn),
              (Strings{"", "", "Login 1", "", "Login 2"}));
    EXPECT_EQ(column(parsed.table, ParameterTable::ParameterColumn),
              (Strings{"", "", "User", "", "User"}));
    for (int row : {0, 1, 3}) {
        EXPECT_EQ(parsed.slot().accessKind(row), AccessKind::Hidden);
    }
    EXPECT_EQ(parsed.rows()[1].parameterName, "Password");
    EXPECT_EQ(parsed.slot().findParameter("2.1.2"), 3);
}

TEST(DescriptionParser, SlotsFollowProductAndVersion) {
    ParseTargets parsed;
    const std::string text = workedExampleText();
    struct Step {
        int product, major, minor, slot;
    };
    for (const Step& step : {Step{7, 1, 2, 0}, Step{7, 1, 2, 0}, Step{7, 1, 3, 1},
                             Step{55, 1, 0, 2}, Step{7, 1, 2, 0}, Step{7, 1, 3, 1}}) {
        ASSERT_EQ(parsed.parse(text, step.product, step.major, step.minor), 1);
        EXPECT_EQ(parsed.cache.currentSlot(), step.slot);
        EXPECT_EQ(parsed.shownSlot(), step.slot);
    }
    EXPECT_EQ(parsed.cache.slotsHandedOut(), 3);
}

TEST(DescriptionParser, EveryParseClearsTheMarksAndEachSlotKeepsItsOwnGroups) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(workedExampleText(), 7, 1, 2), 1);
    const DescriptionSlot& first = parsed.slot();
    parsed.table.setModifiedMark(1, 1);
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 0}}, {{"9.1.0", "char"}}), 7, 1, 3), 1);
    EXPECT_EQ(first.groupStarts(), (std::vector<int>{0, 0, 2, 4}));
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(parsed.slot().groupCount(), 2);
    EXPECT_EQ(parsed.table.modifiedMark(1), 0);
    EXPECT_EQ(parsed.slot().definedValues(1).count(), 0);
    EXPECT_EQ(parsed.slot().enumeration(2).count(), 0);
    EXPECT_EQ(parsed.shownSlot(), 1);
}

TEST(DescriptionParser, ParsingASlotAgainDropsRowsBeyondItsNewEnd) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(workedExampleText()), 1);
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 0}}, {{"1.1.0"}})), 1);
    EXPECT_EQ(addresses(parsed.rows()), (Strings{"1.1.1"}));
    EXPECT_EQ(parsed.slot().findParameter("3.1.2"), -1);
    EXPECT_EQ(parsed.table.lineCount(), 1);
}

TEST(DescriptionParser, EnumerationValuesAreReadInAtMostTwoCharacters) {
    EntryText flag{"1.1.0", "FLAG", "Serial", "Parity", "R/W", "1"};
    flag.enumeration = {{"07", "Seven"}, {"-1", "Minus_one"}, {"99", "Top"}, {"5", "Five"}};
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 1}}, {flag, {"1.2.0"}})), 1);
    EXPECT_EQ(
        parsed.slot().enumeration(0).entries(),
        (std::vector<ValueList::Entry>{{"Seven", 7}, {"Minus one", -1}, {"Top", 99}, {"Five", 5}}));
    EXPECT_EQ(parsed.rows()[1].address, "1.2.1");
}

TEST(DescriptionParser, AllTenClassesAreWalkedAndNothingAfterThem) {
    std::vector<ClassLine> classes;
    std::vector<EntryText> entries;
    for (int index = 0; index < 10; ++index) {
        classes.push_back({1, index, index});
        entries.push_back(
            {std::to_string(index + 1) + ".1.0", "int", "Class" + std::to_string(index)});
    }
    entries.push_back({"99.1.0"}); // beyond the class table: never a row
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText(classes, entries)), 1);
    EXPECT_EQ(parsed.rows().size(), 10U);
    EXPECT_EQ(parsed.rows().back().address, "10.1.1");
    EXPECT_EQ(parsed.filter.entries().size(), 11U);
    EXPECT_EQ(parsed.groups().back(), 10);
}

TEST(DescriptionParser, FirstClassNotInUseGivesNoRows) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({}, numberedEntries(2))), 1);
    EXPECT_TRUE(parsed.rows().empty());
    EXPECT_EQ(parsed.table.lineCount(), 0);
    EXPECT_EQ(parsed.groups(), (std::vector<int>{0, 0}));
    EXPECT_EQ(parsed.filter.entries(), (Strings{"All classes"}));
    EXPECT_EQ(parsed.filter.selected(), 0);
}

TEST(DescriptionParser, EmptyAddressEndsTheRowsForWalkersButNotForTheParser) {
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(descriptionText({{1, 0, 2}}, {{"1.1.0"}, {"<none>"}, {"1.3.0"}})), 1);
    EXPECT_EQ(parsed.rows().size(), 3U);
    EXPECT_EQ(parsed.table.lineCount(), 3);
    EXPECT_EQ(parsed.slot().rowCount(), 1);
    EXPECT_EQ(parsed.slot().findParameter("1.3.1"), -1);
    EXPECT_EQ(parsed.slot().findRange("0"), (std::pair<int, int>{0, 0}));
}

TEST(DescriptionParser, MissingOrMisspeltWordsAreSkippedOver) {
    std::string text = workedExampleText();
    for (const std::string_view word :
         {"<version>\n", "<common>\n", "\t===== Defined Values =====  \n"}) {
        text.erase(text.find(word), word.size());
    }
    text.replace(text.find("<parameters>"), 12, "<parameterz>");
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(text), 1);
    // "<version>" missing: its three tokens are still read; the misspelt "<parameters>" leaves
    // "z>" to be read as the first address, which then shifts the entries.
    ASSERT_FALSE(parsed.rows().empty());
    EXPECT_EQ(parsed.rows()[0].address, "z>");
}

TEST(DescriptionParser, LongTokensAreCutTo199Characters) {
    const std::string longName(300, 'n');
    ParseTargets parsed;
    ASSERT_EQ(parsed.parse(
                  descriptionText({{1, 0, 1}}, {{"1.1.0", "int", "Network", longName}, {"1.2.0"}})),
              1);
    ASSERT_EQ(parsed.rows().size(), 2U);
    EXPECT_EQ(parsed.rows()[0].parameterName, std::string(199, 'n'));
    EXPECT_EQ(parsed.rows()[1].address, "1.2.1");
}

TEST(DescriptionParser, TriplesTheCacheCannotHoldAreRefused) {
    struct Case {
        int product, major, minor;
    };
    for (const Case& c : {Case{100, 1, 0}, Case{-1, 1, 0}, Case{7, 20, 0}, Case{7, 1, 30},
                          Case{7, -1, 0}, Case{7, 1, -1}}) {
        ParseTargets parsed;
        EXPECT_EQ(parsed.parse(workedExampleText(), c.product, c.major, c.minor), -1);
        ASSERT_EQ(parsed.dialogs.messages.size(), 1U);
        EXPECT_EQ(parsed.dialogs.messages[0].caption, "Error");
        EXPECT_EQ(parsed.table.lineCount(), 0);
        EXPECT_EQ(parsed.cache.currentSlot(), 0);
        EXPECT_EQ(parsed.cache.slotsHandedOut(), 0);
    }
}

TEST(DescriptionParser, HundredAndFirstDescriptionIsRefused) {
    ParseTargets parsed;
    const std::string text = descriptionText({{1, 0, 0}}, {{"1.1.0"}});
    for (int index = 0; index < kMaxDescriptionSlots; ++index) {
        ASSERT_EQ(parsed.parse(text, index % 100, index / 30, index % 30), 1);
    }
    EXPECT_EQ(parsed.parse(text, 99, 19, 29), -1);
    ASSERT_EQ(parsed.dialogs.messages.size(), 1U);
    EXPECT_EQ(parsed.dialogs.messages[0].caption, "Error");
    EXPECT_EQ(parsed.table.lineCount(), 0);
    EXPECT_EQ(parsed.cache.currentSlot(), 0);
    // Descriptions already cached stay readable.
    EXPECT_EQ(parsed.parse(text, 5, 0, 5), 1);
    EXPECT_EQ(parsed.cache.currentSlot(), 5);
}

} // namespace
} // namespace morvik::testing
