#include "controls/DeviceTreeSelection.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace morvik {
namespace {

using Rules = DeviceTreeSelection;

// Six rows 0 to 5 (keys 1 to 6) and, under a collapsed row after row 2, a row "h" that ranges,
// counts and arrow keys pass over.
constexpr Rules::RowKey kHidden = 99;

struct RulesCase {
    const char* name;
    // Steps: click<N>, ctrl<N>, shift<N>, press<N>, release, drag, right<N>, down, up,
    // shift-down, shift-up, page<N>, shift-page<N> (the page ends on row N), home, end, enter.
    const char* steps;
    const char* selected; // "1,2,h"
    int caret;            // -1: none
    int reads;
    int caretAtStart = -1;
};

void PrintTo(const RulesCase& c, std::ostream* out) {
    *out << c.name;
}

std::string nameOf(Rules::RowKey key) {
    return key == kHidden ? "h" : std::to_string(static_cast<int>(key) - 1);
}

class DeviceTreeSelectionRules : public ::testing::TestWithParam<RulesCase> {};

TEST_P(DeviceTreeSelectionRules, GiveTheSelectionAndTheReads) {
    const RulesCase& c = GetParam();
    Rules rules;
    std::vector<Rules::Row> rows;
    for (Rules::RowKey key = 1; key <= 6; ++key) {
        rows.push_back({key, true, false});
        if (key == 3) {
            rows.push_back({kHidden, false, false});
        }
    }
    const auto keyOf = [](int row) { return row < 0 ? Rules::kNoRow : Rules::RowKey(row + 1); };
    rules.setRows(rows, keyOf(c.caretAtStart));
    int reads = 0;
    std::istringstream steps(c.steps);
    for (std::string step; steps >> step;) {
        const std::size_t digit = step.find_first_of("0123456789");
        const std::string word = step.substr(0, digit);
        const Rules::RowKey row =
            digit == std::string::npos ? 0 : keyOf(std::stoi(step.substr(digit)));
        Rules::Notices notices;
        if (word == "click" || word == "ctrl" || word == "shift") {
            const Rules::Modifiers modifiers{.shift = word == "shift", .ctrl = word == "ctrl"};
            reads += rules.leftPress(row, modifiers).readParameters ? 1 : 0;
            notices = rules.leftRelease(modifiers);
        } else if (word == "press") {
            notices = rules.leftPress(row, {});
        } else if (word == "release") {
            notices = rules.leftRelease({});
        } else if (word == "drag") {
            notices = rules.dragStarted();
        } else if (word == "right") {
            rules.rightPress(row);
        } else {
            const bool shift = word.starts_with("shift-");
            const std::string key = shift ? word.substr(6) : word;
            const Rules::Key keys[] = {Rules::Key::Down, Rules::Key::Up,  Rules::Key::PageUp,
                                       Rules::Key::Home, Rules::Key::End, Rules::Key::Enter};
            const char* names[] = {"down", "up", "page", "home", "end", "enter"};
            const auto found = std::find(std::begin(names), std::end(names), key) - names;
            ASSERT_LT(found, 6) << step;
            notices = rules.key(keys[found], shift, row);
        }
        reads += notices.readParameters ? 1 : 0;
        // The owner hands the rows over again before every step.
        rules.setRows(rules.rows(), rules.caret());
    }
    std::string selected;
    for (const Rules::Row& row : rules.rows()) {
        if (row.selected) {
            selected += (selected.empty() ? "" : ",") + nameOf(row.key);
        }
    }
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(static_cast<int>(rules.caret()) - 1, c.caret);
    EXPECT_EQ(reads, c.reads);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DeviceTreeSelectionRules,
    ::testing::Values(
        RulesCase{"a plain click selects one row", "click1 ctrl3 click0", "0", 0, 3},
        RulesCase{"ctrl adds a row and moves the caret", "click1 ctrl3", "1,3", 3, 2},
        RulesCase{"shift selects from the anchor past hidden rows", "click1 ctrl3 shift5",
                  "1,2,3,4,5", 5, 3},
        RulesCase{"shift without an anchor starts at the caret", "shift4", "4", 4, 1},
        RulesCase{"ctrl on a selected row drops it and leaves the caret",
                  "click1 ctrl2 ctrl4 ctrl2", "1,4", 4, 4},
        RulesCase{"a press on a selected row waits", "click1 shift3 press2", "1,2,3", 3, 2},
        RulesCase{"the release carries the press out", "click1 shift3 press2 release", "2", 2, 3},
        RulesCase{"a drag changes nothing", "click1 shift3 press2 drag release", "1,2,3", 3, 2},
        RulesCase{"right with one row selected moves the caret", "click1 right4", "4", 4, 1},
        RulesCase{"right with several selected changes nothing", "click0 ctrl2 right5", "0,2", 2,
                  2},
        RulesCase{"down moves the single selection", "click2 down", "3", 3, 1},
        RulesCase{"shift-down extends from the anchor", "click2 shift-down shift-down", "2,3,4", 4,
                  1},
        RulesCase{"shift-up takes back a row", "click2 shift-down shift-down shift-up", "2,3", 3,
                  1},
        RulesCase{"down collapses a multiple selection", "click1 shift3 down", "4", 4, 2},
        RulesCase{"down stops at the last row", "click5 down shift-down", "5", 5, 1},
        RulesCase{"the first arrow selects a caret the focus placed", "down", "2", 2, 0, 2},
        RulesCase{"end moves the caret, not the anchor", "click3 end shift-page0", "0,1,2,3", 0, 1},
        RulesCase{"home goes to the first row", "click3 home", "0", 0, 1},
        RulesCase{"a page without shift moves the anchor", "click1 page4 shift-down", "4,5", 5, 1},
        RulesCase{"enter reads the selected units", "click1 enter", "1", 1, 2},
        RulesCase{"enter without a selection reads nothing", "enter", "", -1, 0}),
    [](const auto& info) { return morvik::testing::caseName(info.param.name); });

} // namespace
} // namespace morvik
