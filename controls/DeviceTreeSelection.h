#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace morvik {

// The selection rules of the device tree-list, without a widget: which rows are selected, where
// the caret and the anchor are, and what a click or a key does to them. A plain click selects
// one row, Ctrl toggles a row, Shift selects the range from the anchor, a press on a row that
// is already selected waits for the release (it may start a drag of the whole selection), and
// the right button only moves the caret. Selections made with the left button and Enter ask for
// a fresh read of the selected units; moving with the keys does not.
//
// The caret follows the rules of a single-selection tree: moving it selects the row it moves to
// and deselects the one it leaves; the multiple selection is built on top of that.
//
// The owner knows a row by a key of its choosing (never kNoRow) and hands over all rows as they
// stand, in display order, before each step; the anchor and a pressed row keep their keys from
// one step to the next.
class DeviceTreeSelection {
public:
    using RowKey = std::uintptr_t;
    static constexpr RowKey kNoRow = 0;

    struct Row {
        RowKey key = kNoRow;
        // Under expanded parents only: the rows that ranges, counts and arrow keys walk.
        bool visible = true;
        bool selected = false;
    };
    struct Modifiers {
        bool shift = false;
        bool ctrl = false;
    };
    enum class Key { Up, Down, PageUp, PageDown, Home, End, Enter };

    // What a step asks its owner to pass on.
    struct Notices {
        // Before the selection changes: a Ctrl-click.
        bool selectionChanging = false;
        // After the selection changed, about this row (kNoRow when no row is the caret).
        std::optional<RowKey> selectionChanged;
        // After a Shift+Up or Shift+Down.
        bool keyDown = false;
        // The selected units' parameters are to be read afresh.
        bool readParameters = false;
        // A drag began from this row.
        RowKey dragged = kNoRow;
    };

    void setRows(std::vector<Row> rows, RowKey caret);
    const std::vector<Row>& rows() const { return rows_; }
    RowKey caret() const { return caret_; }
    RowKey anchor() const { return anchor_; }
    RowKey pressedRow() const { return pressed_; }
    // Whether the last step put the caret on a row, which the owner then scrolls into view.
    bool caretPlaced() const { return caretPlaced_; }
    bool isSelected(RowKey row) const;
    // Selected rows that are visible.
    int selectedCount() const;
    // Every row is gone: nothing is anchored or pressed any more.
    void forgetRows();

    // Unless `keepCaret`, the caret leaves its row first; then no row stays selected.
    void clearSelection(bool keepCaret);
    // Selects exactly the visible rows from `anchor` to `row`, moving the caret to `row`; false
    // (and nothing changes) when neither of the two is a visible row.
    bool selectRange(RowKey anchor, RowKey row);

    Notices leftPress(RowKey row, Modifiers modifiers);
    Notices leftRelease(Modifiers modifiers);
    // The pointer moved beyond the drag distance with the left button down.
    Notices dragStarted();
    // A right-button press on a row's image or label.
    void rightPress(RowKey row);
    // `pageTarget`: where a page key takes the caret (the owner knows how many rows a page is).
    Notices key(Key key, bool shift, RowKey pageTarget = kNoRow);

private:
    Row* find(RowKey key);
    // Position among the visible rows; -1 for a hidden row or kNoRow.
    std::ptrdiff_t visiblePosition(RowKey key) const;
    std::vector<RowKey> visibleRows() const;
    RowKey neighbour(RowKey row, int step) const;
    void setSelected(RowKey row, bool selected);
    void moveCaret(RowKey row);
    void mouseSelect(RowKey row, Modifiers modifiers, Notices& notices);

    std::vector<Row> rows_;
    RowKey caret_ = kNoRow;
    RowKey anchor_ = kNoRow;
    RowKey pressed_ = kNoRow;
    bool deferred_ = false;
    bool caretPlaced_ = false;
};

} // namespace morvik
