#include "controls/CDeviceTreeList.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace morvik {
namespace {

// A shown tree-list of six rows, clicked with real mouse events.
class DeviceTreeSelection : public ::testing::Test {
protected:
    void SetUp() override {
        tree = std::make_unique<CDeviceTreeList>();
        tree->InsertColumn(0, QStringLiteral("Device"), CDeviceTreeList::AlignLeft, 120);
        tree->InsertColumn(1, QStringLiteral("IP"), CDeviceTreeList::AlignRight, 100);
        for (int unit = 0; unit < 6; ++unit) {
            QTreeWidgetItem* row = tree->InsertItem(QStringLiteral("unit-%1").arg(unit));
            tree->SetItemText(row, 1, QStringLiteral("127.77.0.%1").arg(unit + 1));
        }
        tree->resize(300, 300);
        tree->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));
        reads = std::make_unique<QSignalSpy>(tree.get(), &CDeviceTreeList::readParametersRequested);
    }

    QTreeWidgetItem* row(int position) const { return tree->topLevelItem(position); }
    QPoint centreOf(int position) const { return tree->visualItemRect(row(position)).center(); }

    void press(int position, Qt::KeyboardModifiers modifiers = {},
               Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(tree->viewport(), button, modifiers, centreOf(position));
    }
    void release(int position, Qt::KeyboardModifiers modifiers = {},
                 Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseRelease(tree->viewport(), button, modifiers, centreOf(position));
    }
    void click(int position, Qt::KeyboardModifiers modifiers = {}) {
        press(position, modifiers);
        release(position, modifiers);
    }

    // The selected rows, top to bottom, as "0,2,3".
    std::string selected() const {
        std::string text;
        for (QTreeWidgetItem* item = tree->GetFirstSelected(); item != nullptr;
             item = tree->GetNextSelected(item)) {
            text += (text.empty() ? "" : ",") + std::to_string(tree->indexOfTopLevelItem(item));
        }
        return text;
    }
    int caret() const { return tree->indexOfTopLevelItem(tree->caret()); }

    std::unique_ptr<CDeviceTreeList> tree;
    std::unique_ptr<QSignalSpy> reads;
};

TEST_F(DeviceTreeSelection, PlainCtrlAndShiftClicks) {
    click(1);
    EXPECT_EQ(selected(), "1");
    click(3, Qt::ControlModifier);
    EXPECT_EQ(selected(), "1,3");
    EXPECT_EQ(caret(), 3);
    click(5, Qt::ShiftModifier); // from the anchor, row 1
    EXPECT_EQ(selected(), "1,2,3,4,5");
    EXPECT_EQ(caret(), 5);
    click(0);
    EXPECT_EQ(selected(), "0");
    EXPECT_EQ(tree->GetSelectedCount(), 1);
    EXPECT_EQ(reads->count(), 4);
    for (const QList<QVariant>& request : *reads) {
        EXPECT_EQ(request.at(0).toInt(), 0);
    }
}

TEST_F(DeviceTreeSelection, CtrlClickOnASelectedRowDeselectsItAndLeavesTheCaret) {
    click(1);
    click(2, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    ASSERT_EQ(selected(), "1,2,4");
    // A press on a selected row waits for the release.
    press(2, Qt::ControlModifier);
    EXPECT_EQ(selected(), "1,2,4");
    release(2, Qt::ControlModifier);
    EXPECT_EQ(selected(), "1,4");
    EXPECT_EQ(caret(), 4);
    EXPECT_EQ(reads->count(), 4);
}

TEST_F(DeviceTreeSelection, PressOnASelectedRowChangesNothingUntilTheRelease) {
    click(1);
    click(3, Qt::ShiftModifier);
    ASSERT_EQ(selected(), "1,2,3");
    const int readsBefore = reads->count();
    press(2);
    EXPECT_EQ(selected(), "1,2,3");
    EXPECT_EQ(reads->count(), readsBefore);
    release(2);
    EXPECT_EQ(selected(), "2");
    EXPECT_EQ(reads->count(), readsBefore + 1);
}

TEST_F(DeviceTreeSelection, DraggingFromASelectedRowChangesNothingAtAll) {
    click(1);
    click(3, Qt::ShiftModifier);
    const int readsBefore = reads->count();
    QSignalSpy drags(tree.get(), &CDeviceTreeList::beginDrag);
    press(2);
    const QPoint far = centreOf(2) + QPoint(0, 3 * QApplication::startDragDistance());
    QMouseEvent move(QEvent::MouseMove, far, tree->viewport()->mapToGlobal(far), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, far);
    EXPECT_EQ(selected(), "1,2,3");
    EXPECT_EQ(reads->count(), readsBefore);
    EXPECT_EQ(drags.count(), 1);
}

TEST_F(DeviceTreeSelection, TheRightButtonOnlyMovesTheCaret) {
    click(1);
    const int readsBefore = reads->count();
    // One row selected: the caret moves as in a single-selection tree, taking the selection.
    press(4, {}, Qt::RightButton);
    release(4, {}, Qt::RightButton);
    EXPECT_EQ(caret(), 4);
    EXPECT_EQ(selected(), "4");
    // Several rows selected: the right button leaves them all alone.
    click(0);
    click(2, Qt::ControlModifier);
    const int readsAfterClicks = reads->count();
    press(5, {}, Qt::RightButton);
    EXPECT_EQ(selected(), "0,2");
    EXPECT_EQ(caret(), 2);
    EXPECT_EQ(reads->count(), readsAfterClicks);
    EXPECT_EQ(readsAfterClicks, readsBefore + 2);
}

TEST_F(DeviceTreeSelection, KeysMoveAndExtendTheSelectionWithoutARead) {
    click(2);
    const int readsBefore = reads->count();
    QTest::keyClick(tree.get(), Qt::Key_Down);
    EXPECT_EQ(selected(), "3");
    QTest::keyClick(tree.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(tree.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selected(), "3,4,5");
    QTest::keyClick(tree.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selected(), "3,4");
    EXPECT_EQ(caret(), 4);
    // Without Shift a multiple selection collapses to the row the caret moves to.
    QTest::keyClick(tree.get(), Qt::Key_Up);
    EXPECT_EQ(selected(), "3");
    QTest::keyClick(tree.get(), Qt::Key_End);
    EXPECT_EQ(selected(), "5");
    // End moved the caret but not the anchor (row 3): the page selects up from there.
    QTest::keyClick(tree.get(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(selected(), "0,1,2,3");
    EXPECT_EQ(caret(), 0);
    EXPECT_EQ(reads->count(), readsBefore);
}

TEST_F(DeviceTreeSelection, ADoubleClickReadsOnce) {
    // As the platform delivers it: press, release, double click, release.
    click(2);
    const QPoint point = centreOf(2);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, point,
                            tree->viewport()->mapToGlobal(point), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &doubleClick);
    release(2);
    EXPECT_EQ(selected(), "2");
    EXPECT_EQ(reads->count(), 1);
}

TEST_F(DeviceTreeSelection, ClicksBelowTheRowsChangeNothing) {
    click(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(20, tree->viewport()->height() - 2));
    EXPECT_EQ(selected(), "1");
    EXPECT_EQ(reads->count(), 1);
}

TEST_F(DeviceTreeSelection, RowsAndRangesByPosition) {
    EXPECT_EQ(tree->GetItemTextAt(2, 0), QStringLiteral("unit-2"));
    EXPECT_EQ(tree->GetItemTextAt(2, 1), QStringLiteral("127.77.0.3"));
    EXPECT_EQ(tree->GetItemTextAt(2, 4), QString());
    EXPECT_EQ(tree->GetItemTextAt(9, 0), QString());
    EXPECT_FALSE(tree->SelectRange(nullptr, nullptr));
    EXPECT_TRUE(tree->SelectRange(row(4), row(1)));
    EXPECT_EQ(selected(), "1,2,3,4");
    EXPECT_EQ(caret(), 1);
    tree->ClearSelection(true);
    EXPECT_EQ(selected(), "");
    EXPECT_EQ(caret(), 1);
    tree->DeleteAllItems();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(tree->GetFirstSelected(), nullptr);
}

} // namespace
} // namespace morvik
