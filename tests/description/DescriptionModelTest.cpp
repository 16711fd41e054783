#include "description/DeviceDescription.h"
#include "description/ValueList.h"
#include "parameters/ParameterTable.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace morvik {
namespace {

DescriptionSlot slotWith(std::initializer_list<const char*> addresses) {
    DescriptionSlot slot;
    for (const char* address : addresses) {
        ParameterRow row;
        row.address = address;
        slot.editRows().push_back(row);
    }
    return slot;
}

TEST(DescriptionSlot, FindsParametersAndRangesBeforeTheFirstEmptyAddress) {
    const DescriptionSlot slot =
        slotWith({"1.1.1", "1.2.1", "3.1.1", "3.1.2", "3.2.1", "", "4.1.1"});
    EXPECT_EQ(slot.rowCount(), 5);
    EXPECT_EQ(slot.findParameter("3.1.2"), 3);
    EXPECT_EQ(slot.findParameter("3.1"), -1);
    EXPECT_EQ(slot.findParameter("4.1.1"), -1);
    EXPECT_EQ(slot.findParameter(""), -1);

    struct Case {
        const char* range;
        std::pair<int, int> rows;
    };
    for (const Case& c :
         {Case{"0", {0, 4}}, Case{"1.0", {0, 1}}, Case{"3.0", {2, 4}}, Case{"3.1.0", {2, 3}},
          Case{"1.2.1", {1, 1}}, Case{"4.0", {-1, -1}}, Case{"", {-1, -1}}}) {
        EXPECT_EQ(slot.findRange(c.range), c.rows) << c.range;
    }
    EXPECT_EQ(slot.row(6)->address, "4.1.1");
    EXPECT_EQ(slot.row(7), nullptr);
    EXPECT_EQ(slot.row(-1), nullptr);
}

TEST(DescriptionSlot, LookupsFollowTheRowsAsTheyAreNow) {
    DescriptionSlot slot = slotWith({"2.1.1", "2.1.2", "2.1.1"});
    // A repeated address is found where it first stands.
    EXPECT_EQ(slot.findParameter("2.1.1"), 0);
    EXPECT_EQ(slot.findParameter("2.1.2"), 1);

    // A parse that refills the rows is what later lookups see.
    slot.editRows()[0].address = "2.1.9";
    EXPECT_EQ(slot.findParameter("2.1.9"), 0);
    EXPECT_EQ(slot.findParameter("2.1.1"), 2);
    slot.editRows()[1].address.clear();
    EXPECT_EQ(slot.rowCount(), 1);
    EXPECT_EQ(slot.findParameter("2.1.1"), -1);
    slot.editRows().resize(kMaxParameterRows + 5, slot.rows()[0]);
    slot.editRows()[1].address = "2.1.2";
    EXPECT_EQ(slot.rowCount(), kMaxParameterRows);
}

TEST(DescriptionCache, HandsOutSlotsOncePerTripleWithinTheIndexRanges) {
    DescriptionCache cache;
    EXPECT_EQ(cache.slotsHandedOut(), 0);
    EXPECT_EQ(cache.slotFor(99, 19, 29), 0);
    EXPECT_EQ(cache.slotFor(0, 0, 0), 1);
    EXPECT_EQ(cache.slotFor(99, 19, 29), 0);
    EXPECT_EQ(cache.slotFor(100, 0, 0), -1);
    EXPECT_EQ(cache.slotFor(0, 20, 0), -1);
    EXPECT_EQ(cache.slotFor(0, 0, 30), -1);
    EXPECT_EQ(cache.slotsHandedOut(), 2);
    EXPECT_EQ(cache.findSlot(0), nullptr); // handed out but never filled
    EXPECT_TRUE(cache.current().rows().empty());
    EXPECT_EQ(cache.findSlot(100), nullptr);
}

TEST(DescriptionCache, MemoryFootprintCountsFilledSlotsAndLongTexts) {
    DescriptionCache cache;
    EXPECT_EQ(cache.memoryFootprint(), 0U);
    DescriptionSlot& slot = cache.slot(3);
    const std::size_t empty = cache.memoryFootprint();
    EXPECT_GT(empty, 0U);
    ParameterRow row;
    row.address = "1.1.1";
    slot.editRows().push_back(row);
    const std::size_t shortTexts = cache.memoryFootprint();
    EXPECT_GE(shortTexts, empty + sizeof(ParameterRow));
    slot.editRows()[0].parameterName = std::string(100, 'p');
    EXPECT_GE(cache.memoryFootprint(), shortTexts + 100);
}

TEST(ValueList, HoldsTwentyEntries) {
    ValueList list;
    for (int value = 0; value < ValueList::kCapacity; ++value) {
        EXPECT_TRUE(list.add("v" + std::to_string(value), value));
    }
    EXPECT_FALSE(list.add("one too many", 99));
    EXPECT_EQ(list.count(), 20);
    EXPECT_EQ(list[19].name, "v19");
}

TEST(ValueList, AccessWords) {
    EXPECT_EQ(accessKindFromWord("R/W"), AccessKind::ReadWrite);
    EXPECT_EQ(accessKindFromWord("R/O"), AccessKind::ReadOnly);
    EXPECT_EQ(accessKindFromWord("HIDDEN"), AccessKind::Hidden);
    EXPECT_EQ(accessKindFromWord("r/w"), AccessKind::Plain);
    EXPECT_EQ(accessKindFromWord(""), AccessKind::Plain);
}

struct RecordingObserver : ParameterTableObserver {
    std::vector<std::string> calls;
    void beforeLinesReset() override { calls.push_back("beforeReset"); }
    void afterLinesReset() override { calls.push_back("afterReset"); }
    void beforeLineInserted(int line) override {
        calls.push_back("beforeInsert " + std::to_string(line));
    }
    void afterLineInserted(int line) override {
        calls.push_back("afterInsert " + std::to_string(line));
    }
    void cellChanged(int line, int column) override {
        calls.push_back("cell " + std::to_string(line) + "," + std::to_string(column));
    }
    void markChanged(int parameter) override {
        calls.push_back("mark " + std::to_string(parameter));
    }
};

TEST(ParameterTable, LinesStayWithinTheirLimitAndTellTheObserver) {
    ParameterTable table;
    RecordingObserver observer;
    table.setObserver(&observer);
    EXPECT_TRUE(table.insertLine(5, "b"));  // clamped to the end
    EXPECT_TRUE(table.insertLine(-3, "a")); // clamped to the start
    table.setText(1, ParameterTable::ValueColumn, "42");
    table.setText(2, ParameterTable::ValueColumn, "ignored");
    table.setText(0, 3, "ignored");
    EXPECT_EQ(table.text(0, 0), "a");
    EXPECT_EQ(table.text(1, 0), "b");
    EXPECT_EQ(table.text(1, 2), "42");
    EXPECT_EQ(table.text(2, 0), "");
    EXPECT_EQ(table.text(0, -1), "");
    table.removeAllLines();
    EXPECT_EQ(observer.calls,
              (std::vector<std::string>{"beforeInsert 0", "afterInsert 0", "beforeInsert 0",
                                        "afterInsert 0", "cell 1,2", "beforeReset", "afterReset"}));
    for (int line = 0; line < kMaxParameterRows; ++line) {
        ASSERT_TRUE(table.insertLine(line, "x"));
    }
    EXPECT_FALSE(table.insertLine(0, "one too many"));
    EXPECT_EQ(table.lineCount(), kMaxParameterRows);
}

TEST(ParameterTable, MarksAndRowDataIgnoreIndicesOutsideThem) {
    ParameterTable table;
    ValueList values;
    values.add("Off", 0);
    DescriptionSlot description = slotWith({"1.1.1"});
    description.editRows()[0].accessKind = AccessKind::Hidden;
    description.editRows()[0].definedValues = values;
    description.editRows()[0].enumeration = values;
    table.setDescription(description);
    for (int parameter : {-1, kMaxParameterRows}) {
        table.setModifiedMark(parameter, 1);
        EXPECT_EQ(table.modifiedMark(parameter), 0);
        EXPECT_EQ(table.description().accessKind(parameter), AccessKind::Plain);
        EXPECT_EQ(table.description().definedValues(parameter).count(), 0);
        EXPECT_EQ(table.description().enumeration(parameter).count(), 0);
    }
    table.setModifiedMark(699, 1);
    EXPECT_EQ(table.modifiedMark(699), 1);
    EXPECT_EQ(table.description().accessKind(0), AccessKind::Hidden);
    EXPECT_EQ(table.description().enumeration(0).count(), 1);
}

DescriptionSlot slotOfRows(int rows) {
    DescriptionSlot slot;
    for (int row = 0; row < rows; ++row) {
        ParameterRow parameter;
        parameter.address = "1." + std::to_string(row + 1) + ".1";
        slot.editRows().push_back(parameter);
    }
    return slot;
}

TEST(ParameterTable, GroupsMapLinesToParameters) {
    DescriptionSlot description = slotOfRows(25);
    EXPECT_TRUE(description.appendGroup("A", 0));
    EXPECT_TRUE(description.appendGroup("B", 10));
    description.setGroupsEnd(25);
    EXPECT_EQ(description.groupStarts(), (std::vector<int>{0, 0, 10, 25}));
    EXPECT_EQ(description.groupCount(), 3);
    EXPECT_EQ(description.groupNames(), (std::vector<std::string>{"All classes", "A", "B"}));
    ParameterTable table;
    table.setDescription(description);
    for (int line = 0; line < 15; ++line) {
        table.insertLine(line, "");
    }

    table.setShownGroup(0);
    EXPECT_EQ(table.firstParameterShown(), 0);
    EXPECT_EQ(table.parameterOfLine(3), 3);
    table.setShownGroup(2);
    EXPECT_EQ(table.firstParameterShown(), 10);
    EXPECT_EQ(table.parameterOfLine(0), 10);
    EXPECT_EQ(table.lineOfParameter(12), 2);
    EXPECT_EQ(table.lineOfParameter(9), -1);
    EXPECT_EQ(table.lineOfParameter(25), -1); // past the shown lines
    table.setShownGroup(7);
    EXPECT_EQ(table.firstParameterShown(), 0);
    table.setShownGroup(-1);
    EXPECT_EQ(table.firstParameterShown(), 0);

    EXPECT_EQ(description.groupRows(0), (std::pair<int, int>{0, 25}));
    EXPECT_EQ(description.groupRows(1), (std::pair<int, int>{0, 10}));
    EXPECT_EQ(description.groupRows(2), (std::pair<int, int>{10, 25}));
    EXPECT_EQ(description.groupRows(3), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(description.groupRows(-1), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(DescriptionSlot().groupStarts(), (std::vector<int>{0, 0}));
}

TEST(ParameterTable, GroupListHoldsAGroupPerRowAndItsEndMark) {
    DescriptionSlot description = slotOfRows(kMaxParameterRows);
    // Group 0 is there from the start.
    for (int row = 0; row < kMaxParameterRows; ++row) {
        EXPECT_TRUE(description.appendGroup("G", row));
    }
    EXPECT_FALSE(description.appendGroup("G", 0));
    description.setGroupsEnd(kMaxParameterRows);
    EXPECT_EQ(description.groupStarts().size(), static_cast<std::size_t>(kMaxParameterRows + 2));
    EXPECT_EQ(description.groupStarts().back(), kMaxParameterRows);
    description.clearGroups();
    EXPECT_EQ(description.groupStarts(), (std::vector<int>{0, 0}));
    EXPECT_EQ(description.groupCount(), 1);
}

TEST(ParameterTable, ClearMarksClearsEveryMarkAndTellsTheObserver) {
    ParameterTable table;
    RecordingObserver observer;
    table.setModifiedMark(3, 1);
    table.setModifiedMark(699, 2);
    table.setObserver(&observer);
    table.clearMarks();
    EXPECT_EQ(table.modifiedMark(3), 0);
    EXPECT_EQ(table.modifiedMark(699), 0);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"mark 3", "mark 699"}));
}

} // namespace
} // namespace morvik
