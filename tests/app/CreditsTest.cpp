#include "app/CAboutDialog.h"
#include "controls/CCreditsWindow.h"
#include "controls/CRollingTextCtrl.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace morvik {
namespace {

TEST(RollingText, TheFirstLineStartsAtTheFifteenthTickAndEachNextAfterItsPredecessorsHeight) {
    CRollingTextCtrl text;
    text.resize(140, 60);
    text.SetLines(QStringLiteral("one|two|three"), QLatin1Char('|'));
    text.SetTickInterval(0, 0);
    EXPECT_EQ(text.tickInterval(), 70);
    text.StartRolling();
    EXPECT_TRUE(text.isRolling());
    for (int tick = 1; tick <= 14; ++tick) {
        text.tick();
        EXPECT_EQ(text.currentLine(), -1) << tick;
    }
    text.tick();
    EXPECT_EQ(text.currentLine(), 0);
    EXPECT_EQ(text.scrolledIn(), 1);
    const int height = text.currentLineHeight();
    ASSERT_GT(height, 0);
    for (int tick = 1; tick < height; ++tick) {
        text.tick();
        EXPECT_EQ(text.currentLine(), 0) << tick;
    }
    EXPECT_EQ(text.scrolledIn(), height);
    text.tick();
    EXPECT_EQ(text.currentLine(), 1);
    // After the last line the list wraps.
    for (int tick = 0; tick < 2 * height + 1; ++tick) {
        text.tick();
    }
    EXPECT_EQ(text.currentLine(), 0);
    EXPECT_FALSE(text.firstPass());
}

TEST(RollingText, LinesStylesAndTheEmptyCase) {
    CRollingTextCtrl text;
    text.StartRolling();
    EXPECT_FALSE(text.isRolling());
    text.SetLines(QStringLiteral("a|b|"), QLatin1Char('|'));
    EXPECT_EQ(text.lines(), (QStringList{"a", "b", ""}));
    EXPECT_EQ(CRollingTextCtrl::styleOf(QStringLiteral("Title\t")).colour, QColor(255, 0, 0));
    EXPECT_EQ(CRollingTextCtrl::styleOf(QStringLiteral("Title\t")).pixelHeight, 21);
    EXPECT_EQ(CRollingTextCtrl::styleOf(QStringLiteral("Name\n")).colour, QColor(255, 255, 0));
    EXPECT_EQ(CRollingTextCtrl::styleOf(QStringLiteral("Name\r")).colour, QColor(0, 255, 255));
    EXPECT_EQ(CRollingTextCtrl::styleOf(QStringLiteral("plain")).pixelHeight, 15);
    EXPECT_TRUE(CRollingTextCtrl::styleOf(QStringLiteral(":/icons/morvik-48.png^")).isImage);
    text.SetTickInterval(2, 0);
    EXPECT_EQ(text.tickInterval(), 10);
    text.SetTickInterval(1, 55);
    EXPECT_EQ(text.tickInterval(), 55);
}

TEST(Credits, SixteenPlainLinesWithTheDecorations) {
    const QStringList lines = CCreditsWindow::kCreditsText.split(QLatin1Char('|'));
    ASSERT_EQ(lines.size(), 16);
    EXPECT_EQ(lines[0], QStringLiteral("+"));
    EXPECT_EQ(lines[1], QString(5, QLatin1Char('+')));
    EXPECT_EQ(lines[2], QString(10, QLatin1Char('+')));
    EXPECT_TRUE(lines.contains(QString(21, QLatin1Char('+'))));
    for (const QString& line : lines) {
        EXPECT_FALSE(CRollingTextCtrl::styleOf(line).isImage);
        EXPECT_EQ(CRollingTextCtrl::styleOf(line).pixelHeight, 15) << line.toStdString();
    }
}

TEST(About, ALeftThenARightClickOpensTheCreditsAndALeftClickClosesThem) {
    CAboutDialog about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About morvik"));
    bool hasOk = false;
    for (QPushButton* button : about.findChildren<QPushButton*>()) {
        hasOk = hasOk || button->text() == QStringLiteral("OK");
    }
    EXPECT_TRUE(hasOk);

    // A right click alone does nothing.
    QTest::mouseClick(&about, Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_EQ(about.creditsWindow(), nullptr);
    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(&about, Qt::RightButton, {}, QPoint(3, 3));
    CCreditsWindow* credits = about.creditsWindow();
    ASSERT_NE(credits, nullptr);
    EXPECT_TRUE(credits->isVisible());
    EXPECT_TRUE(credits->rollingText().isRolling());
    EXPECT_EQ(credits->rollingText().tickInterval(), 70);
    EXPECT_EQ(credits->mapToGlobal(QPoint(0, 0)), about.mapToGlobal(QPoint(5, 2)));
    EXPECT_TRUE(about.rect().contains(credits->geometry())) << "wholly over the box";
    // The real timer scrolls it: the first line is in after 15 ticks of 70 ms.
    ASSERT_TRUE(QTest::qWaitFor([&] { return credits->rollingText().currentLine() == 0; }, 3000));
    QTest::mouseClick(credits, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.creditsWindow() == nullptr; }, 1000));
}

} // namespace
} // namespace morvik
