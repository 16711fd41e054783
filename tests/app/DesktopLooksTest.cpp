// The program as a desktop shows it: legible in light and dark themes, worked from the keyboard,
// every widget named for screen readers.

#include "app/AppFixture.h"
#include "app/CClassFilterCombo.h"
#include "app/CMainToolBar.h"
#include "controls/CParamListCtrl.h"
#include "controls/ParameterListModel.h"
#include "controls/ReadableColours.h"
#include "view/ConfirmDialog.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;

QPalette lightPalette() {
    return QApplication::style()->standardPalette();
}

QPalette darkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    const QColor text(230, 230, 230);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, text);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, text);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, text);
        dark.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
        dark.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
    }
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    return dark;
}

// The contrast of the text in one cell of a screenshot: the background is the cell's commonest
// colour, the text the pixel that stands out most from it (anti-aliased edges stand out less).
// Gives 0 when the cell holds nothing but its background.
double textContrastIn(const QImage& image, const QRect& cell) {
    QHash<QRgb, int> counts;
    const QRect inside = cell.adjusted(2, 2, -2, -2) & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++counts[image.pixel(x, y) | 0xff000000u];
        }
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key() != background) {
            best = std::max(best, readable::contrastRatio(QColor::fromRgb(it.key()),
                                                          QColor::fromRgb(background)));
        }
    }
    return best;
}

class DesktopLooks : public AppFixture {
protected:
    void SetUp() override {
        startApp();
        probeAll();
    }
    void TearDown() override {
        QApplication::setPalette(lightPalette());
        AppFixture::TearDown();
    }

    CParamListCtrl& list() { return view().parameterList(); }

    void readFirstUnit() {
        clickRow(tree().topLevelItem(0));
        ASSERT_TRUE(waitUntil([&] { return !valueOf("0.1.1").empty(); }));
        QTest::qWait(100);
    }
};

TEST_F(DesktopLooks, TextReadsOnItsBackgroundInLightAndDarkThemes) {
    readFirstUnit();
    // Rows of every kind: a plain value, a marked one, a selected plain and a selected marked.
    ParameterTable& table = view().table();
    ASSERT_GE(table.lineCount(), 4);
    table.setModifiedMark(table.parameterOfLine(1), 1);
    table.setModifiedMark(table.parameterOfLine(3), 1);
    list().listModel().flushChanges();
    list().clearSelection();
    list().selectionModel()->select(list().model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list().selectionModel()->select(list().model()->index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    // Device rows selected and not.
    ASSERT_GE(tree().topLevelItemCount(), 2);

    const std::vector<std::pair<const char*, QPalette>> themes = {{"light", lightPalette()},
                                                                  {"dark", darkPalette()}};
    for (const auto& [name, palette] : themes) {
        QApplication::setPalette(palette);
        QApplication::processEvents();
        int cellsWithText = 0;

        const QImage params = list().viewport()->grab().toImage();
        for (int line = 0; line < 4; ++line) {
            for (int column = 0; column < ParameterTable::kColumnCount; ++column) {
                const QRect cell = list().visualRect(list().model()->index(line, column));
                const double contrast = textContrastIn(params, cell);
                if (contrast > 0) {
                    ++cellsWithText;
                    EXPECT_GE(contrast, readable::kMinimumTextContrast)
                        << name << " parameter line " << line << " column " << column;
                }
            }
        }
        // The marked value on the selected line is still red.
        int redPixels = 0;
        const QRect markedOnSelection =
            list().visualRect(list().model()->index(3, 2)) & params.rect();
        for (int y = markedOnSelection.top(); y <= markedOnSelection.bottom(); ++y) {
            for (int x = markedOnSelection.left(); x <= markedOnSelection.right(); ++x) {
                const QColor pixel = params.pixelColor(x, y);
                redPixels += pixel.red() > pixel.green() + 80 && pixel.red() > pixel.blue() + 80;
            }
        }
        EXPECT_GT(redPixels, 5) << name;
        const QImage devices = tree().viewport()->grab().toImage();
        // MORVIK_KEEP_SCREENSHOTS=DIR keeps what the test looked at, for a person to look at.
        if (const char* keep = std::getenv("MORVIK_KEEP_SCREENSHOTS")) {
            params.save(QString::fromUtf8(keep) + "/params-" + name + ".png");
            devices.save(QString::fromUtf8(keep) + "/devices-" + name + ".png");
            frame()->grab().save(QString::fromUtf8(keep) + "/window-" + name + ".png");
        }
        for (int row = 0; row < 2; ++row) {
            QTreeWidgetItem* item = tree().topLevelItem(row);
            for (int column = 0; column < tree().columnCount(); ++column) {
                QRect cell = tree().visualRect(tree().model()->index(row, column));
                if (column == 0) {
                    cell.setLeft(tree().labelRect(item).left()); // past the row's image
                }
                const double contrast = textContrastIn(devices, cell);
                if (contrast > 0) {
                    ++cellsWithText;
                    EXPECT_GE(contrast, readable::kMinimumTextContrast)
                        << name << " device row " << row << " column " << column
                        << (tree().isRowSelected(item) ? " (selected)" : "");
                }
            }
        }
        EXPECT_GE(cellsWithText, 12) << name << ": the screenshots hold the texts";
    }
}

TEST(ReadableColours, KeepsPairsThatReadAndMovesTheRestJustFarEnough) {
    struct Case {
        QColor wanted;
        QColor background;
        bool unchanged;
    };
    const std::vector<Case> cases = {
        {QColor(0, 0, 0), QColor(250, 254, 218), true},
        {QColor(255, 0, 0), QColor(255, 255, 255), false}, // 4.0: darkened
        {QColor(255, 0, 0), QColor(48, 140, 198), false},  // red on a blue selection
        {QColor(255, 0, 0), QColor(35, 35, 35), false},    // red on a dark list
        {QColor(240, 240, 240), QColor(250, 254, 218), false},
        {QColor(255, 255, 255), QColor(119, 119, 119), false}, // mid grey: black reads
        {QColor(230, 230, 230), QColor(35, 35, 35), true},
    };
    for (const Case& c : cases) {
        const QColor shown = readable::textOn(c.wanted, c.background);
        EXPECT_GE(readable::contrastRatio(shown, c.background), readable::kMinimumTextContrast)
            << c.wanted.name().toStdString() << " on " << c.background.name().toStdString();
        EXPECT_EQ(shown == c.wanted, c.unchanged) << c.wanted.name().toStdString();
    }
    // A marked value stays recognisably red where it has to move.
    const QColor onDark = readable::textOn(QColor(255, 0, 0), QColor(35, 35, 35));
    EXPECT_GT(onDark.red(), onDark.green() + 60);
}

TEST_F(DesktopLooks, EnterInTheDeviceListReadsTheSelectionAndArrowsDoNot) {
    QSignalSpy reads(&tree(), &CDeviceTreeList::readParametersRequested);
    tree().setFocus();
    QTest::keyClick(&tree(), Qt::Key_Down);
    QTest::keyClick(&tree(), Qt::Key_Down);
    EXPECT_EQ(reads.count(), 0);
    EXPECT_EQ(tree().caret(), tree().topLevelItem(1)) << "the first Down selects the first row";
    QTest::keyClick(&tree(), Qt::Key_Return);
    ASSERT_EQ(reads.count(), 1);
    EXPECT_EQ(reads.at(0).at(0).toInt(), 0);
    ASSERT_TRUE(waitUntil([&] { return !valueOf("0.1.1").empty(); }));
    EXPECT_EQ(valueOf("0.1.1"), tree().GetItemText(tree().caret(), 0).toStdString())
        << "the unit under the caret was read";

    tree().ClearSelection(false);
    QTest::keyClick(&tree(), Qt::Key_Enter);
    EXPECT_EQ(reads.count(), 1) << "nothing selected, nothing read";
}

TEST_F(DesktopLooks, EveryWidgetTheKeyboardReachesHasANameAndShowsItsFocus) {
    readFirstUnit();
    int named = 0;
    for (QWidget* widget : frame()->findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        ++named;
    }
    EXPECT_GE(named, 3);
    // The in-place editor is named after the parameter it edits.
    ParameterTable& table = view().table();
    int editable = 0;
    while (editable < table.lineCount() && table.description().accessKind(table.parameterOfLine(
                                               editable)) != AccessKind::ReadWrite) {
        ++editable;
    }
    ASSERT_LT(editable, table.lineCount());
    list().setCurrentIndex(list().model()->index(editable, Column::ValueColumn));
    list().setFocus();
    QTest::keyClick(&list(), Qt::Key_F2);
    ASSERT_NE(list().openEditor(), nullptr);
    EXPECT_EQ(list().openEditor()->accessibleName().toStdString(),
              table.text(editable, Column::ParameterColumn));
    QTest::keyClick(list().openEditor(), Qt::Key_Escape);

    // The parameter list shows where the keyboard is: the current row looks different with
    // the focus than without it.
    list().clearSelection();
    list().setCurrentIndex(list().model()->index(1, Column::ParameterColumn));
    list().setFocus();
    QApplication::processEvents();
    const QRect cell = list().visualRect(list().currentIndex());
    const QImage focused = list().viewport()->grab(cell).toImage();
    tree().setFocus();
    QApplication::processEvents();
    const QImage unfocused = list().viewport()->grab(cell).toImage();
    EXPECT_NE(focused, unfocused);

    // A dialog's buttons show the focus from the start, not only after Tab was pressed.
    ConfirmDialog question(QStringLiteral("Reboot Confirm"), {}, {}, {}, frame());
    showActive(question);
    QPushButton* no = question.findChildren<QPushButton*>().last();
    const QImage withoutFocus = no->grab().toImage();
    no->setFocus(Qt::OtherFocusReason);
    EXPECT_NE(no->grab().toImage(), withoutFocus);
}

TEST_F(DesktopLooks, KeyboardAndScreenReadersMeetThePartsInReadingOrder) {
    readFirstUnit();
    QAccessibleInterface* panes = QAccessible::queryAccessibleInterface(&frame()->splitter());
    EXPECT_LT(panes->indexOfChild(QAccessible::queryAccessibleInterface(&leftView())),
              panes->indexOfChild(QAccessible::queryAccessibleInterface(&view())));
    for (const QToolButton* button : frame()->toolBar().findChildren<QToolButton*>()) {
        EXPECT_FALSE(button->accessibleName().isEmpty() && button->text().isEmpty());
    }
    tree().setFocus();
    QTest::keyClick(&tree(), Qt::Key_Tab);
    EXPECT_TRUE(list().hasFocus());
    QTest::keyClick(&list(), Qt::Key_Tab);
    EXPECT_FALSE(list().hasFocus()) << "the parameter list is one stop";
    QTest::keyClick(frame()->windowHandle(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(frame()->toolBar().classFilter().view()->isVisible()) << "its list is open";
    frame()->toolBar().classFilter().hidePopup();

    // Values say whether they can be changed, and when they are marked for writing.
    ParameterTable& table = view().table();
    table.setModifiedMark(table.parameterOfLine(0), 1);
    QAccessibleTableInterface* cells =
        QAccessible::queryAccessibleInterface(&list())->tableInterface();
    QMap<QString, int> said;
    for (int line = 0; line < table.lineCount(); ++line) {
        const QString description =
            cells->cellAt(line, Column::ValueColumn)->text(QAccessible::Description);
        ++said[description];
        EXPECT_EQ(
            description.startsWith(QStringLiteral("changeable")),
            bool(list().model()->index(line, Column::ValueColumn).flags() & Qt::ItemIsEditable));
    }
    EXPECT_EQ(said.value(QStringLiteral("changeable, marked for writing")), 1);
    EXPECT_GT(said.value(QStringLiteral("read only")), 0);
    EXPECT_GT(said.value(QStringLiteral("changeable")), 0);
}

TEST_F(DesktopLooks, TheParameterTableFillsThePaneAndShowsWholeClassNames) {
    clickRow(rowNamed(QStringLiteral("orion16-rack")));
    ParameterTable& table = view().table();
    ASSERT_TRUE(waitUntil([&] { return table.lineCount() > 0; }));
    frame()->resize(frame()->width() + 300, frame()->height());
    QApplication::processEvents();
    EXPECT_EQ(list().horizontalHeader()->length(), list().viewport()->width());
    int widest = 0;
    for (int line = 0; line < table.lineCount(); ++line) {
        widest = std::max(widest, list().fontMetrics().horizontalAdvance(
                                      QString::fromLatin1(table.text(line, Column::ClassColumn))));
    }
    EXPECT_GT(widest, CParamListCtrl::kClassColumnWidth - 8) << "a long class name is shown";
    EXPECT_GE(list().columnWidth(Column::ClassColumn), widest + 8);
}

TEST_F(DesktopLooks, DialogsOpenOverTheMainWindowWithoutMinimiseOrMaximise) {
    readFirstUnit();
    for (const CMainFrame::Command command : {CMainFrame::About, CMainFrame::Reboot}) {
        bool checked = false;
        QTimer::singleShot(0, frame(), [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            checked = true;
            EXPECT_EQ(dialog->parentWidget()->window(), frame());
            EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
            EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint);
            dialog->reject();
        });
        frame()->commandAction(command)->trigger();
        EXPECT_TRUE(checked) << command;
    }
}

} // namespace
} // namespace morvik::testing
