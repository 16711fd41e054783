#include "stores/CredentialLog.h"

#include "ScratchDirectory.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using testing::FileSizeLimit;
using testing::permissionsOf;
using testing::readFile;
using testing::ScratchDirectory;
using testing::ScriptedDialogs;
using testing::writeFile;
using Entry = CredentialLog::Entry;
using Message = ScriptedDialogs::Message;

const Message kWrongDataType{"Wrong data type!!", "Error"};

std::vector<Entry> entriesOf(const CredentialLog& log) {
    // Reads the entries through the interface the operations use.
    CredentialLog copy = log;
    ScriptedDialogs dialogs;
    std::vector<Entry> entries;
    for (int i = 0; i < copy.count(); ++i) {
        copy.select(i, dialogs);
        entries.push_back(copy.currentEntry());
    }
    return entries;
}

// A log of these entries in memory, all part of the file.
CredentialLog logOf(const std::string& dataDirectory, const std::vector<Entry>& entries) {
    CredentialLog log(dataDirectory);
    for (const Entry& entry : entries) {
        EXPECT_TRUE(log.raiseCount());
        log.setEntry(entry.mac, entry.loginId, entry.password, -1);
    }
    return log;
}

TEST(CredentialLog, AMissingFileIsCreatedEmptyAndPrivate) {
    ScratchDirectory dir;
    CredentialLog log(dir.path().string());
    EXPECT_EQ(log.path(), dir.file("pwd.ini"));
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(log.find("00:11:22:33:44:55"), -1);
    EXPECT_EQ(readFile(dir.file("pwd.ini")), "");
    EXPECT_EQ(permissionsOf(dir.file("pwd.ini")), 0600u);
}

TEST(CredentialLog, SavesTheRecordLayoutAndReadsItBack) {
    ScratchDirectory dir;
    CredentialLog log = logOf(dir.path().string(), {{"00:a0:3d:01:02:03", "admin", "secret"},
                                                    {"00:A0:3D:0F:0E:0D", "my admin", " a  b "}});
    ScriptedDialogs dialogs;
    ASSERT_TRUE(log.save(dialogs));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(readFile(log.path()), "\n[1]\nMAC : 00:A0:3D:01:02:03 \nID : admin \nPassword : "
                                    "secret \n"
                                    "\n[2]\nMAC : 00:A0:3D:0F:0E:0D \nID : my-/space/-admin \n"
                                    "Password : -/space/-a-/space/--/space/-b-/space/- \n");
    EXPECT_EQ(permissionsOf(log.path()), 0600u);

    CredentialLog reread(dir.path().string());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(entriesOf(reread), (std::vector<Entry>{{"00:A0:3D:01:02:03", "admin", "secret"},
                                                     {"00:A0:3D:0F:0E:0D", "my admin", " a  b "}}));
    EXPECT_EQ(reread.currentIndex(), 2);
}

TEST(CredentialLog, ReadsRecordsUpToTheFirstTextThatIsNoRecord) {
    const std::string a = "\n[1]\nMAC : A \nID : i-/space/-d \nPassword : p-/space/- \n";
    const std::string b = "[7] MAC:B ID:x Password:y\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<Entry> entries;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"records in file order, numbers ignored", a + b, {{"A", "i d", "p "}, {"B", "x", "y"}}},
        {"every blank mark, in both fields",
         "[1]MAC : M ID : -/space/--/space/- Password : "
         "x-/space/-y-/space/-z",
         {{"M", "  ", "x y z"}}},
        {"a mark cut short stays text",
         "[1]MAC : M ID : -/space/ Password : -/space/-/space/-",
         {{"M", "-/space/", " /space/-"}}},
        {"missing password: the partial record is dropped",
         b + "[2] MAC:C ID:x\n" + a,
         {{"B", "x", "y"}}},
        {"stray text between records", a + "garbage " + b, {{"A", "i d", "p "}}},
        {"a MAC part but no MAC text", "[1]\nMAC : ", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CredentialLog log("");
        log.loadText(c.text);
        EXPECT_EQ(entriesOf(log), c.entries);
        EXPECT_EQ(log.currentIndex(), log.count());
    }
}

TEST(CredentialLog, MacTextsMatchExactlyAndAreSavedInUpperCase) {
    ScratchDirectory dir;
    writeFile(dir.file("pwd.ini"), "[1] MAC : 00:a0:3d:01:02:03 ID : admin Password : pw\n"
                                   "[2] MAC : 00:A0:3D:01:02:03 ID : other Password : pw2\n");
    CredentialLog log(dir.path().string());
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.find("00:A0:3D:01:02:03"), 1);
    EXPECT_EQ(log.find("00:a0:3d:01:02:03"), 0);
    EXPECT_EQ(log.find("00:A0:3D:01:02:0"), -1);

    ScriptedDialogs dialogs;
    ASSERT_TRUE(log.save(dialogs));
    CredentialLog reread(dir.path().string());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.find("00:a0:3d:01:02:03"), -1);
    EXPECT_EQ(reread.find("00:A0:3D:01:02:03"), 0); // the first of the two now
}

TEST(CredentialLog, AnEntryThatCannotBeWrittenCostsNoOtherEntry) {
    struct Case {
        const char* what;
        Entry bad;
    };
    const Case cases[] = {
        {"empty MAC", {"", "id", "pw"}},
        {"empty ID", {"00:00:00:00:00:02", "", "pw"}},
        {"empty password", {"00:00:00:00:00:02", "id", ""}},
        {"tab in a password", {"00:00:00:00:00:02", "id", "p\tw"}},
        {"line end in an ID", {"00:00:00:00:00:02", "i\nd", "pw"}},
        {"blank in a MAC", {"00:00 00", "id", "pw"}},
        {"a blank mark of its own", {"00:00:00:00:00:02", "id", "x-/space/-y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        CredentialLog log = logOf(dir.path().string(), {{"00:00:00:00:00:01", "a", "1"},
                                                        c.bad,
                                                        {"00:00:00:00:00:03", "c", "3"},
                                                        c.bad,
                                                        {"00:00:00:00:00:04", "d", "4"}});
        ScriptedDialogs dialogs;
        ASSERT_TRUE(log.save(dialogs));
        EXPECT_EQ(dialogs.messages, std::vector<Message>{kWrongDataType});
        EXPECT_EQ(readFile(log.path()),
                  "\n[1]\nMAC : 00:00:00:00:00:01 \nID : a \nPassword : 1 \n"
                  "\n[2]\nMAC : 00:00:00:00:00:03 \nID : c \nPassword : 3 \n"
                  "\n[3]\nMAC : 00:00:00:00:00:04 \nID : d \nPassword : 4 \n");
    }
}

TEST(CredentialLog, AFailedSaveKeepsTheOldFile) {
    ScratchDirectory dir;
    const std::string old = "\n[1]\nMAC : 00:00:00:00:00:01 \nID : a \nPassword : 1 \n";
    writeFile(dir.file("pwd.ini"), old);
    CredentialLog log(dir.path().string());
    ASSERT_TRUE(log.load());
    ASSERT_TRUE(log.raiseCount());
    log.setEntry("00:00:00:00:00:02", std::string(70, 'i'), std::string(70, 'p'), -1);
    ScriptedDialogs dialogs;
    {
        FileSizeLimit limit(old.size() + 10);
        EXPECT_FALSE(log.save(dialogs));
    }
    EXPECT_EQ(readFile(dir.file("pwd.ini")), old);
    EXPECT_EQ(dir.listing(), "pwd.ini;");
}

TEST(CredentialLog, ClearEmptiesTheFile) {
    ScratchDirectory dir;
    writeFile(dir.file("pwd.ini"), "[1] MAC : M ID : i Password : p");
    ::chmod(dir.file("pwd.ini").c_str(), 0644);
    CredentialLog log(dir.path().string());
    ASSERT_TRUE(log.clearFile());
    EXPECT_EQ(readFile(dir.file("pwd.ini")), "");
    EXPECT_EQ(permissionsOf(dir.file("pwd.ini")), 0600u);
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.count(), 0);

    ScratchDirectory fresh;
    CredentialLog missing(fresh.path().string());
    ASSERT_TRUE(missing.clearFile());
    EXPECT_EQ(permissionsOf(fresh.file("pwd.ini")), 0600u);
}

TEST(CredentialLog, AnEntryAtTheCountStaysOutOfTheFileUntilTheCountIsRaised) {
    ScratchDirectory dir;
    CredentialLog log = logOf(dir.path().string(), {{"00:00:00:00:00:01", "a", "1"}});
    ScriptedDialogs dialogs;
    ASSERT_TRUE(log.select(log.count(), dialogs));
    log.setEntry("00:00:00:00:00:02", "b", "2", -1);
    EXPECT_EQ(log.find("00:00:00:00:00:02"), -1);
    EXPECT_EQ(log.currentEntry(), (Entry{"00:00:00:00:00:02", "b", "2"}));
    ASSERT_TRUE(log.save(dialogs));
    EXPECT_EQ(readFile(log.path()), "\n[1]\nMAC : 00:00:00:00:00:01 \nID : a \nPassword : 1 \n");

    ASSERT_TRUE(log.raiseCount());
    log.setEntry("00:00:00:00:00:02", "b", "2", -1);
    EXPECT_EQ(log.find("00:00:00:00:00:02"), 1);

    // setEntry at an index changes that entry, not the count.
    log.setEntry("00:00:00:00:00:01", "new id", "new pw", 0);
    EXPECT_EQ(log.count(), 2);
    EXPECT_EQ(log.currentIndex(), 0);
    EXPECT_EQ(entriesOf(log)[0], (Entry{"00:00:00:00:00:01", "new id", "new pw"}));

    // Reading again forgets every entry, those past the count too.
    log.setEntry("00:00:00:00:00:09", "z", "9", 7);
    log.loadText("[1] MAC : M ID : i Password : p");
    ASSERT_TRUE(log.select(1, dialogs));
    EXPECT_EQ(log.currentEntry(), Entry{});
    while (log.currentIndex() < 7) {
        ASSERT_TRUE(log.raiseCount());
    }
    EXPECT_EQ(log.currentEntry(), Entry{});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(CredentialLog, SelectRefusesIndicesBeyondTheCountOrTheTable) {
    CredentialLog log = logOf("", {{"A", "a", "1"}, {"B", "b", "2"}});
    struct Case {
        int index;
        bool accepted;
    };
    for (const Case c : {Case{0, true}, Case{2, true}, Case{3, false}, Case{-1, false}}) {
        SCOPED_TRACE(c.index);
        ScriptedDialogs dialogs;
        EXPECT_EQ(log.select(c.index, dialogs), c.accepted);
        EXPECT_EQ(dialogs.messages.empty(), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(dialogs.messages,
                      (std::vector<Message>{{"Out of range of the database !", "Fatal Error"}}));
        }
    }
}

TEST(CredentialLog, AFullTableTakesNoMoreEntries) {
    std::string text;
    for (int i = 1; i <= 6000; ++i) {
        text +=
            "[" + std::to_string(i) + "] MAC : M" + std::to_string(i) + " ID : i Password : p\n";
    }
    CredentialLog log("");
    log.loadText(text);
    ASSERT_EQ(log.count(), CredentialLog::kMaxEntries);
    EXPECT_EQ(log.find("M5000"), 4999);
    EXPECT_EQ(log.find("M5001"), -1);

    ScriptedDialogs dialogs;
    EXPECT_FALSE(log.raiseCount());
    EXPECT_FALSE(log.select(CredentialLog::kMaxEntries, dialogs)); // the count, but no slot
    EXPECT_EQ(dialogs.messages.size(), 1u);
    log.setEntry("X", "x", "x", CredentialLog::kMaxEntries); // refused, nothing written
    log.setEntry("X", "x", "x", -2);
    EXPECT_EQ(log.find("X"), -1);
    EXPECT_EQ(log.count(), CredentialLog::kMaxEntries);
}

TEST(CredentialLog, LongTextsAreCutTo75Characters) {
    const std::string longText(100, 'X');
    const std::string blanks(75, ' ');
    CredentialLog log = logOf("", {{longText, longText, blanks}});
    EXPECT_EQ(entriesOf(log)[0], (Entry{std::string(75, 'X'), std::string(75, 'X'), blanks}));

    // 75 blanks take 675 characters in the file and still come back whole.
    CredentialLog reread("");
    reread.loadText(log.formatText(nullptr));
    EXPECT_EQ(entriesOf(reread), entriesOf(log));

    CredentialLog fromFile("");
    std::string marks;
    for (int i = 0; i < 10; ++i) {
        marks += "-/space/-";
    }
    fromFile.loadText("[1] MAC : " + longText + " ID : " + longText + " Password : " + marks +
                      longText);
    EXPECT_EQ(entriesOf(fromFile),
              (std::vector<Entry>{{std::string(75, 'X'), std::string(75, 'X'),
                                   std::string(10, ' ') + std::string(65, 'X')}}));
}

} // namespace
} // namespace morvik
