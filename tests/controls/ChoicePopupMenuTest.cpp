#include "ParamListFixture.h"

#include <QFontMetrics>
#include <QImage>
#include <QScopeGuard>
#include <QScreen>

namespace morvik::testing {
namespace {

using Flag = PopupMenuItem::Flag;

class ChoicePopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override { guiApplication(); }

    // Tracks `menu` modally at `at` and runs `whileOpen` inside its loop; the menu is closed
    // afterwards whatever happens. Gives back what Track gave back.
    int track(CChoicePopupMenu& menu, QPoint at, const std::function<void()>& whileOpen) {
        whenLoopRuns([&] {
            const auto closeAnyway = qScopeGuard([&] {
                if (menu.window() != nullptr) {
                    menu.window()->close();
                }
            });
            ASSERT_NE(menu.window(), nullptr);
            EXPECT_TRUE(QTest::qWaitForWindowExposed(menu.window()));
            whileOpen();
        });
        return menu.Track(at, nullptr, true, false);
    }

    static QPoint middleOf(const CChoicePopupMenu& menu, int item) {
        const PopupMenuItem& entry = menu.items()[static_cast<std::size_t>(item)];
        return {menu.width() / 2, entry.top + entry.height / 2};
    }

    static void fill(CChoicePopupMenu& menu) {
        menu.Init();
        menu.AddItem(0, "&Alpha", 1);
        menu.AddItem(0, "&beta", 2);
        menu.AddItem(Flag::Separator, "", 0);
        menu.AddItem(0, "B&ravo", 3);
        menu.AddItem(Flag::Disabled, "&Delta", 4);
        menu.AddItem(Flag::Greyed, "&Echo", 5);
        menu.AddItem(0, "x&&y", 6);
        menu.AddItem(0, "&echo", 7);
    }

    QRect workArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

TEST_F(ChoicePopupMenuTest, LaysItemsOutFromThreePixelsDownWithRoomForText) {
    CChoicePopupMenu menu;
    fill(menu);
    int widest = 0;
    QFont font(menu.faceName);
    track(menu, {40, 40}, [&] {
        const QFontMetrics metrics(menu.window()->font());
        const std::vector<int> tops = {3, 20, 37, 42, 59, 76, 93, 110};
        for (std::size_t i = 0; i < tops.size(); ++i) {
            EXPECT_EQ(menu.items()[i].top, tops[i]) << i;
            EXPECT_EQ(menu.items()[i].height, i == 2 ? 5 : 17) << i;
        }
        EXPECT_EQ(menu.window()->height(), 127 + 2);
        EXPECT_EQ(menu.window()->pos(), QPoint(40, 40));
        widest = menu.width();
    });
    EXPECT_GT(widest, 42);
    EXPECT_EQ(menu.window(), nullptr);
}

TEST_F(ChoicePopupMenuTest, ShiftsLeftAndUpToStayOnTheWorkAreaButNeverBelowZero) {
    const QRect area = workArea();
    struct Case {
        QPoint anchor;
        bool shiftedLeft;
        bool shiftedUp;
    };
    const std::vector<Case> cases = {
        {{10, 10}, false, false},
        {{area.right() - 5, 10}, true, false},
        {{10, area.bottom() - 5}, false, true},
        {{area.right(), area.bottom()}, true, true},
    };
    for (const Case& c : cases) {
        CChoicePopupMenu menu;
        fill(menu);
        track(menu, c.anchor, [&] {
            const QRect frame = menu.window()->geometry();
            EXPECT_EQ(frame.left(),
                      c.shiftedLeft ? area.x() + area.width() - frame.width() : c.anchor.x());
            EXPECT_EQ(frame.top(),
                      c.shiftedUp ? area.y() + area.height() - frame.height() : c.anchor.y());
        });
    }
    // A menu taller than the work area starts at 0, not above it.
    CChoicePopupMenu tall;
    tall.Init();
    for (int i = 0; i < area.height() / 17 + 5; ++i) {
        tall.AddItem(0, QString::number(i), i + 1);
    }
    track(tall, {10, 300}, [&] { EXPECT_EQ(tall.window()->y(), 0); });
}

TEST_F(ChoicePopupMenuTest, EitherButtonPicksTheHighlightedItemOnRelease) {
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        CChoicePopupMenu menu;
        fill(menu);
        const int result = track(menu, {50, 50}, [&] {
            QWidget* window = menu.window();
            // From another item: the window system drops a move to where the pointer is.
            moveTo(window, middleOf(menu, 0));
            moveTo(window, middleOf(menu, 3));
            EXPECT_EQ(menu.highlightedItem(), 3);
            pressAt(window, middleOf(menu, 3), button);
            EXPECT_NE(menu.window(), nullptr) << "a press inside picks nothing";
            releaseAt(window, middleOf(menu, 3), button);
        });
        EXPECT_EQ(result, 3);
    }
}

TEST_F(ChoicePopupMenuTest, APressOrReleaseOutsideDismissesAndMovingOutsideOnlyUnhighlights) {
    for (const bool byRelease : {false, true}) {
        CChoicePopupMenu menu;
        fill(menu);
        const int result = track(menu, {50, 50}, [&] {
            QWidget* window = menu.window();
            moveTo(window, middleOf(menu, 1));
            EXPECT_EQ(menu.highlightedItem(), 1);
            moveTo(window, {window->width() + 30, 10});
            EXPECT_EQ(menu.highlightedItem(), -1);
            ASSERT_NE(menu.window(), nullptr);
            moveTo(window, middleOf(menu, 1));
            const QPoint outside(-15, window->height() + 15);
            if (byRelease) {
                // Pressed on an item, dragged out, released outside.
                pressAt(window, middleOf(menu, 1));
                ASSERT_NE(menu.window(), nullptr);
                releaseAt(window, outside);
            } else {
                pressAt(window, outside);
            }
            EXPECT_EQ(menu.window(), nullptr);
        });
        EXPECT_EQ(result, 0);
        if (!byRelease) {
            // The button goes up somewhere else once the menu is gone.
            QWidget desk;
            desk.resize(200, 200);
            showActive(desk);
            releaseAt(&desk, {100, 100});
        }
    }
}

TEST_F(ChoicePopupMenuTest, TheRestOfTheOpeningDoubleClickLeavesItOpenALaterPressCloses) {
    CChoicePopupMenu menu;
    fill(menu);
    const QPoint cell(40, 30); // where the opening click was, above the menu
    menu.setOpeningClick(cell, 1000);
    const auto send = [&](QEvent::Type type, QPoint global, quint64 time) {
        QMouseEvent event(type, menu.window()->mapFromGlobal(global), global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        event.setTimestamp(time);
        QApplication::sendEvent(menu.window(), &event);
    };
    track(menu, {30, 50}, [&] {
        send(QEvent::MouseButtonPress, cell + QPoint(1, 0), 1100);
        send(QEvent::MouseButtonDblClick, cell + QPoint(1, 0), 1100);
        send(QEvent::MouseButtonRelease, cell + QPoint(1, 0), 1150);
        EXPECT_NE(menu.window(), nullptr);
        send(QEvent::MouseButtonPress, cell, 1200);
        EXPECT_EQ(menu.window(), nullptr) << "a third press is one outside";
    });
}

TEST_F(ChoicePopupMenuTest, ThePixelRowBetweenTwoItemsHighlightsNeither) {
    CChoicePopupMenu menu;
    fill(menu);
    track(menu, {50, 50}, [&] {
        QWidget* window = menu.window();
        const int boundary = menu.items()[1].top;
        EXPECT_EQ(menu.itemAt({30, boundary}), -1);
        EXPECT_EQ(menu.itemAt({30, boundary - 1}), 0);
        EXPECT_EQ(menu.itemAt({30, boundary + 1}), 1);
        EXPECT_EQ(menu.itemAt({2, boundary + 5}), -1) << "the frame";
        EXPECT_EQ(menu.itemAt({30, menu.items()[4].top + 5}), -1) << "disabled";
        moveTo(window, {30, boundary});
        EXPECT_EQ(menu.highlightedItem(), -1);
    });
}

TEST_F(ChoicePopupMenuTest, TypedCharactersPickTheFirstPickableItemWithThatMnemonic) {
    struct Case {
        QString typed;
        int id;
    };
    const std::vector<Case> cases = {
        {"a", 1}, {"A", 1}, {"B", 2}, {"r", 3}, {"d", -1}, {"e", 7}, {"&", 6}, {"z", -1},
    };
    for (const Case& c : cases) {
        CChoicePopupMenu menu;
        fill(menu);
        bool stillOpen = false;
        const int result = track(menu, {50, 50}, [&] {
            typeInto(windowOf(menu.window()), c.typed);
            stillOpen = menu.window() != nullptr;
        });
        EXPECT_EQ(stillOpen, c.id < 0) << c.typed.toStdString();
        EXPECT_EQ(result, std::max(0, c.id)) << c.typed.toStdString();
    }
}

TEST_F(ChoicePopupMenuTest, EscOrASystemCloseDismissesEvenWithAnItemHighlighted) {
    const std::vector<std::function<void(CChoicePopupMenu&)>> dismissals = {
        [](CChoicePopupMenu& menu) { QTest::keyClick(windowOf(menu.window()), Qt::Key_Escape); },
        [](CChoicePopupMenu& menu) { menu.window()->close(); },
    };
    for (std::size_t way = 0; way < dismissals.size(); ++way) {
        CChoicePopupMenu menu;
        fill(menu);
        bool closed = false;
        const int result = track(menu, {50, 50}, [&] {
            moveTo(menu.window(), middleOf(menu, 0));
            ASSERT_NE(menu.window(), nullptr);
            dismissals[way](menu);
            closed = menu.window() == nullptr;
        });
        EXPECT_TRUE(closed) << "way " << way;
        EXPECT_EQ(result, 0) << "way " << way;
    }
}

TEST_F(ChoicePopupMenuTest, ArrowsSkipSeparatorsAndDisabledItemsAndEnterPicks) {
    // Items: 0 Alpha, 1 beta, 2 separator, 3 Bravo, 4 Delta (disabled), 5 Echo (greyed),
    // 6 x&y, 7 echo.
    struct Case {
        std::vector<Qt::Key> keys;
        int highlighted;
        int picked; // by the Enter that follows
    };
    const std::vector<Case> cases = {
        {{Qt::Key_Down}, 0, 1},
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, 3, 3},
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, 5, 5},
        {{Qt::Key_Up}, 7, 7},
        {{Qt::Key_End, Qt::Key_Down}, 0, 1},
        {{Qt::Key_Home, Qt::Key_Up}, 7, 7},
        {{Qt::Key_End, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 3, 3},
        {{}, -1, 0},
    };
    for (const Case& c : cases) {
        CChoicePopupMenu menu;
        fill(menu);
        int highlighted = -2;
        bool stillOpen = false;
        const int result = track(menu, {50, 50}, [&] {
            for (Qt::Key key : c.keys) {
                QTest::keyClick(windowOf(menu.window()), key);
            }
            highlighted = menu.highlightedItem();
            QTest::keyClick(windowOf(menu.window()), Qt::Key_Return);
            stillOpen = menu.window() != nullptr;
        });
        EXPECT_EQ(highlighted, c.highlighted) << "case " << &c - cases.data();
        EXPECT_EQ(result, c.picked) << "case " << &c - cases.data();
        EXPECT_EQ(stillOpen, c.picked == 0) << "Enter on nothing keeps the menu open";
    }
}

TEST_F(ChoicePopupMenuTest, DrawsItsFrameBandAndHighlightInTheGivenColours) {
    CChoicePopupMenu menu;
    menu.colours.frame = QColor(0, 0, 128);
    menu.colours.background = QColor(255, 255, 255);
    menu.colours.highlight = QColor(0, 160, 0);
    fill(menu);
    track(menu, {50, 50}, [&] {
        moveTo(menu.window(), middleOf(menu, 1));
        const QImage image = menu.window()->grab().toImage();
        EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 128));
        EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), QColor(0, 0, 128));
        EXPECT_EQ(image.pixelColor(1, 1), QColor(255, 255, 255));
        EXPECT_EQ(image.pixelColor(5, menu.items()[1].top + 1), QColor(0, 160, 0));
        EXPECT_EQ(image.pixelColor(5, menu.items()[0].top + 1), QColor(255, 255, 255));
        EXPECT_EQ(image.pixelColor(10, menu.items()[2].top + 2), QColor(0, 0, 128))
            << "separator line";
    });
}

TEST_F(ChoicePopupMenuTest, AModelessMenuPostsThePickToItsOwner) {
    CChoicePopupMenu menu;
    fill(menu);
    struct Owner : QObject {
        bool event(QEvent* event) override {
            if (event->type() == ChoiceCommandEvent::eventType()) {
                ids.push_back(static_cast<ChoiceCommandEvent*>(event)->id());
                return true;
            }
            return QObject::event(event);
        }
        std::vector<int> ids;
    } owner;
    EXPECT_EQ(menu.Track({50, 50}, &owner, false, false), 0);
    ASSERT_NE(menu.window(), nullptr);
    typeInto(windowOf(menu.window()), "b");
    QApplication::processEvents();
    EXPECT_EQ(owner.ids, std::vector<int>{2});
}

// The list's use of the menu: the opening click's release picks nothing, names come back
// exactly as the enumeration has them.
using ListChoiceTest = ParamListFixture;

TEST_F(ListChoiceTest, OpensUnderTheValueCellAndWritesThePickedNameBackUnchanged) {
    showList({
        {"port", "mode", "on", AccessKind::ReadWrite, {"Tom & Jerry", "off", "a&&b"}, {}, {}},
        {"port", "speed", "9600", AccessKind::ReadWrite, {}, {}, {}},
    });
    QPoint topLeft;
    std::vector<QString> texts;
    clickIntoPopup(0, [&](CChoicePopupMenu& menu) {
        topLeft = menu.window()->pos();
        for (const PopupMenuItem& item : menu.items()) {
            texts.push_back(item.text);
        }
        EXPECT_EQ(menu.items()[0].id, 1);
        EXPECT_EQ(menu.mode(), CChoicePopupMenu::ShownWithCapture);
        const QImage image = menu.window()->grab().toImage();
        EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 128));
        EXPECT_EQ(image.pixelColor(1, 1), QColor(255, 255, 255));
        const QPoint first(menu.width() / 2, menu.items()[0].top + 8);
        moveTo(menu.window(), first);
        clickAt(menu.window(), first);
    });
    const QRect row = list->rowBounds(0);
    EXPECT_EQ(topLeft, list->viewport()->mapToGlobal(
                           QPoint(row.left() + 150 + 172, row.top() + row.height())));
    EXPECT_EQ(texts, (std::vector<QString>{"Tom && Jerry", "off", "a&&&&b"}));
    EXPECT_EQ(value(0), "Tom & Jerry");
    EXPECT_EQ(table.modifiedMark(0), 1);

    clickIntoPopup(0, [&](CChoicePopupMenu& menu) {
        EXPECT_EQ(menu.highlightedItem(), 0) << "the value shown";
        EXPECT_GE(menu.width(), list->columnWidth(ParameterTable::ValueColumn));
        const QPoint third(menu.width() / 2, menu.items()[2].top + 8);
        moveTo(menu.window(), third);
        clickAt(menu.window(), third, Qt::RightButton);
    });
    EXPECT_EQ(value(0), "a&&b");
}

TEST_F(ListChoiceTest, DismissingLeavesTheValueButKeepsTheMark) {
    const std::vector<std::function<void(CChoicePopupMenu&)>> dismissals = {
        [](CChoicePopupMenu& menu) {
            moveTo(menu.window(), {menu.width() / 2, menu.items()[1].top + 8});
            QTest::keyClick(windowOf(menu.window()), Qt::Key_Escape);
            EXPECT_EQ(menu.window(), nullptr) << "Esc closes the menu";
        },
        [](CChoicePopupMenu& menu) {
            pressAt(menu.window(), {menu.width() + 40, 5});
        },
    };
    for (const auto& dismiss : dismissals) {
        table.removeAllLines();
        table.clearMarks();
        showList({{"port", "mode", "on", AccessKind::ReadOnly, {"on", "off"}, {}, {}}});
        clickIntoPopup(0, dismiss);
        EXPECT_EQ(value(0), "on");
        EXPECT_EQ(table.modifiedMark(0), 1);
    }
}

} // namespace
} // namespace morvik::testing
