#include "controls/DeviceTreeSelection.h"

#include <algorithm>

namespace morvik {

void DeviceTreeSelection::setRows(std::vector<Row> rows, RowKey caret) {
    rows_ = std::move(rows);
    caret_ = caret;
    caretPlaced_ = false;
}

void DeviceTreeSelection::forgetRows() {
    anchor_ = kNoRow;
    pressed_ = kNoRow;
    deferred_ = false;
}

DeviceTreeSelection::Row* DeviceTreeSelection::find(RowKey key) {
    const auto found =
        std::find_if(rows_.begin(), rows_.end(), [key](const Row& row) { return row.key == key; });
    return key == kNoRow || found == rows_.end() ? nullptr : &*found;
}

bool DeviceTreeSelection::isSelected(RowKey row) const {
    return std::any_of(rows_.begin(), rows_.end(), [row](const Row& each) {
        return row != kNoRow && each.key == row && each.selected;
    });
}

int DeviceTreeSelection::selectedCount() const {
    return static_cast<int>(std::count_if(
        rows_.begin(), rows_.end(), [](const Row& row) { return row.visible && row.selected; }));
}

std::vector<DeviceTreeSelection::RowKey> DeviceTreeSelection::visibleRows() const {
    std::vector<RowKey> keys;
    for (const Row& row : rows_) {
        if (row.visible) {
            keys.push_back(row.key);
        }
    }
    return keys;
}

std::ptrdiff_t DeviceTreeSelection::visiblePosition(RowKey key) const {
    const std::vector<RowKey> keys = visibleRows();
    const auto found = std::find(keys.begin(), keys.end(), key);
    return key == kNoRow || found == keys.end() ? -1 : found - keys.begin();
}

DeviceTreeSelection::RowKey DeviceTreeSelection::neighbour(RowKey row, int step) const {
    if (row == kNoRow) {
        return rows_.empty() ? kNoRow : rows_.front().key;
    }
    const std::vector<RowKey> keys = visibleRows();
    const std::ptrdiff_t position = visiblePosition(row);
    // As the tree's own lookup: a row it does not show has nothing above it and the first
    // shown row below it.
    const std::ptrdiff_t next = position < 0 ? (step < 0 ? -1 : 0) : position + step;
    return next >= 0 && next < static_cast<std::ptrdiff_t>(keys.size())
               ? keys[static_cast<std::size_t>(next)]
               : kNoRow;
}

void DeviceTreeSelection::setSelected(RowKey row, bool selected) {
    if (Row* found = find(row)) {
        found->selected = selected;
    }
}

void DeviceTreeSelection::moveCaret(RowKey row) {
    if (caret_ != kNoRow && caret_ != row) {
        setSelected(caret_, false);
    }
    caret_ = row;
    if (row != kNoRow) {
        setSelected(row, true);
        caretPlaced_ = true;
    }
}

void DeviceTreeSelection::clearSelection(bool keepCaret) {
    if (!keepCaret) {
        moveCaret(kNoRow);
    }
    for (Row& row : rows_) {
        row.selected = false;
    }
}

bool DeviceTreeSelection::selectRange(RowKey anchor, RowKey row) {
    std::ptrdiff_t first = visiblePosition(anchor);
    std::ptrdiff_t last = visiblePosition(row);
    if (first < 0 && last < 0) {
        return false;
    }
    if (first < 0) {
        first = last;
    }
    if (last < 0) {
        last = first;
    }
    if (first > last) {
        std::swap(first, last);
    }
    if (row != kNoRow) {
        moveCaret(row);
    }
    std::ptrdiff_t position = 0;
    for (Row& each : rows_) {
        each.selected = each.visible && position >= first && position <= last;
        position += each.visible ? 1 : 0;
    }
    return true;
}

void DeviceTreeSelection::mouseSelect(RowKey row, Modifiers modifiers, Notices& notices) {
    if (modifiers.shift) {
        if (anchor_ == kNoRow) {
            anchor_ = caret_;
        }
        selectRange(anchor_, row);
    } else if (modifiers.ctrl) {
        notices.selectionChanging = true;
        const RowKey caretRow = caret_;
        const bool caretSelected = isSelected(caretRow);
        if (isSelected(row)) {
            setSelected(row, false);
        } else {
            moveCaret(row);
        }
        // Moving the caret deselects the row it leaves; a Ctrl-click must not drop it.
        if (caretSelected && caretRow != row) {
            setSelected(caretRow, true);
        }
        if (anchor_ == kNoRow) {
            anchor_ = row;
        }
    } else {
        clearSelection(false);
        moveCaret(row);
        anchor_ = row;
    }
    notices.selectionChanged = row;
}

DeviceTreeSelection::Notices DeviceTreeSelection::leftPress(RowKey row, Modifiers modifiers) {
    Notices notices;
    pressed_ = row;
    if (isSelected(row)) {
        deferred_ = true;
        return notices;
    }
    mouseSelect(row, modifiers, notices);
    notices.readParameters = true;
    return notices;
}

DeviceTreeSelection::Notices DeviceTreeSelection::leftRelease(Modifiers modifiers) {
    Notices notices;
    if (deferred_ && pressed_ != kNoRow) {
        deferred_ = false;
        mouseSelect(pressed_, modifiers, notices);
        notices.readParameters = true;
    }
    deferred_ = false;
    pressed_ = kNoRow;
    return notices;
}

DeviceTreeSelection::Notices DeviceTreeSelection::dragStarted() {
    Notices notices;
    if (pressed_ != kNoRow) {
        deferred_ = false;
        notices.dragged = pressed_;
        pressed_ = kNoRow;
    }
    return notices;
}

void DeviceTreeSelection::rightPress(RowKey row) {
    if (row != kNoRow && selectedCount() <= 1) {
        moveCaret(row);
    }
}

DeviceTreeSelection::Notices DeviceTreeSelection::key(Key key, bool shift, RowKey pageTarget) {
    Notices notices;
    switch (key) {
    case Key::Up:
    case Key::Down: {
        const RowKey oldCaret = caret_;
        // A caret that the tree placed on its own when it got the focus, with nothing selected
        // yet, is where the first arrow key selects.
        const RowKey next = oldCaret != kNoRow && anchor_ == kNoRow && selectedCount() == 0
                                ? oldCaret
                                : neighbour(oldCaret, key == Key::Up ? -1 : 1);
        if (!shift) {
            if (selectedCount() > 1) {
                clearSelection(true);
            }
            if (next != kNoRow) {
                moveCaret(next);
            }
            anchor_ = caret_;
            return notices;
        }
        if (next != kNoRow) {
            const bool nextWasSelected = isSelected(next);
            const bool oldCaretSelected = isSelected(oldCaret);
            moveCaret(next);
            if (!nextWasSelected || !oldCaretSelected) {
                selectRange(anchor_, next);
            }
            notices.selectionChanged = next;
        }
        notices.keyDown = true;
        return notices;
    }
    case Key::PageUp:
    case Key::PageDown:
        if (!shift && selectedCount() > 1) {
            clearSelection(true);
        }
        moveCaret(pageTarget);
        if (!shift) {
            anchor_ = caret_;
        } else {
            selectRange(anchor_, caret_);
            notices.selectionChanged = caret_;
        }
        return notices;
    case Key::Home:
    case Key::End: {
        const std::vector<RowKey> keys = visibleRows();
        if (!keys.empty()) {
            moveCaret(key == Key::Home ? keys.front() : keys.back());
        }
        return notices;
    }
    case Key::Enter:
        notices.readParameters = selectedCount() > 0;
        return notices;
    }
    return notices;
}

} // namespace morvik
