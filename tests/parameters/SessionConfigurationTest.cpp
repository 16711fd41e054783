#include "SessionHarness.h"
#include "stores/CredentialLog.h"

#include <sys/stat.h>
#include <unistd.h>

namespace morvik::testing {
namespace {

using Message = ScriptedDialogs::Message;

class SessionConfiguration : public ::testing::Test {
protected:
    SessionConfiguration() : harness(fleetJson(demoUnits())) {}

    void readUnits(const std::vector<std::string>& names) {
        harness.select(names);
        harness.session().readParametersRequested(0);
        harness.pump();
        harness.dialogs.messages.clear();
    }

    SessionHarness harness;
};

TEST_F(SessionConfiguration, SaveWritesEveryLineIncludingThoseAfterHiddenRows) {
    readUnits({"dock"});
    const std::string path = harness.data().file("dock.cnf");
    ASSERT_TRUE(harness.session().saveConfiguration(path));
    const std::string text = readTextFile(path);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "1 \t 07 \t 1.2 \n");
    // One value line per list line, hidden rows (empty parameter text) included, then the
    // line that says how values are written.
    const int lines = harness.table.lineCount();
    EXPECT_EQ(static_cast<int>(std::count(text.begin(), text.end(), '\n')), lines + 2);
    EXPECT_TRUE(text.ends_with("\n<escaped>\n"));
    const int last = lines - 1;
    EXPECT_NE(text.find("[" + std::to_string(last) + "]\t "), std::string::npos);
    EXPECT_NE(text.find("[0]\t dock\n"), std::string::npos);
    // Blanks become "_", empty values "<none>".
    EXPECT_NE(text.find("_"), std::string::npos);
    EXPECT_NE(text.find("<none>"), std::string::npos);
}

TEST_F(SessionConfiguration, LoadPutsBackWritableValuesAndMarksOnlyChangedOnes) {
    readUnits({"dock"});
    const std::string path = harness.data().file("dock.cnf");
    const int contact = harness.session().findParameter("0.7.1"); // R/W, saved empty
    harness.session().setValueText(contact, "");
    ASSERT_TRUE(harness.session().saveConfiguration(path));
    harness.session().setValueText(contact, "scribbled");

    const int name = harness.session().findParameter("0.1.1");     // R/W, changed below
    const int port = harness.session().findParameter("3.7.1");     // R/W, unchanged
    const int firmware = harness.session().findParameter("0.2.1"); // R/O, changed below
    const std::string firmwareText = harness.cell("0.2.1");
    harness.session().setValueText(name, "scribbled");
    harness.session().setValueText(firmware, "scribbled");

    ASSERT_TRUE(harness.session().loadConfiguration(path));
    EXPECT_TRUE(harness.dialogs.messages.empty());
    EXPECT_EQ(harness.cell("0.1.1"), "dock");
    EXPECT_EQ(harness.table.modifiedMark(name), 1);
    EXPECT_EQ(harness.table.modifiedMark(port), 0);
    EXPECT_EQ(harness.cell("0.7.1"), "");
    EXPECT_EQ(harness.table.modifiedMark(contact), 1); // so that Set writes the empty value
    EXPECT_EQ(harness.cell("0.2.1"), "scribbled");     // read-only rows are left alone
    EXPECT_EQ(harness.table.modifiedMark(firmware), 0);
    EXPECT_NE(firmwareText, "scribbled");
}

TEST_F(SessionConfiguration, ARefusedSaveLeavesTheChosenFileAlone) {
    readUnits({"dock"});
    const std::string path = harness.data().file("keep.cnf");
    { std::ofstream(path) << "precious\n"; }
    harness.select({"dock", "rack"});
    EXPECT_FALSE(harness.session().saveConfiguration(path));
    EXPECT_EQ(harness.dialogs.messages,
              (std::vector<Message>{{"You've selected other devices.!!", "Error"}}));
    EXPECT_EQ(readTextFile(path), "precious\n");
}

TEST_F(SessionConfiguration, LoadRefusals) {
    readUnits({"dock"});
    const std::string other = harness.data().file("other.cnf");
    { std::ofstream(other) << "1 \t 07 \t 1.3 \n[0]\t changed\n"; }
    EXPECT_FALSE(harness.session().loadConfiguration(other));
    EXPECT_FALSE(harness.session().loadConfiguration(harness.data().file("missing.cnf")));
    harness.selection.units.clear();
    EXPECT_FALSE(harness.session().loadConfiguration(other));
    EXPECT_EQ(harness.dialogs.messages,
              (std::vector<Message>{{"Saved file not match. Wrong product id & version.", "Error"},
                                    {"File Open Error", "Error"},
                                    {"No Selected Device !!", "Error"}}));
    harness.select({"dock"});
    EXPECT_EQ(harness.cell("0.1.1"), "dock");
}

TEST_F(SessionConfiguration, SaveIntoAnUnwritablePlaceReportsFileOpenError) {
    readUnits({"dock"});
    // A directory component that is a regular file: no user, root included, can write there.
    const std::string blocker = harness.data().file("not-a-directory");
    { std::ofstream(blocker) << "x"; }
    EXPECT_FALSE(harness.session().saveConfiguration(blocker + "/dock.cnf"));
    EXPECT_EQ(harness.dialogs.messages,
              (std::vector<Message>{
                  {"File Open Error\n" + blocker + "/dock.cnf: Not a directory", "Error"}}));
}

// A file that holds the units' login is as private as pwd.ini, also when it replaces a file
// that others could read; a file without it stays readable as before.
TEST_F(SessionConfiguration, AFileHoldingTheLoginIsReadableByItsOwnerOnly) {
    struct Case {
        const char* what;
        int group; // 0 all classes, 2 Network, 3 Security
        bool fileExisted;
        mode_t permissions;
    } const cases[] = {
        {"all classes hold the login rows", 0, false, 0600},
        {"the Security group holds them", 3, false, 0600},
        {"a readable file is made private", 0, true, 0600},
        {"the Network group does not", 2, false, 0644},
    };
    const mode_t oldMask = ::umask(022);
    readUnits({"dock"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness.session().showGroup(c.group);
        const std::string path = harness.data().file(std::string(c.what) + ".cnf");
        if (c.fileExisted) {
            std::ofstream(path) << "old\n";
            ::chmod(path.c_str(), 0644);
        }
        ASSERT_TRUE(harness.session().saveConfiguration(path));
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, c.permissions);
    }
    ::umask(oldMask);
}

TEST_F(SessionConfiguration, ClearEmptiesTheCredentialLogAndEveryValue) {
    readUnits({"dock"});
    harness.session().clearCredentials();
    EXPECT_EQ(readTextFile(harness.data().file("pwd.ini")), "");
    for (int line = 0; line < harness.table.lineCount(); ++line) {
        EXPECT_EQ(harness.table.text(line, ParameterTable::ValueColumn), "");
    }
    // The next read of a unit asks for its credentials.
    harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"});
    harness.session().readParametersRequested(0);
    harness.pump();
    EXPECT_EQ(harness.dialogs.promptLabels, (std::vector<std::string>{"[ dock ]"}));
    EXPECT_EQ(harness.cell("0.1.1"), "dock");
}

// A Clear that leaves the passwords on disk says so; one that can only empty the file where
// it stands (a directory it may not write) does that.
TEST_F(SessionConfiguration, ClearThatCannotEmptyTheLogSaysSo) {
    readUnits({"dock"});
    const std::string log = harness.data().file("pwd.ini");
    const std::string kept = readTextFile(log);
    ASSERT_FALSE(kept.empty());

    if (::geteuid() != 0) { // permissions do not stop root
        ASSERT_EQ(::chmod(harness.data().directory().c_str(), 0555), 0);
        harness.session().clearCredentials();
        ::chmod(harness.data().directory().c_str(), 0755);
        EXPECT_TRUE(harness.dialogs.messages.empty());
        EXPECT_EQ(readTextFile(log), "");
        std::ofstream(log, std::ios::binary) << kept;
    }

    // In the log's place stands something that cannot be emptied.
    std::filesystem::rename(log, log + ".kept");
    std::filesystem::create_directory(log);
    std::ofstream(log + "/passwords") << kept;
    harness.session().clearCredentials();
    ASSERT_EQ(harness.dialogs.messages.size(), 1u);
    EXPECT_EQ(harness.dialogs.messages[0].caption, "Error");
    EXPECT_NE(harness.dialogs.messages[0].text.find("could not be emptied"), std::string::npos);
    EXPECT_EQ(readTextFile(log + "/passwords"), kept);
}

} // namespace
} // namespace morvik::testing
