// Changes made safely across a fleet: diff, dry run, backup and its rollback, rows left alone,
// and reads that report every unit whatever happened to the others.

#include "CliHarness.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace morvik::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr ByteOrder kVela = ByteOrder::LeastSignificantFirst; // product 07
constexpr ByteOrder kOrion = ByteOrder::MostSignificantFirst; // product 61

const std::string kDock = "02:4D:56:00:00:01";      // vela1-dock, 127.77.0.1
const std::string kLab = "02:4D:56:00:00:02";       // vela1-lab, same product, by broadcast
const std::string kNew = "02:4D:56:00:00:08";       // orion16-new, not in pwd.ini
const std::string kDockName = "Dock 3, gate house"; // 0.6.1 of vela1-dock

int writesIn(const std::vector<RecordedFrame>& frames) {
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [](const auto& frame) {
        return frame.command == Command::WriteRequest;
    }));
}

std::string valueAt(const Json& unit, const std::string& address) {
    for (const Json& parameter : unit.at("parameters")) {
        if (textOf(parameter, "address") == address) {
            return textOf(parameter, "value");
        }
    }
    return "<missing>";
}

// The differences of one unit of a diff document: address -> (unit, file).
std::map<std::string, std::pair<std::string, std::string>> differencesOf(const Json& unit) {
    std::map<std::string, std::pair<std::string, std::string>> differences;
    for (const Json& difference : unit.at("differences")) {
        EXPECT_EQ(keysOf(difference), (Strings{"index", "address", "parameter", "unit", "file"}));
        differences[textOf(difference, "address")] = {textOf(difference, "unit"),
                                                      textOf(difference, "file")};
    }
    return differences;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The whole safe change: what differs, what a dry run would write (and does not), a load that
// keeps a backup first, and the backup loaded back as the rollback.
TEST(CliFleet, DiffDryRunBackupAndRollback) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string wanted = harness.file("wanted.cnf");
    ASSERT_EQ(harness.cli({"save", "vela1-dock", wanted}).exitCode, 0);
    ASSERT_EQ(harness.cli({"set", "vela1-dock", "0.6.1=Elsewhere", "--yes"}).exitCode, 0);
    // The unit's own values, written otherwise, are no differences.
    std::string text = readWholeFile(wanted);
    for (const auto& [from, to] :
         {std::pair{"1500__bytes", "1500"}, {"192.168.10.21", "192.168.010.021"}}) {
        text.replace(text.find(from), std::string_view(from).size(), to);
    }
    std::ofstream(wanted, std::ios::trunc) << text;

    struct Step {
        const char* label;
        Strings arguments;
        int exitCode;
        std::pair<std::string, std::string> difference; // of 0.6.1; empty: none listed
    };
    const std::vector<Step> looks{
        {"diff", {"diff", "vela1-dock", wanted}, 1, {"Elsewhere", kDockName}},
        // A dry run asks no confirmation: it writes nothing.
        {"dry-run load", {"load", "vela1-dock", wanted, "--dry-run"}, 0, {"Elsewhere", kDockName}},
        {"dry-run set",
         {"set", "vela1-dock", "0.6.1=Third", "1.7.1=1500", "1.1.1=192.168.010.021", "--dry-run"},
         0,
         {"Elsewhere", "Third"}},
    };
    for (const Step& step : looks) {
        harness.forget();
        ProcessResult run;
        const auto document = harness.cliJson(step.arguments, &run);
        ASSERT_TRUE(document && document->size() == 1) << step.label << run.err;
        EXPECT_EQ(run.exitCode, step.exitCode) << step.label << run.err;
        EXPECT_EQ(keysOf(document->front()), (Strings{"mac", "ip", "result", "differences"}));
        EXPECT_EQ(textOf(document->front(), "result"), "ok") << step.label;
        const auto differences = differencesOf(document->front());
        EXPECT_EQ(differences.size(), 1U) << step.label;
        EXPECT_EQ(differences.at("0.6.1"), step.difference) << step.label;
        EXPECT_EQ(writesIn(harness.framesTo(kDock, kVela)), 0) << step.label;
    }

    const std::string backups = harness.file("backups");
    harness.forget();
    ProcessResult load;
    const auto loaded =
        harness.cliJson({"load", "vela1-dock", wanted, "--backup", backups, "--yes"}, &load);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(load.exitCode, 0) << load.err;
    EXPECT_EQ(writesIn(harness.framesTo(kDock, kVela)), 1);
    const auto saved = filesIn(backups);
    ASSERT_EQ(saved.size(), 1U);
    EXPECT_TRUE(saved.front().starts_with("02-4D-56-00-00-01-")) << saved.front();
    EXPECT_TRUE(saved.front().ends_with(".cnf")) << saved.front();

    ProcessResult same;
    const auto nothing = harness.cliJson({"diff", "vela1-dock", wanted}, &same);
    ASSERT_TRUE(nothing);
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_TRUE(nothing->front().at("differences").empty());

    // The rollback: the backup loaded back.
    const std::string backup = backups + "/" + saved.front();
    ASSERT_EQ(harness.cli({"load", "vela1-dock", backup, "--yes"}).exitCode, 0);
    const auto back = harness.cliJson({"read", "vela1-dock"});
    ASSERT_TRUE(back && back->size() == 1);
    EXPECT_EQ(valueAt(back->front(), "0.6.1"), "Elsewhere");
}

// A backup that cannot be written stops the run before any unit is written, and says why.
TEST(CliFleet, NoWriteWithoutItsBackup) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string notAFolder = harness.file("plain-file");
    std::ofstream(notAFolder) << "x";
    const std::string full = harness.file("full");
    std::filesystem::create_directory(full);
    // A disk of one page, filled up.
    const std::string fullDisk =
        std::string(::geteuid() == 0 ? "exec unshare --mount" : "exec unshare -rm") +
        " sh -c 'mount -t tmpfs -o size=4k tmpfs \"$0\" && head -c 4096 /dev/zero >\"$0/f\"; "
        "exec \"$@\"' \"$0\" \"$@\"";
    const struct {
        std::string folder, runner, reason;
    } cases[] = {{notAFolder, "exec \"$@\"", notAFolder},
                 {full, fullDisk, "No space left on device"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        harness.forget();
        const ProcessResult run = harness.cliVia(
            c.runner, c.folder,
            {"set", "vela1-dock", "vela1-lab", "0.6.1=Elsewhere", "--backup", c.folder, "--yes"});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(writesIn(harness.framesTo(kDock, kVela)), 0);
        EXPECT_EQ(writesIn(harness.framesTo(kLab, kVela)), 0);
    }
}

// A shared backup folder where the names of the coming minute are taken by links to
// somebody's file: every backup is a new file of its own, and the linked file is never
// written; nor is a file that a link put in place of the file to save.
TEST(CliFleet, BackupsAndSavesNeverWriteThroughALink) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string victim = harness.file("victim");
    std::ofstream(victim) << "theirs";
    const std::string backups = harness.file("backups");
    std::filesystem::create_directory(backups);
    for (std::time_t at = std::time(nullptr), end = at + 60; at < end; ++at) {
        std::tm utc{};
        gmtime_r(&at, &utc);
        std::array<char, 32> stamp{};
        std::strftime(stamp.data(), stamp.size(), "%Y%m%dT%H%M%SZ", &utc);
        const std::string name = backups + "/02-4D-56-00-00-01-" + stamp.data() + ".cnf";
        ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
    }
    for (const char* value : {"0.6.1=First", "0.6.1=Second"}) {
        const ProcessResult run =
            harness.cli({"set", "vela1-dock", value, "--backup", backups, "--yes"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    std::vector<std::string> made;
    for (const auto& entry : std::filesystem::directory_iterator(backups)) {
        if (!entry.is_symlink()) {
            made.push_back(readWholeFile(entry.path().string()));
        }
    }
    ASSERT_EQ(made.size(), 2U);
    EXPECT_NE(made[0].find("First") == std::string::npos,
              made[1].find("First") == std::string::npos);

    const std::string link = harness.file("link.cnf");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    const ProcessResult save = harness.cli({"save", "vela1-dock", link});
    EXPECT_EQ(save.exitCode, 2) << save.err;
    EXPECT_NE(save.err.find("symbolic link"), std::string::npos) << save.err;
    EXPECT_EQ(readWholeFile(victim), "theirs");
}

// Cloning one unit's configuration onto another leaves the rows named by --skip alone.
TEST(CliFleet, SkippedRowsKeepTheUnitsIdentity) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string dock = harness.file("dock.cnf");
    ASSERT_EQ(harness.cli({"set", "vela1-dock", "0.7.1=gate_house 3", "1.12.1=", "--yes"}).exitCode,
              0);
    ASSERT_EQ(harness.cli({"save", "vela1-dock", dock}).exitCode, 0);
    EXPECT_NE(readWholeFile(dock).find(" gate%5Fhouse_3\n"), std::string::npos);
    const auto before = harness.cliJson({"read", "vela1-lab"});
    ASSERT_TRUE(before && before->size() == 1);

    harness.forget();
    const ProcessResult unknown =
        harness.cli({"load", "vela1-lab", dock, "--skip", "0.1.1,9.9.9", "--yes"});
    EXPECT_EQ(unknown.exitCode, 2) << unknown.err;
    EXPECT_NE(unknown.err.find("9.9.9"), std::string::npos) << unknown.err;
    EXPECT_EQ(writesIn(harness.framesTo(kLab, kVela)), 0);

    const ProcessResult clone =
        harness.cli({"load", "vela1-lab", dock, "--skip", "0.1.1,1.1.1", "--yes"});
    EXPECT_EQ(clone.exitCode, 0) << clone.err;
    const auto after = harness.cliJson({"read", "vela1-lab"});
    ASSERT_TRUE(after && after->size() == 1);
    for (const std::string address : {"0.1.1", "1.1.1"}) {
        EXPECT_EQ(valueAt(after->front(), address), valueAt(before->front(), address)) << address;
    }
    EXPECT_EQ(valueAt(after->front(), "0.6.1"), kDockName);
    EXPECT_EQ(valueAt(after->front(), "0.7.1"), "gate_house 3");
    EXPECT_EQ(valueAt(after->front(), "1.12.1"), "");
}

// A site's configuration file goes to every unit of its product and version, whichever way
// each is reached, and to no other: those are named, left unread and unwritten; among the
// units of "all" they are no failure of the run.
TEST(CliFleet, ASiteFileGoesToTheUnitsItIsFor) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string lineA = "02:4D:56:00:00:03"; // vela4-line-a, another product
    const std::string site = harness.file("site.cnf");
    ASSERT_EQ(harness.cli({"save", "vela1-dock", site}).exitCode, 0);
    const auto labBefore = harness.cliJson({"read", "vela1-lab"});
    ASSERT_TRUE(labBefore && labBefore->size() == 1);
    auto command = [&](Strings words) {
        words.insert(words.end(), {site, "--skip", "0.1.1,1.1.1"});
        return words;
    };
    auto resultsOf = [](const Json& document) {
        Strings results;
        for (const Json& unit : document) {
            results.push_back(textOf(unit, "result"));
        }
        return results;
    };
    const Strings units{"vela1-dock", "vela1-lab", "vela4-line-a"};

    harness.forget();
    ProcessResult diff;
    Strings diffWords{"diff"};
    diffWords.insert(diffWords.end(), units.begin(), units.end());
    const auto differences = harness.cliJson(command(diffWords), &diff);
    ASSERT_TRUE(differences && differences->size() == 3) << diff.err;
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    EXPECT_EQ(resultsOf(*differences), (Strings{"ok", "ok", "other product"})) << diff.err;
    EXPECT_TRUE((*differences)[0].at("differences").empty());
    EXPECT_EQ(differencesOf((*differences)[1]).at("0.6.1"),
              std::make_pair(valueAt(labBefore->front(), "0.6.1"), kDockName));
    EXPECT_NE(diff.err.find("vela4-line-a"), std::string::npos) << diff.err;
    EXPECT_NE(diff.err.find("is left out"), std::string::npos) << diff.err;
    EXPECT_TRUE(harness.framesTo(lineA, kVela).empty());

    harness.forget();
    ProcessResult load;
    Strings loadWords{"load", "--yes"};
    loadWords.insert(loadWords.end(), units.begin(), units.end());
    const auto loaded = harness.cliJson(command(loadWords), &load);
    ASSERT_TRUE(loaded && loaded->size() == 3) << load.err;
    EXPECT_EQ(load.exitCode, 1) << load.err;
    EXPECT_EQ(resultsOf(*loaded), (Strings{"ok", "ok", "other product"})) << load.err;
    EXPECT_EQ(writesIn(harness.framesTo(kDock, kVela)), 0); // it holds the file already
    EXPECT_EQ(writesIn(harness.framesTo(kLab, kVela)), 1);
    EXPECT_TRUE(harness.framesTo(lineA, kVela).empty());
    const auto labAfter = harness.cliJson({"read", "vela1-lab"});
    ASSERT_TRUE(labAfter && labAfter->size() == 1);
    EXPECT_EQ(valueAt(labAfter->front(), "0.6.1"), kDockName);
    EXPECT_EQ(valueAt(labAfter->front(), "0.1.1"), valueAt(labBefore->front(), "0.1.1"));
    ProcessResult again;
    const auto everyUnit = harness.cliJson(command({"diff", "all"}), &again);
    EXPECT_TRUE(everyUnit && everyUnit->size() == 8) << again.err;
    EXPECT_EQ(again.exitCode, 0) << again.err;

    // One product reached by its own address and by broadcast takes one set.
    ProcessResult set;
    const auto written =
        harness.cliJson({"set", "vela1-dock", "vela1-lab", "0.7.1=noc", "--yes"}, &set);
    ASSERT_TRUE(written && written->size() == 2) << set.err;
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(resultsOf(*written), (Strings{"ok", "ok"}));
    const auto back = harness.cliJson({"read", "vela1-dock", "vela1-lab"});
    ASSERT_TRUE(back && back->size() == 2);
    for (const Json& unit : *back) {
        EXPECT_EQ(valueAt(unit, "0.7.1"), "noc") << textOf(unit, "mac");
    }
}

// Every unit of a read gets a result; one unit without a login does not stop the others.
TEST(CliFleet, ReadReportsEachUnitsResult) {
    CliHarness harness(std::vector<Json>{fleetUnit("grumpy", "02:4D:56:00:00:22", "127.77.0.22", 7,
                                                   "1.2", Json{{"errorReply", true}})});
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:22", "admin", "quorvane");

    struct Case {
        const char* label;
        Strings arguments;
        int exitCode;
        Strings results;
    };
    const std::vector<Case> cases{
        {"one unit not in pwd.ini",
         {"read", "orion16-rack", "orion16-new"},
         3,
         {"ok", "credentials needed"}},
        {"one unit refusing", {"read", "vela1-dock", "grumpy"}, 3, {"ok", "credentials needed"}},
        {"refusing given credentials",
         {"read", "vela1-dock", "grumpy", "--id", "admin", "--password", "quorvane"},
         1,
         {"ok", "error"}},
    };
    for (const Case& c : cases) {
        harness.forget();
        ProcessResult run;
        const auto document = harness.cliJson(c.arguments, &run);
        ASSERT_TRUE(document && document->size() == c.results.size()) << c.label << run.err;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.label << run.err;
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            EXPECT_EQ(textOf((*document)[i], "result"), c.results[i]) << c.label << i;
        }
        EXPECT_NE(valueAt(document->front(), "0.1.1"), "") << c.label;
    }
    EXPECT_TRUE(harness.framesTo(kNew, kOrion).empty());
}

// Units of product 07 on 127.77.3.x, each losing `lossPercent` of its frames each way (and of
// its probes with `probesToo`).
std::vector<Json> lossyFleet(int count, int lossPercent, bool probesToo = false) {
    std::vector<Json> units;
    for (int n = 1; n <= count; ++n) {
        std::array<char, 3> two{};
        std::snprintf(two.data(), two.size(), "%02X", n);
        units.push_back(fleetUnit("lossy-" + std::to_string(n),
                                  "02:4D:56:00:03:" + std::string(two.data()),
                                  "127.77.3." + std::to_string(n), 7, "1.2",
                                  Json{{"lossPercent", lossPercent},
                                       {"lossSeed", 11},
                                       {"lossIncludesProbes", probesToo}}));
    }
    return units;
}

int framesOf(const std::vector<RecordedFrame>& frames, Command command) {
    return static_cast<int>(std::count_if(
        frames.begin(), frames.end(), [&](const auto& frame) { return frame.command == command; }));
}

// Without the fixed pause, a read still sends each unit exactly the request the paced read
// sends it, and gives the same values.
TEST(CliFleet, WindowedReadEqualsThePacedOne) {
    CliHarness harness(lossyFleet(24, 0), false);
    ASSERT_TRUE(harness.ready());
    for (const Json& unit : lossyFleet(24, 0)) {
        harness.addCredentials(textOf(unit, "mac"), "admin", "quorvane");
    }
    std::vector<Json> documents;
    for (const Strings& pace : {Strings{}, Strings{"--pace", "100"}}) {
        Strings arguments{"read", "all", "--wait", "500"};
        arguments.insert(arguments.end(), pace.begin(), pace.end());
        harness.forget();
        ProcessResult run;
        const auto document = harness.cliJson(arguments, &run);
        ASSERT_TRUE(document && document->size() == 24) << run.err;
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const Json& unit : lossyFleet(24, 0)) {
            const auto frames = harness.framesTo(textOf(unit, "mac"), kVela);
            EXPECT_EQ(framesOf(frames, Command::ReadRequest), 1) << textOf(unit, "mac");
        }
        // Units answer in their own order; compare them by MAC.
        Json sorted = *document;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Json& a, const Json& b) { return textOf(a, "mac") < textOf(b, "mac"); });
        documents.push_back(std::move(sorted));
    }
    EXPECT_EQ(documents[0], documents[1]);
}

// On a lossy network requests that went unanswered are sent again: every value arrives and
// every write lands; without repeats the same losses leave units unanswered. A reboot is
// never sent twice.
TEST(CliFleet, RepeatsCarryReadsAndWritesThroughLoss) {
    constexpr int kUnits = 20;
    const std::vector<Json> fleet = lossyFleet(kUnits, 10);
    CliHarness harness(fleet, false);
    ASSERT_TRUE(harness.ready());
    for (const Json& unit : fleet) {
        harness.addCredentials(textOf(unit, "mac"), "admin", "quorvane");
    }
    const Strings common{"--wait", "500", "--timeout", "1200"};
    auto cli = [&](Strings arguments, ProcessResult* run) {
        arguments.insert(arguments.end(), common.begin(), common.end());
        return harness.cliJson(arguments, run);
    };

    ProcessResult bare;
    const auto unrepeated = cli({"read", "all", "--retries", "0"}, &bare);
    ASSERT_TRUE(unrepeated);
    EXPECT_EQ(bare.exitCode, 1) << "the losses should leave a unit unanswered";

    ProcessResult set;
    const auto written =
        cli({"set", "all", "0.6.1=Rack 9", "0.7.1=noc", "0.10.1=Blink", "--retries", "5", "--yes"},
            &set);
    ASSERT_TRUE(written && written->size() == kUnits) << set.err;
    EXPECT_EQ(set.exitCode, 0) << set.err;
    for (const Json& unit : *written) {
        EXPECT_EQ(textOf(unit, "result"), "ok") << textOf(unit, "mac");
    }

    ProcessResult read;
    const auto back = cli({"read", "all", "--retries", "5"}, &read);
    ASSERT_TRUE(back && back->size() == kUnits) << read.err;
    EXPECT_EQ(read.exitCode, 0) << read.err;
    for (const Json& unit : *back) {
        EXPECT_EQ(textOf(unit, "result"), "ok") << textOf(unit, "mac");
        EXPECT_EQ(valueAt(unit, "0.6.1"), "Rack 9") << textOf(unit, "mac");
        EXPECT_EQ(valueAt(unit, "0.7.1"), "noc") << textOf(unit, "mac");
        EXPECT_EQ(valueAt(unit, "0.10.1"), "Blink") << textOf(unit, "mac");
    }
}

// Probes lost on the way are made up by the next probe of the window; a named unit that never
// answers is reported "no answer" beside the others, which are read all the same.
TEST(CliFleet, LostProbesAndAMissingUnitLeaveTheOthersRead) {
    const std::vector<Json> fleet = lossyFleet(10, 10, true);
    CliHarness harness(fleet, false);
    ASSERT_TRUE(harness.ready());
    Strings arguments{"read", "--wait", "1000", "--retries", "5"};
    for (const Json& unit : fleet) {
        harness.addCredentials(textOf(unit, "mac"), "admin", "quorvane");
        arguments.push_back(textOf(unit, "mac"));
    }
    arguments.push_back("02:4D:56:00:03:7F");
    ProcessResult run;
    const auto document = harness.cliJson(arguments, &run);
    ASSERT_TRUE(document && document->size() == 11) << run.err;
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const Json& unit : *document) {
        const bool missing = textOf(unit, "mac") == "02:4D:56:00:03:7F";
        EXPECT_EQ(textOf(unit, "result"), missing ? "no answer" : "ok") << textOf(unit, "mac");
    }
}

// A write in several requests goes through each unit on its own: a unit that refuses, or one
// that stays silent, leaves the others neither half-written nor reported "no answer".
TEST(CliFleet, AWriteInPartsReachesEveryUnitThatAnswers) {
    const std::vector<Json> fleet{
        fleetUnit("o-1", "02:4D:56:00:04:01", "127.77.4.1", 61, "3.10"),
        fleetUnit("o-2", "02:4D:56:00:04:02", "127.77.4.2", 61, "3.10"),
        fleetUnit("o-3", "02:4D:56:00:04:03", "127.77.4.3", 61, "3.10"),
        fleetUnit("o-4", "02:4D:56:00:04:04", "127.77.4.4", 61, "3.10", Json{{"noAnswer", true}})};
    CliHarness harness(fleet, false);
    ASSERT_TRUE(harness.ready());
    for (const Json& unit : fleet) {
        const bool wrong = textOf(unit, "name") == "o-2";
        harness.addCredentials(textOf(unit, "mac"), "admin", wrong ? "wrong" : "quorvane");
    }
    Strings arguments{"set", "all", "--yes", "--wait", "400", "--timeout", "800"};
    for (int port = 1; port <= 16; ++port) {
        arguments.push_back("4.13." + std::to_string(port) + "=alias " + std::to_string(port));
        arguments.push_back("4.34." + std::to_string(port) + "=banner " + std::to_string(port));
    }
    ProcessResult run;
    const auto results = harness.cliJson(arguments, &run);
    ASSERT_TRUE(results && results->size() == 4) << run.err;
    EXPECT_EQ(run.exitCode, 3) << run.err; // the refusal: a login is needed
    const std::map<std::string, std::string> wanted{{"127.77.4.1", "ok"},
                                                    {"127.77.4.2", "error"},
                                                    {"127.77.4.3", "ok"},
                                                    {"127.77.4.4", "no answer"}};
    for (const Json& unit : *results) {
        EXPECT_EQ(textOf(unit, "result"), wanted.at(textOf(unit, "ip"))) << textOf(unit, "ip");
    }
    EXPECT_GE(writesIn(harness.framesTo("02:4D:56:00:04:01", kOrion)), 2);
    const auto back = harness.cliJson({"read", "o-1", "o-3"});
    ASSERT_TRUE(back && back->size() == 2);
    for (const Json& unit : *back) {
        for (int port = 1; port <= 16; ++port) {
            const std::string n = std::to_string(port);
            EXPECT_EQ(valueAt(unit, "4.13." + n), "alias " + n) << textOf(unit, "ip");
            EXPECT_EQ(valueAt(unit, "4.34." + n), "banner " + n) << textOf(unit, "ip");
        }
    }
}

TEST(CliFleet, OnlySafeRequestsAreSentAgain) {
    CliHarness harness(std::vector<Json>{
        fleetUnit("mute", "02:4D:56:00:00:21", "127.77.0.21", 7, "1.2", Json{{"noAnswer", true}})});
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:21", "admin", "quorvane");
    struct Case {
        const char* label;
        Strings arguments;
        Command command;
        int frames;
    };
    const std::vector<Case> cases{
        {"read", {"read", "mute"}, Command::ReadRequest, 3},
        {"write", {"set", "mute", "0.6.1=x", "--yes"}, Command::WriteRequest, 3},
        {"login write", {"set", "mute", "2.1.2=secret", "--yes"}, Command::WriteRequest, 1},
        {"reboot", {"reboot", "mute", "--yes"}, Command::RebootRequest, 1},
    };
    for (const Case& c : cases) {
        harness.forget();
        Strings arguments = c.arguments;
        arguments.insert(arguments.end(), {"--retries", "2", "--timeout", "600", "--wait", "300"});
        const ProcessResult run = harness.cli(arguments);
        EXPECT_EQ(run.exitCode, 4) << c.label << run.err; // nothing answered at all
        EXPECT_EQ(framesOf(harness.framesTo("02:4D:56:00:00:21", kVela), c.command), c.frames)
            << c.label;
        if (c.frames == 1) {
            EXPECT_NE(run.err.find("not sent again"), std::string::npos) << c.label << run.err;
        }
    }
}

} // namespace
} // namespace morvik::testing
