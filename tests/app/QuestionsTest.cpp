// Questions the program asks: a No is a No, from the keyboard as from the mouse.

#include "support/GuiTestSupport.h"
#include "view/ConfirmDialog.h"

#include <map>

namespace morvik::testing {
namespace {

// Set Confirm, Reboot Confirm, Clear Confirm, Exit Confirm and Load Confirm are this dialog.
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
    const std::map<QString, Qt::Key> keys{{"Tab", Qt::Key_Tab},
                                          {"Enter", Qt::Key_Return},
                                          {"Space", Qt::Key_Space},
                                          {"Escape", Qt::Key_Escape}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString() + (c.preferred == Default::No ? ", No default" : ""));
        DialogAnswerer answerer([&](QWidget& dialog) {
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
            for (const QString& key : c.keys.split(' ')) {
                key == "close" ? void(dialog.close())
                               : QTest::keyClick(dialog.windowHandle(), keys.at(key));
            }
        });
        EXPECT_EQ(ConfirmDialog::ask("Set Confirm", "line 1", "line 2", "", nullptr, c.preferred),
                  c.yes);
        EXPECT_EQ(answerer.answered(), 1);
    }
}

} // namespace
} // namespace morvik::testing
