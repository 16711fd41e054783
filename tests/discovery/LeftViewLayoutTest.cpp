#include "controls/CDeviceTreeHeader.h"
#include "controls/CDeviceTreeList.h"
#include "controls/CDeviceTreeTip.h"
#include "discovery/CLeftView.h"
#include "support/QtPrinters.h"

#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace morvik {
namespace {

// A device list pane with rows put in directly, as replies would put them.
class LeftViewLayout : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<CLeftView>();
        view->resize(330, 300);
        view->initialUpdate();
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    void add(const QString& name, const QString& ip, const QString& mac) {
        QTreeWidgetItem* row = tree().InsertItem(name);
        tree().SetItemText(row, CLeftView::IpColumn, ip);
        tree().SetItemText(row, CLeftView::MacColumn, mac);
    }
    CDeviceTreeList& tree() const { return view->treeList(); }
    std::vector<QString> column(int column) const {
        std::vector<QString> texts;
        for (int row = 0; row < tree().topLevelItemCount(); ++row) {
            texts.push_back(tree().GetItemTextAt(row, column));
        }
        return texts;
    }
    void clickHeader(int column) {
        CDeviceTreeHeader& header = *tree().treeHeader();
        const QPoint centre(header.sectionViewportPosition(column) + header.sectionSize(column) / 2,
                            header.height() / 2);
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, centre);
    }

    std::unique_ptr<CLeftView> view;
};

TEST_F(LeftViewLayout, HeaderClicksSortAndAlternate) {
    add("Unit 9", "192.168.0.9", "02:4D:56:00:00:0A");
    add("Unit 2", "192.168.0.10", "02:4D:56:00:00:01");
    add("Unit 10", "10.0.0.1", "02:4D:56:00:00:09");
    add("dock", "9.1.1.1", "02:4D:56:00:00:0B");
    CDeviceTreeHeader& header = *tree().treeHeader();
    EXPECT_EQ(header.GetColumnImage(0), 0);

    // "Device" starts marked ascending, so its first click sorts descending.
    clickHeader(CLeftView::NameColumn);
    EXPECT_EQ(column(0), (std::vector<QString>{"Unit 10", "Unit 9", "Unit 2", "dock"}));
    EXPECT_EQ(header.GetColumnImage(0), 1);
    clickHeader(CLeftView::NameColumn);
    EXPECT_EQ(column(0), (std::vector<QString>{"dock", "Unit 2", "Unit 9", "Unit 10"}));
    EXPECT_EQ(header.GetColumnImage(0), 0);

    // Any other column's first click sorts ascending; only the first number counts.
    clickHeader(CLeftView::IpColumn);
    EXPECT_EQ(column(1),
              (std::vector<QString>{"9.1.1.1", "10.0.0.1", "192.168.0.10", "192.168.0.9"}));
    EXPECT_EQ(header.GetColumnImage(0), -1);
    EXPECT_EQ(header.GetColumnImage(1), 0);
    clickHeader(CLeftView::IpColumn);
    EXPECT_EQ(column(1),
              (std::vector<QString>{"192.168.0.9", "192.168.0.10", "10.0.0.1", "9.1.1.1"}));
    clickHeader(CLeftView::MacColumn);
    EXPECT_EQ(column(2), (std::vector<QString>{"02:4D:56:00:00:01", "02:4D:56:00:00:09",
                                               "02:4D:56:00:00:0A", "02:4D:56:00:00:0B"}));
    // The other fields travel with their rows.
    EXPECT_EQ(column(0), (std::vector<QString>{"Unit 2", "Unit 10", "Unit 9", "dock"}));
}

TEST_F(LeftViewLayout, SortingTextsThatOrderInACircleKeepsEveryRow) {
    // "Unit 9" < "Unit 10" by number, "Unit 10" = "unit 10" as text, "unit 10" < "Unit 9" as
    // text: the comparison is not an order, yet sorting must neither lose nor duplicate a row.
    for (int copy = 0; copy < 10; ++copy) {
        add("Unit 9", "1", QStringLiteral("a%1").arg(copy));
        add("unit 10", "2", QStringLiteral("b%1").arg(copy));
        add("Unit 10", "3", QStringLiteral("c%1").arg(copy));
    }
    clickHeader(CLeftView::NameColumn);
    clickHeader(CLeftView::NameColumn);
    std::vector<QString> macs = column(CLeftView::MacColumn);
    std::sort(macs.begin(), macs.end());
    ASSERT_EQ(macs.size(), 30u);
    EXPECT_EQ(std::unique(macs.begin(), macs.end()), macs.end());
}

TEST_F(LeftViewLayout, ANarrowPaneScrollsTheColumnsAndAWideOneResetsTheOffset) {
    add("vela1-dock", "127.77.0.1", "02:4D:56:00:00:01");
    QScrollBar& bar = *tree().horizontalScrollBar();
    view->resize(200, 300);
    QTest::qWait(20);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_GT(bar.maximum(), 0);
    bar.setValue(bar.maximum());
    EXPECT_GT(bar.value(), 0);
    view->resize(500, 300);
    QTest::qWait(20);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(tree().totalWidth(), 120 + 100 + 110);
}

TEST_F(LeftViewLayout, TheTipShowsTheWholeTextOfATruncatedCell) {
    add("a-device-name-far-too-long-for-its-column", "127.77.0.1", "02:4D:56:00:00:01");
    add("short", "127.77.0.2", "02:4D:56:00:00:02");
    QTreeWidgetItem* longRow = tree().topLevelItem(0);
    QTreeWidgetItem* shortRow = tree().topLevelItem(1);
    const auto hover = [&](QTreeWidgetItem* row, int x) {
        const QPoint point(x, tree().visualItemRect(row).center().y());
        QMouseEvent move(QEvent::MouseMove, point, tree().viewport()->mapToGlobal(point),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tree().viewport(), &move);
    };
    CDeviceTreeTip& tip = view->tip();
    hover(longRow, 80);
    ASSERT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.text(), QStringLiteral("a-device-name-far-too-long-for-its-column"));
    EXPECT_EQ(tip.palette().color(QPalette::Window), CDeviceTreeTip::kRowBackground);
    hover(shortRow, 80);
    EXPECT_FALSE(tip.isVisible());
    // On the caret row the tip is drawn light on dark.
    tree().setCurrentItem(longRow);
    hover(longRow, 80);
    ASSERT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.palette().color(QPalette::Window), CDeviceTreeTip::kCaretBackground);
    EXPECT_EQ(tip.palette().color(QPalette::WindowText), QColor(Qt::white));
    // The IP fits its column: no tip there.
    hover(longRow, 170);
    EXPECT_FALSE(tip.isVisible());
    // A left press where the tip covers the row hides it and selects the row beneath.
    tree().clearSelection();
    hover(shortRow, 80);
    hover(longRow, 80);
    ASSERT_TRUE(tip.isVisible());
    EXPECT_TRUE(tip.testAttribute(Qt::WA_TransparentForMouseEvents));
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(80, tree().visualItemRect(longRow).center().y()));
    EXPECT_FALSE(tip.isVisible());
    EXPECT_TRUE(longRow->isSelected());
}

} // namespace
} // namespace morvik
