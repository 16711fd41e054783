#include "ParamListFixture.h"

#include <QImage>
#include <QScrollBar>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;

std::vector<ListLine> accessLines() {
    return {
        {"system", "name", "dock", AccessKind::ReadWrite, {}, {}, {}},
        {"system", "serial", "A1", AccessKind::ReadOnly, {}, {}, {}},
        {"system", "secret", "", AccessKind::Hidden, {}, {}, {}},
        {"system", "plain", "x", AccessKind::Plain, {}, {}, {}},
        {"port", "mode", "on", AccessKind::ReadOnly, {"on", "off"}, {}, {}},
        {"port", "parity", "none", AccessKind::Hidden, {"none", "odd"}, {}, {}},
    };
}

using ParamListTest = ParamListFixture;

TEST_F(ParamListTest, ShowsThreeLeftAlignedColumnsWithGridAndRowSelection) {
    showList(accessLines());
    ASSERT_EQ(list->horizontalHeader()->count(), 3);
    const std::vector<std::pair<QString, int>> expected = {
        {"class", 150}, {"parameter", 172}, {" Value", 175}};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(),
                  expected[static_cast<std::size_t>(column)].first);
        EXPECT_EQ(list->columnWidth(column), expected[static_cast<std::size_t>(column)].second);
    }
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(ParamListTest, HitTestGivesSharedEdgesToTheLeftColumnAndNothingPastTheLastOne) {
    showList(accessLines());
    const QRect row1 = list->rowBounds(1);
    const int y = row1.center().y();
    struct Case {
        int x;
        std::optional<CCellEditList::Cell> cell;
    };
    const std::vector<Case> cases = {
        {0, CCellEditList::Cell{1, 0}},
        {150, CCellEditList::Cell{1, 0}},
        {151, CCellEditList::Cell{1, 1}},
        {322, CCellEditList::Cell{1, 1}},
        {323, CCellEditList::Cell{1, 2}},
        {496, CCellEditList::Cell{1, 2}},
        {497, std::nullopt},
        {560, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list->HitTestCell({c.x, y}), c.cell) << "x " << c.x;
    }
    EXPECT_EQ(list->HitTestCell({10, row1.top()}), (CCellEditList::Cell{1, 0}));
    const QRect last = list->rowBounds(5);
    EXPECT_EQ(list->HitTestCell({10, last.bottom() + 1}), std::nullopt) << "below the last row";
}

TEST_F(ParamListTest, ValueClicksEditOnlyReadWriteValuesAndMarkWhatTheyOpen) {
    struct Case {
        int row;
        bool editor;
        bool popup;
    };
    const std::vector<Case> cases = {
        {0, true, false},  {1, false, false}, {2, false, false},
        {3, false, false}, {4, false, true},  {5, false, true},
    };
    for (const Case& c : cases) {
        table.removeAllLines();
        table.clearMarks();
        showList(accessLines());
        if (c.popup) {
            clickIntoPopup(c.row, [&](CChoicePopupMenu& menu) {
                EXPECT_EQ(table.modifiedMark(c.row), 1) << "marked as soon as it opens";
                pressAt(menu.window(), {-20, -20});
            });
        } else {
            clickAt(client(), cellCentre(c.row, Column::ValueColumn));
        }
        EXPECT_EQ(list->openEditor() != nullptr, c.editor) << "row " << c.row;
        EXPECT_EQ(table.modifiedMark(c.row), c.editor || c.popup ? 1 : 0) << "row " << c.row;
        EXPECT_EQ(list->editRow(), c.row);
        list->commitOpenEdit();
    }
}

TEST_F(ParamListTest, ClassAndParameterClicksOnlySelect) {
    showList(accessLines());
    clickAt(client(), cellCentre(2, Column::ParameterColumn));
    clickAt(client(), cellCentre(0, Column::ParameterColumn));
    EXPECT_EQ(list->openEditor(), nullptr);
    clickAt(client(), cellCentre(0, Column::ClassColumn));
    EXPECT_EQ(list->openEditor(), nullptr);
    EXPECT_EQ(list->currentIndex().row(), 0);
    EXPECT_TRUE(list->selectionModel()->isRowSelected(0, {}));
    for (int row = 0; row < table.lineCount(); ++row) {
        EXPECT_EQ(table.modifiedMark(row), 0);
    }
    // Double clicks open nothing either (F2 and Enter do: see the keyboard test).
    QTest::mouseDClick(windowOf(client()), Qt::LeftButton, {},
                       inWindow(client(), cellCentre(1, Column::ValueColumn)));
    EXPECT_EQ(list->openEditor(), nullptr);
    for (int row = 0; row < table.lineCount(); ++row) {
        EXPECT_EQ(table.modifiedMark(row), 0);
    }
}

TEST_F(ParamListTest, F2AndEnterOpenTheCurrentValueAsASecondClickDoes) {
    struct Case {
        int row;
        Qt::Key key;
        bool editor;
        bool popup;
    };
    const std::vector<Case> cases = {
        {0, Qt::Key_F2, true, false},      {0, Qt::Key_Return, true, false},
        {0, Qt::Key_Enter, true, false},   {1, Qt::Key_F2, false, false},
        {2, Qt::Key_Return, false, false}, {4, Qt::Key_F2, false, true},
        {5, Qt::Key_Return, false, true},
    };
    for (const Case& c : cases) {
        table.removeAllLines();
        table.clearMarks();
        showList(accessLines());
        list->setCurrentIndex(list->model()->index(c.row, Column::ClassColumn));
        bool popupOpened = false;
        QPoint popupAt;
        auto connection = QObject::connect(list.get(), &CParamListCtrl::choicePopupOpened,
                                           [&](CChoicePopupMenu* menu) {
                                               popupOpened = true;
                                               // Esc closes it without a pick.
                                               whenLoopRuns([menu, &popupAt] {
                                                   ASSERT_NE(menu->window(), nullptr);
                                                   popupAt = menu->window()->pos();
                                                   QTest::keyClick(menu->window(), Qt::Key_Escape);
                                               });
                                           });
        QTest::keyClick(list.get(), c.key);
        QObject::disconnect(connection);
        EXPECT_EQ(list->openEditor() != nullptr, c.editor) << "row " << c.row;
        EXPECT_EQ(popupOpened, c.popup) << "row " << c.row;
        EXPECT_EQ(table.modifiedMark(c.row), c.editor || c.popup ? 1 : 0) << "row " << c.row;
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "row " << c.row;
        if (c.popup) {
            const QRect row = list->rowBounds(c.row);
            EXPECT_EQ(popupAt, list->viewport()->mapToGlobal(
                                   QPoint(row.left() + 150 + 172, row.top() + row.height())))
                << "under the value cell";
            EXPECT_EQ(value(c.row), c.row == 4 ? "on" : "none") << "Esc picks nothing";
        }
        list->commitOpenEdit();
    }
}

TEST_F(ParamListTest, ThePopUpOpenedWithKeysIsWorkedWithArrowsAndEnter) {
    showList({{"port", "mode", "", AccessKind::ReadWrite, {"on", "off", "auto"}, {}, {}}});
    list->setCurrentIndex(list->model()->index(0, Column::ValueColumn));
    std::vector<int> highlighted;
    auto connection = QObject::connect(
        list.get(), &CParamListCtrl::choicePopupOpened, [&](CChoicePopupMenu* menu) {
            whenLoopRuns([menu, &highlighted] {
                ASSERT_NE(menu->window(), nullptr);
                // Down from nothing takes the first item; Up wraps past the top to the last.
                for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up,
                                    Qt::Key_End, Qt::Key_Home, Qt::Key_Down}) {
                    QTest::keyClick(menu->window(), key);
                    highlighted.push_back(menu->highlightedItem());
                }
                QTest::keyClick(menu->window(), Qt::Key_Return);
            });
        });
    QTest::keyClick(list.get(), Qt::Key_Return);
    QObject::disconnect(connection);
    EXPECT_EQ(highlighted, (std::vector<int>{0, 1, 0, 2, 1, 2, 0, 1}));
    EXPECT_EQ(value(0), "off");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ParamListTest, MarkedValuesAreDrawnRedAndOthersBlack) {
    showList(accessLines());
    clickAt(client(), cellCentre(0, Column::ValueColumn));
    list->commitOpenEdit();
    QApplication::processEvents();
    const auto colourOf = [&](int row, int column) {
        return list->model()->index(row, column).data(Qt::ForegroundRole).value<QColor>();
    };
    EXPECT_EQ(colourOf(0, 2), QColor(255, 0, 0));
    EXPECT_EQ(colourOf(0, 1), QColor(0, 0, 0));
    EXPECT_EQ(colourOf(1, 2), QColor(0, 0, 0));

    // And on screen: the marked value has red pixels, the unmarked one has none.
    list->clearSelection();
    list->setCurrentIndex({});
    const QImage image = list->viewport()->grab().toImage();
    const auto redPixels = [&](int row) {
        const QRect cell(323, list->rowBounds(row).top(), 170, list->rowBounds(row).height());
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.red() > 180 && pixel.green() < 90 && pixel.blue() < 90 ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_GT(redPixels(0), 0);
    EXPECT_EQ(redPixels(1), 0);
}

TEST_F(ParamListTest, FocusTurnsPlainNumbersIntoDefinedNamesLastMatchWinning) {
    const std::vector<std::pair<std::string, int>> defined = {
        {"off", 0}, {"three", 3}, {"tres", 3}, {"minus", -1}};
    showList({
        {"c", "a", "3", AccessKind::ReadWrite, {}, defined, {}},
        {"c", "b", "03", AccessKind::ReadWrite, {}, defined, {}},
        {"c", "c", "3  ms", AccessKind::ReadWrite, {}, defined, {}},
        {"c", "d", "-1", AccessKind::ReadOnly, {}, defined, {}},
        {"c", "e", "3", AccessKind::ReadWrite, {}, {}, {}},
    });
    QWidget other;
    showActive(other);
    showActive(*list);
    list->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(value(0), "tres");
    EXPECT_EQ(value(1), "03");
    EXPECT_EQ(value(2), "3  ms");
    EXPECT_EQ(value(3), "minus");
    EXPECT_EQ(value(4), "3");
}

TEST_F(ParamListTest, EmptyListShowsItsMessageUntilARowExists) {
    showList({}, {600, 300});
    const auto darkPixelsBelowBand = [&] {
        QApplication::processEvents();
        const QImage image = list->grab().toImage();
        int count = 0;
        // Right of the class column, from the band down to the second row.
        for (int y = 30; y < 60; ++y) {
            for (int x = 160; x < image.width() - 20; ++x) {
                count += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_GT(darkPixelsBelowBand(), 0);
    EXPECT_EQ(CParamListCtrl::emptyListMessage(),
              QStringLiteral("No Device is selected.   Select a device. "));
    table.insertLine(0, "system");
    EXPECT_EQ(darkPixelsBelowBand(), 0);
}

TEST_F(ParamListTest, ScrollingWhileEditingStoresTheEditFirst) {
    std::vector<ListLine> lines;
    for (int i = 0; i < 60; ++i) {
        lines.push_back(
            {"c", "p" + std::to_string(i), std::to_string(i), AccessKind::ReadWrite, {}, {}, {}});
    }
    showList(lines, {600, 200});
    clickAt(client(), cellCentre(1, Column::ValueColumn));
    CCellEditor* editor = list->openEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "77");
    list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(list->openEditor(), nullptr);
    EXPECT_EQ(value(1), "77");
    EXPECT_GT(list->verticalScrollBar()->value(), 0);
}

TEST_F(ParamListTest, EditCellRefusesNarrowColumnsAndScrollsToAColumnOffTheRight) {
    showList(accessLines(), {170, 300});
    CCellEditor* editor = list->EditCell(0, Column::ValueColumn);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->x(), 4) << "the value column was scrolled to the left edge";
    EXPECT_EQ(editor->geometry().top(), list->rowBounds(0).top());
    EXPECT_TRUE(editor->hasSelectedText());
    EXPECT_EQ(editor->selectedText(), QStringLiteral("dock"));
    list->commitOpenEdit();

    list->setColumnWidth(Column::ValueColumn, 4);
    EXPECT_EQ(list->EditCell(0, Column::ValueColumn), nullptr);
    EXPECT_EQ(list->EditCell(0, 3), nullptr);
    EXPECT_EQ(list->EditCell(99, Column::ValueColumn), nullptr);
}

TEST_F(ParamListTest, EditorSitsInsideTheValueCell) {
    showList(accessLines());
    CCellEditor* editor = list->EditCell(1, Column::ValueColumn);
    ASSERT_NE(editor, nullptr);
    const QRect bounds = list->rowBounds(1);
    EXPECT_EQ(editor->geometry(), QRect(150 + 172 + 4, bounds.top(), 175 - 3, bounds.height()));
    list->commitOpenEdit();
}

} // namespace
} // namespace morvik::testing
