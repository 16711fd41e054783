// Questions the program asks: a No is a No, from the keyboard as from the mouse.

#include "AppFixture.h"
#include "view/ConfirmDialog.h"

#include <QPushButton>
#include <map>

namespace morvik::testing {
namespace {

// Keys typed into the open question, "close" closing its window instead.
void typeAnswer(QWidget& dialog, const QStringList& keys) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const std::map<QString, Qt::Key> named{{"Tab", Qt::Key_Tab},
                                           {"Enter", Qt::Key_Return},
                                           {"Space", Qt::Key_Space},
                                           {"Escape", Qt::Key_Escape}};
    for (const QString& key : keys) {
        if (key == "close") {
            dialog.close();
        } else {
            QTest::keyClick(dialog.windowHandle(), named.at(key));
        }
    }
}

// Set Confirm, Reboot Confirm, Clear Confirm, Exit Confirm and Load Confirm are all this dialog.
TEST(Questions, EnterPressesTheFocusedButtonEscapeAndClosingAreNo) {
    using Default = ConfirmDialog::Default;
    struct Case {
        QString keys;
        Default preferred;
        bool yes;
    };
    const Case cases[] = {
        {"Enter", Default::Yes, true},         {"Tab Enter", Default::Yes, false},
        {"Tab Tab Enter", Default::Yes, true}, {"Tab Space", Default::Yes, false},
        {"Escape", Default::Yes, false},       {"close", Default::Yes, false},
        {"Enter", Default::No, false},         {"Tab Enter", Default::No, true},
        {"Escape", Default::No, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString() + (c.preferred == Default::No ? ", No default" : ""));
        DialogAnswerer answerer([&](QWidget& dialog) { typeAnswer(dialog, c.keys.split(' ')); });
        EXPECT_EQ(ConfirmDialog::ask("Set Confirm", "line 1", "line 2", "", nullptr, c.preferred),
                  c.yes);
        EXPECT_EQ(answerer.answered(), 1);
    }
}

class ExitQuestion : public AppFixture {};

TEST_F(ExitQuestion, UnwrittenValuesAreNotDroppedWithoutAYes) {
    startApp();
    probeAll();
    clickRow(rowNamed("vela1-dock"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    QStringList keys{"Enter"};
    DialogAnswerer answerer([&](QWidget& dialog) { typeAnswer(dialog, keys); });
    frame()->close(); // nothing marked: no question
    EXPECT_EQ(answerer.answered(), 0);
    frame()->show();
    view().table().setModifiedMark(session().findParameter("0.1.1"), 1);
    frame()->commandAction(CMainFrame::Exit)->trigger();
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.captions()[0], "Exit Confirm");
    EXPECT_TRUE(frame()->isVisible());
    keys = {"Tab", "Enter"};
    frame()->close();
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_FALSE(frame()->isVisible());
}

} // namespace
} // namespace morvik::testing
