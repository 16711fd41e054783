#include "ParamListFixture.h"

#include <QAction>
#include <QFontMetrics>
#include <QVBoxLayout>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;
using CellEditorTest = ParamListFixture;

std::vector<ListLine> editableLines() {
    return {
        {"timing", "delay", "250  ms", AccessKind::ReadWrite, {}, {}, "ms"},
        {"system", "name", "dock", AccessKind::ReadWrite, {}, {}, {}},
    };
}

TEST_F(CellEditorTest, EnterPutsTheUnitAfterTheFirstWordOrKeepsTheTextAsTyped) {
    struct Case {
        int row;
        QString typed;
        std::string stored;
    };
    const std::vector<Case> cases = {
        {0, "100 abc", "100  ms"}, {0, "100", "100  ms"}, {0, " 7", "  ms"},
        {1, "100 abc", "100 abc"}, {1, "a  b ", "a  b "},
    };
    showList(editableLines());
    for (const Case& c : cases) {
        CCellEditor* editor = openEditorOn(c.row);
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, c.typed);
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(list->openEditor(), nullptr);
        EXPECT_TRUE(list->hasFocus());
        EXPECT_EQ(value(c.row), c.stored) << c.typed.toStdString();
        EXPECT_EQ(table.modifiedMark(c.row), 1);
    }
}

TEST_F(CellEditorTest, EscLeavesTheCellAsItWasButKeepsTheMark) {
    showList(editableLines());
    CCellEditor* editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "other");
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(list->openEditor(), nullptr);
    EXPECT_EQ(value(1), "dock");
    EXPECT_EQ(table.modifiedMark(1), 1);
    EXPECT_EQ(list->model()->index(1, 2).data(Qt::ForegroundRole).value<QColor>(),
              QColor(255, 0, 0));
}

TEST_F(CellEditorTest, LosingTheFocusStoresTheTextAndTheNextCellOpens) {
    showList(editableLines());
    CCellEditor* editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "lab");
    CCellEditor* next = openEditorOn(0);
    EXPECT_EQ(value(1), "lab");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->row(), 0);
    EXPECT_EQ(next->text(), QStringLiteral("250  ms"));
    list->commitOpenEdit();
}

TEST_F(CellEditorTest, GrowsToTheRightWithItsTextUpToTheClientEdgeAndNeverShrinks) {
    showList(editableLines(), {560, 300});
    CCellEditor* editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    const int startWidth = editor->width();
    EXPECT_EQ(startWidth, 175 - 3);
    QTest::keyClicks(editor, QString(20, QLatin1Char('w')));
    const int textWidth = QFontMetrics(editor->font()).horizontalAdvance(editor->text());
    EXPECT_EQ(editor->width(), std::max(startWidth, textWidth + 5));
    QTest::keyClicks(editor, QString(80, QLatin1Char('w')));
    EXPECT_EQ(editor->x() + editor->width(), list->viewport()->width());
    const int grown = editor->width();
    for (int i = 0; i < 90; ++i) {
        QTest::keyClick(editor, Qt::Key_Backspace);
    }
    EXPECT_EQ(editor->width(), grown);
    list->commitOpenEdit();
}

TEST_F(CellEditorTest, KeepsEnterEscDeleteAndControlKeysFromTheWindowsShortcuts) {
    showList(editableLines());
    int triggered = 0;
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Delete),
          QKeySequence(Qt::CTRL | Qt::Key_A), QKeySequence(Qt::Key_Escape)}) {
        auto* action = new QAction(list.get());
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
        list->addAction(action);
    }
    CCellEditor* editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(windowOf(editor), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->selectedText(), QStringLiteral("dock"));
    QTest::keyClick(windowOf(editor), Qt::Key_Delete);
    EXPECT_EQ(editor->text(), QString());
    typeInto(windowOf(editor), "pier");
    QTest::keyClick(windowOf(editor), Qt::Key_Return);
    EXPECT_EQ(triggered, 0);
    EXPECT_EQ(value(1), "pier");

    editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(windowOf(editor), Qt::Key_Escape);
    EXPECT_EQ(triggered, 0);
    EXPECT_EQ(list->openEditor(), nullptr);
    // Outside the editor the window's shortcuts work as usual.
    QTest::keyClick(windowOf(list.get()), Qt::Key_Delete);
    EXPECT_EQ(triggered, 1);
}

TEST_F(CellEditorTest, TheTableAskingForPendingEditsStoresTheOpenOne) {
    showList(editableLines());
    CCellEditor* editor = openEditorOn(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "quay");
    table.commitPendingEdit();
    EXPECT_EQ(list->openEditor(), nullptr);
    EXPECT_EQ(value(1), "quay");
}

} // namespace
} // namespace morvik::testing
