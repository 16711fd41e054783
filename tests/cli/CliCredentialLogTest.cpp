// pwd.ini as several morvik-cli processes and a hostile or broken data directory leave it:
// every login a unit accepted is kept, or the run says why not and fails.

#include "CliHarness.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace morvik::testing {
namespace {

using Strings = std::vector<std::string>;

std::string macOf(int number) {
    char text[18];
    std::snprintf(text, sizeof text, "02:4D:56:00:%02X:%02X", 0x80 + (number >> 8), number & 0xFF);
    return text;
}

// A log of `count` older units that none of the simulated units is.
std::string olderLog(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "\n[" + std::to_string(i) + "]\nMAC : " + macOf(i) +
                " \nID : admin \nPassword : old \n";
    }
    return text;
}

std::string newUnitMac(int number) {
    char text[18];
    std::snprintf(text, sizeof text, "02:4D:56:00:07:%02X", number);
    return text;
}

// New units, none of them in pwd.ini, on 127.77.7.x.
std::vector<Json> newUnits(int count) {
    std::vector<Json> units;
    for (int i = 1; i <= count; ++i) {
        units.push_back(fleetUnit("new-" + std::to_string(i), newUnitMac(i),
                                  "127.77.7." + std::to_string(i), 7, "1.2"));
    }
    return units;
}

// The tool's arguments against the harness's simulator, reading one new unit with the login
// that the simulated units accept.
Strings readNewUnit(const CliHarness& harness, int number) {
    return {"--data-dir",     harness.directory(),
            "--port",         std::to_string(harness.port()),
            "--broadcast",    "127.255.255.255",
            "--host-address", "127.0.0.1",
            "read",           newUnitMac(number),
            "--id",           "admin",
            "--password",     "quorvane",
            "--wait",         "10000",
            "--timeout",      "10000",
            "--json"};
}

std::string directoryListing(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        text += name + ";";
    }
    return text;
}

TEST(CliCredentialLog, FortyRunsAtOnceKeepEveryNewLogin) {
    constexpr int kRuns = 40;
    CliHarness harness(newUnits(kRuns), false);
    ASSERT_TRUE(harness.ready());
    std::ofstream(harness.file("pwd.ini"), std::ios::trunc) << olderLog(2000);

    std::vector<ProcessResult> results(kRuns);
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i) {
        runs.emplace_back([&, i] {
            results[static_cast<std::size_t>(i)] =
                runProcess(MORVIK_CLI_PATH, readNewUnit(harness, i + 1));
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_EQ(results[static_cast<std::size_t>(i)].exitCode, 0)
            << results[static_cast<std::size_t>(i)].err;
    }
    const std::string log = readWholeFile(harness.file("pwd.ini"));
    for (int i = 1; i <= kRuns; ++i) {
        EXPECT_NE(log.find("MAC : " + newUnitMac(i) + " \nID : admin \nPassword : quorvane "),
                  std::string::npos)
            << newUnitMac(i) << " was lost";
    }
    for (const int older : {1, 1000, 2000}) {
        EXPECT_NE(log.find("MAC : " + macOf(older) + " "), std::string::npos) << older;
    }
}

TEST(CliCredentialLog, ALoginThatCannotBeRecordedFailsTheRunAndKeepsTheFile) {
    struct Case {
        const char* what;
        std::string pwdIni;  // the log's content
        bool linkToNotes;    // pwd.ini is a link to notes.txt, which holds `pwdIni`
        std::string runner;  // a shell line that runs the tool ("$@"), in "$0" the directory
        std::string message; // on standard error
    };
    const std::string readOnly =
        ::geteuid() == 0
            ? "exec unshare --mount sh -c 'd=\"$0\"; mount --bind \"$d\" \"$d\" && mount -o "
              "remount,ro,bind \"$d\" \"$d\" && shift && exec \"$@\"' \"$0\" \"$0\" \"$@\""
            : "chmod a-w \"$0\"; \"$@\"; status=$?; chmod u+w \"$0\"; exit $status";
    const Case cases[] = {
        {"a full log", olderLog(5000), false, "exec \"$@\"",
         "was not recorded in pwd.ini: it holds the most logins it can (5000)"},
        {"a link to another file", "my notes\n", true, "exec \"$@\"",
         "/notes.txt, which is not a login file of this user; nothing was written to it"},
        {"a file size limit below the log's size", olderLog(2000), false,
         "ulimit -f 40; exec \"$@\"",
         "it cannot be written (File too large); the file is unchanged"},
        {"a read-only data directory", olderLog(2000), false, readOnly,
         "was not recorded in pwd.ini: it cannot be written ("},
    };
    CliHarness harness(newUnits(1), false);
    ASSERT_TRUE(harness.ready());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(harness.file("pwd.ini"));
        std::string watched = harness.file("pwd.ini");
        if (c.linkToNotes) {
            watched = harness.file("notes.txt");
            ASSERT_EQ(::symlink(watched.c_str(), harness.file("pwd.ini").c_str()), 0);
        }
        std::ofstream(watched, std::ios::trunc) << c.pwdIni;
        const std::string listing = directoryListing(harness.directory());

        Strings arguments{"-c", c.runner, harness.directory(), MORVIK_CLI_PATH};
        const Strings tool = readNewUnit(harness, 1);
        arguments.insert(arguments.end(), tool.begin(), tool.end());
        const ProcessResult run = runProcess("/bin/sh", arguments);

        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("Error: The login of " + newUnitMac(1)), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        // The read itself went through.
        const auto document = parseJsonDocument(run.out);
        EXPECT_TRUE(document && document->is_array() && document->size() == 1) << run.out;
        EXPECT_EQ(readWholeFile(watched), c.pwdIni);
        EXPECT_EQ(directoryListing(harness.directory()), listing);
        std::filesystem::remove(harness.file("notes.txt"));
    }
}

// A diff or a dry run writes nothing at all: not the login that a unit pwd.ini does not know
// accepted, not even an empty pwd.ini where there was none.
TEST(CliCredentialLog, LooksWriteNothing) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string site = harness.file("site.cnf");
    ASSERT_EQ(harness.cli({"save", "orion16-rack", site}).exitCode, 0);
    const Strings login{"--id", "admin", "--password", "quorvane", "--json"};
    const std::vector<Strings> looks{{"diff", "orion16-new", site},
                                     {"load", "orion16-new", site, "--dry-run"},
                                     {"set", "orion16-new", "0.1.1=elsewhere", "--dry-run"}};
    for (const bool logExists : {true, false}) {
        if (!logExists) {
            std::filesystem::remove(harness.file("pwd.ini"));
        }
        const std::string listing = directoryListing(harness.directory());
        const std::string before = logExists ? readWholeFile(harness.file("pwd.ini")) : "";
        for (Strings words : looks) {
            SCOPED_TRACE(words.front() + " " + words.back());
            words.insert(words.end(), login.begin(), login.end());
            const ProcessResult run = harness.cli(words);
            const auto document = parseJsonDocument(run.out);
            ASSERT_TRUE(document && document->size() == 1) << run.err;
            EXPECT_EQ(textOf(document->front(), "result"), "ok") << run.err;
            EXPECT_EQ(directoryListing(harness.directory()), listing);
            if (logExists) {
                EXPECT_EQ(readWholeFile(harness.file("pwd.ini")), before);
            }
        }
    }
}

// The login travels where no other local user can read it (ps shows every command line): a
// private file or standard input. A file that others may read is refused unread.
TEST(CliCredentialLog, ALoginFileKeepsPasswordsOutOfTheCommandLine) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string file = harness.file("login");
    const std::string login = "id=admin\npassword=quorvane\n";
    const struct {
        std::string content;
        mode_t mode;
        std::string words; // FILE: the login file
        std::string found; // "(" and what standard error says when refused, else in pwd.ini
    } cases[] = {
        {login, 0644, "read orion16-new --login-file FILE", "((mode 0644): chmod 600"},
        {"2.1.2=far-too-long-for-16\n", 0600, "set vela4-line-a --yes --login-file FILE",
         "(the new login is not a value of 2.1.2"},
        {login, 0600, "read orion16-new --login-file -", // standard input
         "08 \nID : admin \nPassword : quorvane"},
        {"new-id=field boss\nnew-password=n3w\n", 0400, "set vela4-line-a --yes --login-file FILE",
         "03 \nID : field-/space/-boss \nPassword : n3w"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        std::filesystem::remove(file);
        std::ofstream(file) << c.content;
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        Strings words;
        std::istringstream split(c.words);
        for (std::string word; split >> word;) {
            words.push_back(word == "FILE" ? file : word);
        }
        const ProcessResult run = harness.cliVia("exec \"$@\" <\"$0\"", file, words);
        EXPECT_EQ(run.err.find("far-too-long"), std::string::npos) << run.err;
        const bool refused = c.found.starts_with("(");
        EXPECT_EQ(run.exitCode, refused ? 2 : 0) << run.err;
        EXPECT_NE((refused ? run.err : readWholeFile(harness.file("pwd.ini")))
                      .find(c.found.substr(refused ? 1 : 0)),
                  std::string::npos)
            << run.err;
    }
}

// Ctrl-C at the password prompt ends the run with the terminal echoing again.
TEST(CliCredentialLog, CtrlCAtThePasswordPromptGivesTheEchoBack) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const Strings words{
        "--data-dir",  harness.directory(), "--port",         std::to_string(harness.port()),
        "--broadcast", "127.255.255.255",   "--host-address", "127.0.0.1",
        "read",        "orion16-new"};
    std::vector<char*> argv{const_cast<char*>(MORVIK_CLI_PATH)};
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execv(MORVIK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    // The dialog, answered up to the password, then Ctrl-C.
    std::string seen;
    const auto awaitText = [&](const std::string& text) {
        for (pollfd ready{terminal, POLLIN, 0};
             seen.find(text) == std::string::npos && ::poll(&ready, 1, 10000) == 1;) {
            char buffer[256];
            const ssize_t got = ::read(terminal, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            seen.append(buffer, static_cast<std::size_t>(got));
        }
        return seen.find(text) != std::string::npos;
    };
    EXPECT_TRUE(awaitText("Connect As: ")) << seen;
    ASSERT_EQ(::write(terminal, "admin\n", 6), 6);
    EXPECT_TRUE(awaitText("Password: ")) << seen;
    termios during{};
    for (int i = 0; i < 500 && ::tcgetattr(terminal, &during) == 0 && (during.c_lflag & ECHO);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(::write(terminal, "\x03", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    EXPECT_EQ(during.c_lflag & ECHO, 0U);
    EXPECT_NE(after.c_lflag & ECHO, 0U);
    ::close(terminal);
}

} // namespace
} // namespace morvik::testing
