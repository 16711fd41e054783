#include "cli/UnitMatching.h"

#include "support/CaseNames.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace morvik::cli {
namespace {

DeviceRecord unit(std::string name, std::string ip, std::string mac) {
    return {std::move(name), std::move(ip), std::move(mac), "07", "1.2", "1"};
}

// In order of arrival.
const std::vector<DeviceRecord> kFleet{
    unit("vela1-dock", "127.0.0.21", "02:4D:56:00:00:01"),
    unit("vela1-lab", "127.0.0.22", "02:4D:56:00:00:02"),
    unit("twin", "127.0.0.23", "02:4D:56:00:00:03"),
    unit("twin", "127.0.0.24", "02:4D:56:00:00:04"),
    unit("127.0.0.99", "127.0.0.25", "02:4D:56:00:00:05"), // a name that looks like an IP
};

struct SpecCase {
    const char* word;
    UnitSpec::Kind kind;
    const char* normalized;
};

class UnitWords : public ::testing::TestWithParam<SpecCase> {};

TEST_P(UnitWords, ReadAsMacThenIpThenName) {
    const UnitSpec spec = parseUnitSpec(GetParam().word);
    EXPECT_EQ(spec.kind, GetParam().kind) << GetParam().word;
    EXPECT_EQ(spec.normalized, GetParam().normalized) << GetParam().word;
    EXPECT_EQ(spec.text, GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnitWords,
    ::testing::Values(SpecCase{"02:4D:56:00:00:01", UnitSpec::Kind::Mac, "02:4D:56:00:00:01"},
                      SpecCase{"02:4d:56:00:0a:ff", UnitSpec::Kind::Mac, "02:4D:56:00:0A:FF"},
                      SpecCase{"02-4d-56-00-00-01", UnitSpec::Kind::Mac, "02:4D:56:00:00:01"},
                      SpecCase{"02:4D:56:00:00", UnitSpec::Kind::Name, "02:4D:56:00:00"},
                      SpecCase{"02:4D:56:00:00:01:07", UnitSpec::Kind::Name,
                               "02:4D:56:00:00:01:07"},
                      SpecCase{"127.0.0.21", UnitSpec::Kind::Ip, "127.0.0.21"},
                      SpecCase{"127.0.0", UnitSpec::Kind::Name, "127.0.0"},
                      SpecCase{"127.0.0.256", UnitSpec::Kind::Name, "127.0.0.256"},
                      SpecCase{"vela1-dock", UnitSpec::Kind::Name, "vela1-dock"},
                      SpecCase{"all", UnitSpec::Kind::All, "all"},
                      SpecCase{"ALL", UnitSpec::Kind::Name, "ALL"}),
    [](const auto& info) { return morvik::testing::caseName(info.param.word); });

struct MatchCase {
    std::vector<std::string> words;
    std::vector<int> selected;
    std::vector<std::string> unknown;
    std::vector<std::string> ambiguous;
};

class Matching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Matching, SelectsInCommandLineOrderAndReportsWhatFailed) {
    const MatchCase& expected = GetParam();
    const UnitMatch match = matchUnits(parseUnitSpecs(expected.words), kFleet);
    EXPECT_EQ(match.selected, expected.selected);
    EXPECT_EQ(match.unknown, expected.unknown);
    EXPECT_EQ(match.ambiguous, expected.ambiguous);
}

INSTANTIATE_TEST_SUITE_P(
    Units, Matching,
    ::testing::Values(MatchCase{{"vela1-lab", "02:4d:56:00:00:01"}, {1, 0}, {}, {}},
                      MatchCase{{"127.0.0.24", "02-4D-56-00-00-02"}, {3, 1}, {}, {}},
                      // A unit named twice, by different words, acts once, at its first place.
                      MatchCase{{"vela1-lab", "127.0.0.22", "vela1-dock"}, {1, 0}, {}, {}},
                      MatchCase{{"all"}, {0, 1, 2, 3, 4}, {}, {}},
                      MatchCase{{"twin"}, {}, {}, {"twin"}},
                      MatchCase{{"nobody", "vela1-dock", "02:00:00:00:00:09"},
                                {0},
                                {"nobody", "02:00:00:00:00:09"},
                                {}},
                      // A word that reads as an IP is matched as an IP, never as a name.
                      MatchCase{{"127.0.0.99"}, {}, {"127.0.0.99"}, {}},
                      MatchCase{{"VELA1-DOCK"}, {}, {"VELA1-DOCK"}, {}}),
    [](const auto& info) { return morvik::testing::caseName(info.param.words); });

// Units send names as Latin-1 bytes; --json prints them as UTF-8, and either names the unit.
TEST(Matching, NameAsJsonPrintsItNamesTheLatin1Unit) {
    const std::vector<DeviceRecord> fleet{unit("K\xFC"
                                               "che",
                                               "127.0.0.26", "02:4D:56:00:00:06"),
                                          unit("other", "127.0.0.27", "02:4D:56:00:00:07")};
    for (const std::string word : {"K\xC3\xBC"
                                   "che",
                                   "K\xFC"
                                   "che"}) {
        const UnitMatch match = matchUnits(parseUnitSpecs({word}), fleet);
        EXPECT_EQ(match.selected, std::vector<int>{0}) << word;
    }
    EXPECT_EQ(matchUnits(parseUnitSpecs({"K\xC3\xBC"}), fleet).unknown,
              std::vector<std::string>{"K\xC3\xBC"});
}

struct EarlyEndCase {
    const char* label;
    std::vector<std::string> words;
    std::vector<bool> verdicts; // after each unit of kFleet
};

class EarlyEnd : public ::testing::TestWithParam<EarlyEndCase> {};

// The probe ends early only when no later reply can change the selection: MACs are listed
// once, while a second unit carrying a name or an IP makes the word ambiguous.
TEST_P(EarlyEnd, ProbingStopsOnlyWhenNoLaterReplyCanChangeTheOutcome) {
    const EarlyEndCase& expected = GetParam();
    SpecAnswers answers(parseUnitSpecs(expected.words));
    std::vector<bool> verdicts;
    for (const DeviceRecord& record : kFleet) {
        verdicts.push_back(answers.take(record));
    }
    EXPECT_EQ(verdicts, expected.verdicts);
    std::vector<DeviceRecord> arrived;
    for (std::size_t i = 0; i < kFleet.size(); ++i) {
        arrived.push_back(kFleet[i]);
        EXPECT_EQ(everySpecAnswered(parseUnitSpecs(expected.words), arrived), expected.verdicts[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Units, EarlyEnd,
    ::testing::Values(
        EarlyEndCase{
            "macs", {"02-4d-56-00-00-02", "02:4D:56:00:00:01"}, {false, true, true, true, true}},
        // The first "twin" must not end the probe: the second one makes the word ambiguous.
        EarlyEndCase{"name", {"twin"}, {false, false, false, false, false}},
        EarlyEndCase{"ip", {"127.0.0.21"}, {false, false, false, false, false}},
        EarlyEndCase{"mac and name",
                     {"02:4D:56:00:00:01", "vela1-lab"},
                     {false, false, false, false, false}},
        EarlyEndCase{"all", {"all"}, {false, false, false, false, false}}),
    [](const ::testing::TestParamInfo<EarlyEndCase>& info) {
        std::string name = info.param.label;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(Matching, NoSpecsNeedNoAnswer) {
    EXPECT_TRUE(SpecAnswers({}).everyAnswered());
}

} // namespace
} // namespace morvik::cli
