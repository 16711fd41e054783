// pwd.ini as several morvik-cli processes and a hostile or broken data directory leave it:
// every login a unit accepted is kept, or the run says why not and fails.

#include "CliHarness.h"

#include <filesystem>
#include <fstream>
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

} // namespace
} // namespace morvik::testing
