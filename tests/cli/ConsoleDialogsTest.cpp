#include "cli/ConsoleDialogs.h"

#include <gtest/gtest.h>
#include <sstream>

namespace morvik::cli {
namespace {

ConsoleDialogs::Settings settingsWith(bool yes, bool quietDone,
                                      std::optional<Credentials> credentials = {}) {
    ConsoleDialogs::Settings settings;
    settings.yes = yes;
    settings.quietDone = quietDone;
    settings.credentials = std::move(credentials);
    return settings;
}

TEST(ConsoleDialogs, AMessageBoxIsOneLineWithItsCaption) {
    struct Case {
        const char* text;
        const char* caption;
        const char* line;
    };
    const Case cases[] = {
        {"Invalid product id!!", "Error", "Error: Invalid product id!!\n"},
        {"Can't find configuration file! \n/data/Vela8_1.0.dcf", "Error",
         "Error: Can't find configuration file! /data/Vela8_1.0.dcf\n"},
        {"cal : 12 recv : 13 ", "Error", "Error: cal : 12 recv : 13 \n"},
        {"two\r\n\r\nbreaks\n", "Fatal Error", "Fatal Error: two breaks\n"},
        {"Shut down completed!. Now rebooting...", "Done",
         "Done: Shut down completed!. Now rebooting...\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream errors;
        ConsoleDialogs dialogs({}, errors);
        dialogs.showMessage(c.text, c.caption);
        EXPECT_EQ(errors.str(), c.line);
    }
}

TEST(ConsoleDialogs, JsonRunsLeaveOutDoneButKeepErrors) {
    std::ostringstream errors;
    ConsoleDialogs dialogs(settingsWith(false, true), errors);
    dialogs.showMessage("Shut down completed!. Now rebooting...", "Done");
    dialogs.showMessage("Checksum Error!", "Error");
    EXPECT_EQ(errors.str(), "Error: Checksum Error!\n");
    EXPECT_EQ(dialogs.errorMessages(), 1);
}

TEST(ConsoleDialogs, ConfirmationsFollowYesAndRefuseWithoutATerminal) {
    std::ostringstream errors;
    ConsoleDialogs withYes(settingsWith(true, false), errors);
    EXPECT_TRUE(withYes.confirm("Set Confirm", "You are to update parameter values !",
                                "               Do you want to continue ? ", ""));
    EXPECT_TRUE(withYes.confirm("Reboot Confirm", "You are to reboot the device(s) !",
                                "It makes device(s) sleep somewhile. ",
                                "Do you want to reboot device(s) now? "));
    // The offer that follows a completed write is declined here and only counted: the tool
    // reboots the written units itself once all of them have answered.
    EXPECT_FALSE(withYes.confirm("Reboot Confirm", "Parameter values updated !",
                                 "You have to reboot device(s) to apply changes.",
                                 "Do you want to reboot device(s) now? "));
    EXPECT_EQ(withYes.rebootOffers(), 1);
    EXPECT_FALSE(withYes.confirmationRefused());

    ConsoleDialogs withoutYes({}, errors);
    EXPECT_FALSE(withoutYes.confirm("Set Confirm", "You are to update parameter values !",
                                    "               Do you want to continue ? ", ""));
    EXPECT_TRUE(withoutYes.confirmationRefused());
    EXPECT_TRUE(errors.str().empty());
}

TEST(ConsoleDialogs, ThePasswordPromptTakesTheGivenCredentialsOrNeedsThem) {
    std::ostringstream errors;
    ConsoleDialogs given(settingsWith(false, false, Credentials{"field tech", "vela-4"}), errors);
    EXPECT_EQ(given.promptCredentials("[ vela4-line-b ]"), (Credentials{"field tech", "vela-4"}));
    EXPECT_FALSE(given.credentialsNeeded());

    ConsoleDialogs none({}, errors);
    EXPECT_EQ(none.promptCredentials("[ vela4-line-b ]"), std::nullopt);
    EXPECT_TRUE(none.credentialsNeeded());
}

} // namespace
} // namespace morvik::cli
