#include "cli/CliOptions.h"

#include "support/CaseNames.h"

#include <gtest/gtest.h>
#include <sstream>

namespace morvik::cli {
namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

ParsedCommandLine parse(const std::string& line) {
    const auto arguments = words(line);
    return parseCommandLine(arguments);
}

struct UsageCase {
    const char* line;
    const char* errorPart; // a piece of the message that names the problem
};

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, AreRefusedWithAMessageNamingTheProblem) {
    const ParsedCommandLine parsed = parse(GetParam().line);
    EXPECT_EQ(parsed.outcome, ParsedCommandLine::Outcome::UsageError) << GetParam().line;
    EXPECT_NE(parsed.error.find(GetParam().errorPart), std::string::npos)
        << GetParam().line << " -> " << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageErrors,
    ::testing::Values(
        UsageCase{"", "no command"}, UsageCase{"frobnicate", "unknown command"},
        UsageCase{"probe extra", "probe takes no units"},
        UsageCase{"read", "read needs at least one UNIT"},
        UsageCase{"reboot", "reboot needs at least one UNIT"},
        UsageCase{"read all vela1", "\"all\" stands alone"},
        UsageCase{"set vela1", "set needs at least one ADDRESS=TEXT"},
        UsageCase{"set vela1 1.1.1=a vela2", "units come before"},
        UsageCase{"set vela1 =text", "names no parameter address"},
        UsageCase{"load vela1", "load needs UNIT... FILE.cnf"},
        UsageCase{"save vela1", "save needs exactly one UNIT"},
        UsageCase{"save a b c.cnf", "save needs exactly one UNIT"},
        UsageCase{"save all x.cnf", "\"all\" cannot be saved"},
        UsageCase{"--port 0 probe", "--port needs a port number"},
        UsageCase{"--port 65536 probe", "--port needs a port number"},
        UsageCase{"--port 20x2 probe", "--port needs a port number"},
        UsageCase{"--broadcast 255.255.255 probe", "dotted IPv4"},
        UsageCase{"--host-address localhost probe", "dotted IPv4"},
        UsageCase{"--wait -5 probe", "--wait needs milliseconds"},
        UsageCase{"--wait 3600001 probe", "--wait needs milliseconds"},
        UsageCase{"--timeout 1.5 probe", "--timeout needs milliseconds"},
        UsageCase{"--id admin read x", "--id and --password go together"},
        UsageCase{"--password pw read x", "--id and --password go together"},
        UsageCase{
            "--id iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii "
            "--password pw read x",
            "at most 75 characters"},
        UsageCase{
            "--id admin --password "
            "pppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppp read x",
            "at most 75 characters"},
        UsageCase{"--group Network probe", "--group belongs to the read"},
        UsageCase{"--reboot reboot x", "--reboot belongs to the set and load"},
        UsageCase{"--json=yes probe", "--json takes no value"},
        UsageCase{"--verbos probe", "unknown option --verbos"},
        UsageCase{"-x probe", "unknown option -x"}, UsageCase{"--wait", "--wait needs a value"},
        UsageCase{"--wait 5 --wait 6 probe", "--wait given twice"},
        UsageCase{"--data-dir= probe", "--data-dir needs a directory"},
        UsageCase{"diff vela1", "diff needs UNIT... FILE.cnf"},
        UsageCase{"--dry-run read x", "--dry-run belongs to the set and load"},
        UsageCase{"--dry-run --reboot set x 1.1.1=a", "nothing to --reboot"},
        UsageCase{"--backup d reboot x", "--backup belongs to the set and load"},
        UsageCase{"--skip 1.1.1 set x 0.6.1=a", "--skip belongs to the load and diff"},
        UsageCase{"--skip 1.1.1,,0.1.1 load x f.cnf", "--skip needs parameter addresses"},
        UsageCase{"--skip , load x f.cnf", "--skip needs parameter addresses"},
        UsageCase{"--pace 10001 read x", "--pace needs milliseconds from 0 to 10000"},
        UsageCase{"--retries 11 read x", "--retries needs a count from 0 to 10"},
        UsageCase{"--retries -1 read x", "--retries needs a count"}),
    [](const auto& info) { return morvik::testing::caseName(info.param.line); });

TEST(CommandLine, DefaultsAreTheDocumentedOnes) {
    const ParsedCommandLine parsed = parse("probe");
    ASSERT_EQ(parsed.outcome, ParsedCommandLine::Outcome::Run);
    const CliOptions& options = parsed.options;
    EXPECT_EQ(options.command, CommandKind::Probe);
    EXPECT_EQ(options.waitMs, 2000);
    EXPECT_EQ(options.timeoutMs, 3000);
    EXPECT_TRUE(options.dataDirectory.empty());
    EXPECT_FALSE(options.port);
    EXPECT_FALSE(options.credentials);
    EXPECT_FALSE(options.json || options.yes || options.reboot || options.verbose);
}

TEST(CommandLine, OptionsMayStandAnywhereAndTakeTheirValueEitherWay) {
    const ParsedCommandLine parsed =
        parse("--json read vela1-dock --group=Network 02:4D:56:00:00:02 --wait 150 --timeout=40 "
              "--id admin --password=se=cret --port 40123 --broadcast 127.255.255.255 "
              "--host-address 127.0.0.1 --data-dir /tmp/d --verbose");
    ASSERT_EQ(parsed.outcome, ParsedCommandLine::Outcome::Run) << parsed.error;
    const CliOptions& options = parsed.options;
    EXPECT_EQ(options.command, CommandKind::Read);
    EXPECT_EQ(options.units, (std::vector<std::string>{"vela1-dock", "02:4D:56:00:00:02"}));
    EXPECT_EQ(options.group, "Network");
    EXPECT_EQ(options.waitMs, 150);
    EXPECT_EQ(options.timeoutMs, 40);
    ASSERT_TRUE(options.credentials);
    EXPECT_EQ(options.credentials->loginId, "admin");
    EXPECT_EQ(options.credentials->password, "se=cret");
    EXPECT_EQ(options.port, 40123);
    EXPECT_EQ(options.broadcastAddress, "127.255.255.255");
    EXPECT_EQ(options.hostAddress, "127.0.0.1");
    EXPECT_EQ(options.dataDirectory, "/tmp/d");
    EXPECT_TRUE(options.json && options.verbose);
}

TEST(CommandLine, SetSplitsUnitsFromAssignmentsAtTheFirstEqualsSign) {
    const std::vector<std::string> arguments{"set",    "a",         "b",    "1.1.1=10.0.0.5",
                                             "0.6.1=", "0.7.1=x=y", "--yes"};
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    ASSERT_EQ(parsed.outcome, ParsedCommandLine::Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.units, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(parsed.options.assignments,
              (std::vector<Assignment>{{"1.1.1", "10.0.0.5"}, {"0.6.1", ""}, {"0.7.1", "x=y"}}));
    EXPECT_TRUE(parsed.options.yes);
}

TEST(CommandLine, ValuesWithBlanksAndDashesReachTheCommand) {
    const std::vector<std::string> arguments{"set", "unit", "0.6.1=250  ms", "--", "--odd-name"};
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    // "--" ends the options: what follows is a positional word, here after an assignment.
    EXPECT_EQ(parsed.outcome, ParsedCommandLine::Outcome::UsageError);

    const std::vector<std::string> passwordLikeOption{"--id", "-x-", "--password", "--yes",
                                                      "read", "--",  "-unit-"};
    const ParsedCommandLine second = parseCommandLine(passwordLikeOption);
    ASSERT_EQ(second.outcome, ParsedCommandLine::Outcome::Run) << second.error;
    EXPECT_EQ(second.options.credentials, (Credentials{"-x-", "--yes"}));
    EXPECT_FALSE(second.options.yes);
    EXPECT_EQ(second.options.units, (std::vector<std::string>{"-unit-"}));

    const std::vector<std::string> blanks{"set", "unit", "0.6.1=250  ms"};
    const ParsedCommandLine third = parseCommandLine(blanks);
    ASSERT_EQ(third.outcome, ParsedCommandLine::Outcome::Run);
    EXPECT_EQ(third.options.assignments.front().text, "250  ms");
}

// Units may have an empty login; "--password=" must not take the next word as the password.
TEST(CommandLine, AnEmptyValueAfterEqualsIsEmptyNotTheNextWord) {
    const ParsedCommandLine parsed = parse("--id= --password= read x");
    ASSERT_EQ(parsed.outcome, ParsedCommandLine::Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.credentials, (Credentials{"", ""}));
    EXPECT_EQ(parsed.options.units, (std::vector<std::string>{"x"}));
}

TEST(CommandLine, LoadAndSaveTakeTheFileLast) {
    const ParsedCommandLine load = parse("load a b c.cnf --yes --reboot");
    ASSERT_EQ(load.outcome, ParsedCommandLine::Outcome::Run) << load.error;
    EXPECT_EQ(load.options.units, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(load.options.file, "c.cnf");
    EXPECT_TRUE(load.options.reboot);

    const ParsedCommandLine save = parse("save a out.cnf");
    ASSERT_EQ(save.outcome, ParsedCommandLine::Outcome::Run) << save.error;
    EXPECT_EQ(save.options.units, (std::vector<std::string>{"a"}));
    EXPECT_EQ(save.options.file, "out.cnf");
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(parse("--help").outcome, ParsedCommandLine::Outcome::Help);
    EXPECT_EQ(parse("read -h").outcome, ParsedCommandLine::Outcome::Help);
    EXPECT_EQ(parse("set x --help").outcome, ParsedCommandLine::Outcome::Help);
    EXPECT_EQ(parse("--version").outcome, ParsedCommandLine::Outcome::Version);
}

TEST(CommandLine, CommandLineOverridesWinOverTheEnvironment) {
    EndpointSettings environment;
    environment.devicePort = 4000;
    environment.broadcastAddress = "127.255.255.255";
    environment.hostAddress = "127.0.0.1";

    const ParsedCommandLine none = parse("probe");
    const EndpointSettings unchanged = applyEndpointOverrides(environment, none.options);
    EXPECT_EQ(unchanged.devicePort, 4000);
    EXPECT_EQ(unchanged.broadcastAddress, "127.255.255.255");
    EXPECT_EQ(unchanged.hostAddress, "127.0.0.1");

    const ParsedCommandLine all =
        parse("probe --port 5000 --broadcast 127.0.0.255 --host-address 127.0.0.9");
    const EndpointSettings overridden = applyEndpointOverrides(environment, all.options);
    EXPECT_EQ(overridden.devicePort, 5000);
    EXPECT_EQ(overridden.broadcastAddress, "127.0.0.255");
    EXPECT_EQ(overridden.hostAddress, "127.0.0.9");
}

} // namespace
} // namespace morvik::cli
