#include "stores/CredentialLog.h"

#include "ScratchDirectory.h"
#include "StoreMessagesShown.h"
#include "support/ScriptedDialogs.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace morvik {
namespace {

using testing::FileSizeLimit;
using testing::permissionsOf;
using testing::readFile;
using testing::reportSave;
using testing::saveShowing;
using testing::ScratchDirectory;
using testing::ScriptedDialogs;
using testing::selectShowing;
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
        selectShowing(copy, i, dialogs);
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
    ASSERT_TRUE(saveShowing(log, dialogs));
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

TEST(CredentialLog, SkipsTextThatIsNoRecordAndReadsEveryRecordAfterIt) {
    const std::string a = "\n[1]\nMAC : A \nID : i-/space/-d \nPassword : p-/space/- \n";
    const std::string b = "[7] MAC:B ID:x Password:y\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<Entry> entries;
        int unreadable = 0;
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
        {"missing password: the partial record is dropped, the next one read",
         b + "[2] MAC:C ID:x\n" + a,
         {{"B", "x", "y"}, {"A", "i d", "p "}},
         1},
        {"stray text between records",
         a + "garbage " + b,
         {{"A", "i d", "p "}, {"B", "x", "y"}},
         1},
        {"one junk line amid seven records",
         a + a + a + "a stray line [ ] MAC : \n" + b + b + b + b,
         {{"A", "i d", "p "},
          {"A", "i d", "p "},
          {"A", "i d", "p "},
          {"B", "x", "y"},
          {"B", "x", "y"},
          {"B", "x", "y"},
          {"B", "x", "y"}},
         1},
        {"junk in two places", "junk " + a + "[x] " + b, {{"A", "i d", "p "}, {"B", "x", "y"}}, 2},
        {"a MAC part but no MAC text", "[1]\nMAC : ", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CredentialLog log("");
        log.loadText(c.text);
        EXPECT_EQ(entriesOf(log), c.entries);
        EXPECT_EQ(log.unreadableParts(), c.unreadable);
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
    ASSERT_TRUE(saveShowing(log, dialogs));
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
        ASSERT_TRUE(saveShowing(log, dialogs));
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
        EXPECT_FALSE(saveShowing(log, dialogs));
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
    ASSERT_TRUE(selectShowing(log, log.count(), dialogs));
    log.setEntry("00:00:00:00:00:02", "b", "2", -1);
    EXPECT_EQ(log.find("00:00:00:00:00:02"), -1);
    EXPECT_EQ(log.currentEntry(), (Entry{"00:00:00:00:00:02", "b", "2"}));
    ASSERT_TRUE(saveShowing(log, dialogs));
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
    ASSERT_TRUE(selectShowing(log, 1, dialogs));
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
        EXPECT_EQ(selectShowing(log, c.index, dialogs), c.accepted);
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
    EXPECT_FALSE(selectShowing(log, CredentialLog::kMaxEntries, dialogs)); // the count, but no slot
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

std::string recordText(const Entry& entry) {
    return "\n[1]\nMAC : " + entry.mac + " \nID : " + entry.loginId +
           " \nPassword : " + entry.password + " \n";
}

std::string logText(const std::vector<Entry>& entries) {
    std::string text;
    for (const Entry& entry : entries) {
        text += recordText(entry);
    }
    return text;
}

std::vector<Entry> entriesInFile(const std::string& dataDirectory) {
    CredentialLog log(dataDirectory);
    EXPECT_TRUE(log.load());
    return entriesOf(log);
}

Entry unit(int number, const std::string& password = "pw") {
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:4D:56:00:%02X:%02X", (number >> 8) & 0xFF, number & 0xFF);
    return {mac, "admin", password};
}

std::vector<Entry> units(int first, int count) {
    std::vector<Entry> entries;
    for (int i = first; i < first + count; ++i) {
        entries.push_back(unit(i));
    }
    return entries;
}

// Adds `entry` as the operations add a unit that accepted its login.
void addEntry(CredentialLog& log, const Entry& entry) {
    const int index = log.count();
    ASSERT_TRUE(log.raiseCount());
    log.setEntry(entry.mac, entry.loginId, entry.password, index);
}

TEST(CredentialLog, ASaveAppliesItsChangesToTheFileAsOtherProgramsLeftIt) {
    struct Case {
        const char* what;
        std::vector<Entry> loaded;
        std::function<void(CredentialLog&)> change;
        std::vector<Entry> meanwhile; // what another program wrote after our load
        std::vector<Entry> expected;
    };
    const Case cases[] = {
        {"another program added a unit",
         {unit(1)},
         [](CredentialLog& log) { addEntry(log, unit(2)); },
         {unit(1), unit(3)},
         {unit(1), unit(3), unit(2)}},
        {"another program changed a unit this log did not touch",
         {unit(1), unit(2)},
         [](CredentialLog& log) { log.setEntry(unit(2).mac, "admin", "new", 1); },
         {unit(1, "theirs"), unit(2)},
         {unit(1, "theirs"), unit(2, "new")}},
        {"the file was cleared: only this log's change comes back",
         {unit(1)},
         [](CredentialLog& log) { addEntry(log, unit(2)); },
         {},
         {unit(2)}},
        {"both added the same unit: one record, this log's login",
         {},
         [](CredentialLog& log) { addEntry(log, unit(1, "ours")); },
         {unit(1, "theirs")},
         {unit(1, "ours")}},
        {"the changed unit moved in the file",
         {unit(1), unit(2)},
         [](CredentialLog& log) { log.setEntry(unit(1).mac, "admin", "new", 0); },
         {unit(2), unit(3), unit(1)},
         {unit(2), unit(3), unit(1, "new")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        writeFile(dir.file("pwd.ini"), logText(c.loaded));
        CredentialLog log(dir.path().string());
        ASSERT_TRUE(log.load());
        c.change(log);
        writeFile(dir.file("pwd.ini"), logText(c.meanwhile));
        ScriptedDialogs dialogs;
        ASSERT_TRUE(saveShowing(log, dialogs));
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(entriesInFile(dir.path().string()), c.expected);
    }
}

TEST(CredentialLog, WritersAtTheSameTimeKeepEveryonesNewEntry) {
    ScratchDirectory dir;
    writeFile(dir.file("pwd.ini"), logText(units(1, 2000)));
    constexpr int kWriters = 40;
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            CredentialLog log(dir.path().string());
            log.load();
            const int index = log.count();
            log.raiseCount();
            log.setEntry(unit(5000 + w).mac, "admin", "pw", index);
            if (!log.store().saved()) {
                ++failures;
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures, 0);
    CredentialLog log(dir.path().string());
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.count(), 2000 + kWriters);
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_GE(log.find(unit(5000 + w).mac), 0) << w;
    }
    EXPECT_EQ(dir.listing(), "pwd.ini;");
}

TEST(CredentialLog, TextThatIsNoRecordIsLeftOutOfASaveWithAWarning) {
    ScratchDirectory dir;
    writeFile(dir.file("pwd.ini"),
              logText(units(1, 3)) + "\nrubbish line\n" + logText(units(4, 4)));
    CredentialLog log(dir.path().string());
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.count(), 7);
    addEntry(log, unit(8));
    ScriptedDialogs dialogs;
    ASSERT_TRUE(saveShowing(log, dialogs));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Warning");
    EXPECT_NE(dialogs.messages[0].text.find("not a login record (1 place(s))"), std::string::npos)
        << dialogs.messages[0];
    EXPECT_EQ(entriesInFile(dir.path().string()), units(1, 8));
}

TEST(CredentialLog, ASaveThatCannotBeDoneSaysWhyAndKeepsTheFile) {
    struct Setup {
        std::string pwdIni;     // what stands in pwd.ini, unless it is a link
        std::string linkTarget; // pwd.ini is a link to this file of the directory
        std::string targetText; // the link target's content
        bool foreignTarget = false;
    };
    struct Case {
        const char* what;
        Setup setup;
        // The save, in the case's circumstances.
        std::function<CredentialLog::SaveResult(ScratchDirectory&, CredentialLog&)> save;
        CredentialLog::SaveStatus status;
        std::string message;
    };
    using Status = CredentialLog::SaveStatus;
    const std::string full = logText(units(1, CredentialLog::kMaxEntries));
    const auto plainSave = [](ScratchDirectory&, CredentialLog& log) { return log.store(); };
    const Case cases[] = {
        {"a full log",
         {full, "", "", false},
         plainSave,
         Status::Full,
         "holds the most logins it can (5000)"},
        {"more records than the table: a rewrite would lose some",
         {logText(units(1, CredentialLog::kMaxEntries + 1)), "", "", false},
         plainSave,
         Status::Full,
         "holds the most logins"},
        {"the file size limit",
         {logText(units(1, 2)), "", "", false},
         [](ScratchDirectory&, CredentialLog& log) {
             FileSizeLimit limit(100);
             return log.store();
         },
         Status::NotWritten,
         "it cannot be written (File too large); the file is unchanged"},
        {"another program holds the lock",
         {logText(units(1, 2)), "", "", false},
         [](ScratchDirectory& dir, CredentialLog& log) {
             const int fd = ::open(dir.file("pwd.ini").c_str(), O_RDONLY);
             EXPECT_EQ(::flock(fd, LOCK_EX), 0);
             log.setLockWait(std::chrono::milliseconds(50));
             const auto result = log.store();
             ::close(fd);
             return result;
         },
         Status::Busy,
         "another program kept it locked"},
        {"a link to another file",
         {"", "notes.txt", "my notes\n", false},
         plainSave,
         Status::LinkRefused,
         "notes.txt, which is not a login file of this user"},
        {"a link to an empty file of another name",
         {"", "empty.txt", "", false},
         plainSave,
         Status::LinkRefused,
         "empty.txt, which is not a login file"},
        {"a link to nothing",
         {"", "missing.ini", "", false},
         plainSave,
         Status::LinkRefused,
         "is a link to"},
        {"a link to another user's credential log",
         {"", "theirs.ini", logText(units(1, 1)), true},
         plainSave,
         Status::LinkRefused,
         "theirs.ini, which is not a login file of this user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.setup.foreignTarget && ::geteuid() != 0) {
            continue; // only root can give a file away
        }
        ScratchDirectory dir;
        // This log adds a unit; the file it finds when it saves is the case's.
        CredentialLog log(dir.path().string());
        ASSERT_TRUE(log.load());
        addEntry(log, unit(9000));
        std::filesystem::remove(dir.file("pwd.ini"));
        std::string watched = dir.file("pwd.ini");
        if (c.setup.linkTarget.empty()) {
            writeFile(watched, c.setup.pwdIni);
        } else {
            watched = dir.file(c.setup.linkTarget);
            if (c.setup.linkTarget != "missing.ini") {
                writeFile(watched, c.setup.targetText);
            }
            ASSERT_EQ(::symlink(watched.c_str(), dir.file("pwd.ini").c_str()), 0);
            if (c.setup.foreignTarget) {
                ASSERT_EQ(::chown(watched.c_str(), 65534, 65534), 0);
            }
        }
        const std::string before = readFile(watched);
        const std::string listing = dir.listing();
        const CredentialLog::SaveResult result = c.save(dir, log);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.notRecorded, std::vector<std::string>{unit(9000).mac});
        ScriptedDialogs dialogs;
        reportSave(result, dialogs);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].caption, "Error");
        EXPECT_NE(dialogs.messages[0].text.find("The login of 02:4D:56:00:23:28 was not recorded"),
                  std::string::npos)
            << dialogs.messages[0];
        EXPECT_NE(dialogs.messages[0].text.find(c.message), std::string::npos)
            << dialogs.messages[0];
        EXPECT_EQ(readFile(watched), before);
        EXPECT_EQ(dir.listing(), listing);
    }
}

TEST(CredentialLog, AChangeGoesThroughALinkToACredentialLogOfItsOwn) {
    ScratchDirectory dir;
    std::filesystem::create_directory(dir.path() / "shared");
    const std::string target = dir.file("shared/pwd.ini");
    for (const std::string& content : {logText(units(1, 2)), std::string()}) {
        SCOPED_TRACE(content.empty() ? "an empty pwd.ini" : "a log with records");
        writeFile(target, content);
        std::filesystem::remove(dir.file("pwd.ini"));
        ASSERT_EQ(::symlink(target.c_str(), dir.file("pwd.ini").c_str()), 0);
        CredentialLog log(dir.path().string());
        ASSERT_TRUE(log.load());
        addEntry(log, unit(3));
        ScriptedDialogs dialogs;
        ASSERT_TRUE(saveShowing(log, dialogs));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file("pwd.ini")));
        CredentialLog reread((dir.path() / "shared").string());
        ASSERT_TRUE(reread.load());
        EXPECT_GE(reread.find(unit(3).mac), 0);
        EXPECT_EQ(reread.count(), content.empty() ? 1 : 3);
    }
}

} // namespace
} // namespace morvik
