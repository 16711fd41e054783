#include "protocol/ReadReplyBody.h"

#include "protocol/HexBytes.h"
#include "protocol/TableLayout.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using test::hexBytes;
using test::TableLayout;

using Delivered = std::vector<std::pair<int, std::vector<std::uint8_t>>>;

// Fifteen value bytes in all; "3.0" covers 3.1 and 3.10 but not 30.1.
const TableLayout kLayout({{"1.1", 1},
                           {"1.2", 2},
                           {"2.1.1", 4},
                           {"2.1.2", 3},
                           {"3.1", 2},
                           {"3.10", 1},
                           {"30.1", 2},
                           {"4.1", 0}});

constexpr int kWholeBody = -100; // declared length = the body's size

struct WalkCase {
    const char* what;
    std::string body;
    int declared;
    ByteOrder order;
    BodyWalkEnd end;
    std::vector<std::pair<int, std::string>> values;
};

Delivered walk(std::span<const std::uint8_t> body, int declared, ByteOrder order,
               BodyWalkEnd& end) {
    Delivered delivered;
    end = walkReadReplyBody(
        body, declared, order, kLayout, [&](int index, std::span<const std::uint8_t> value) {
            delivered.emplace_back(index, std::vector(value.begin(), value.end()));
        });
    return delivered;
}

void PrintTo(const WalkCase& c, std::ostream* out) {
    *out << c.what;
}

class ReadReplyWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(ReadReplyWalk, DeliversTheValuesAndEndsAsExpected) {
    const WalkCase& c = GetParam();
    const auto body = hexBytes(c.body);
    const int declared = c.declared == kWholeBody ? static_cast<int>(body.size()) : c.declared;
    Delivered expected;
    for (const auto& [index, value] : c.values) {
        expected.emplace_back(index, hexBytes(value));
    }
    BodyWalkEnd end{};
    EXPECT_EQ(walk(body, declared, c.order, end), expected) << c.what;
    EXPECT_EQ(end, c.end) << c.what;
}

constexpr auto kLow = ByteOrder::LeastSignificantFirst;
constexpr auto kHigh = ByteOrder::MostSignificantFirst;
constexpr auto kComplete = BodyWalkEnd::Complete;
constexpr auto kLengthError = BodyWalkEnd::LengthError;
constexpr auto kUnknown = BodyWalkEnd::UnknownAddress;

INSTANTIATE_TEST_SUITE_P(
    Bodies, ReadReplyWalk,
    ::testing::Values(
        WalkCase{"range 0 takes every parameter's size",
                 "01 00 0F 00 11 21 22 31 32 33 34 41 42 43 51 52 61 71 72",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{0, "11"},
                  {1, "21 22"},
                  {2, "31 32 33 34"},
                  {3, "41 42 43"},
                  {4, "51 52"},
                  {5, "61"},
                  {6, "71 72"},
                  {7, ""}}},
        WalkCase{"range 2.0, high byte first",
                 "02 02 00 00 07 31 32 33 34 41 42 43",
                 kWholeBody,
                 kHigh,
                 kComplete,
                 {{2, "31 32 33 34"}, {3, "41 42 43"}}},
        WalkCase{"range 3.0 is 3.1 and 3.10",
                 "02 03 00 03 00 51 52 61",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{4, "51 52"}, {5, "61"}}},
        WalkCase{"single entries",
                 "02 01 02 02 00 21 22 03 02 01 02 03 00 41 42 43",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{1, "21 22"}, {3, "41 42 43"}}},
        WalkCase{"single entry takes its value length, not the parameter's size",
                 "02 01 01 03 00 AA BB CC",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{0, "AA BB CC"}}},
        WalkCase{"single, range, single",
                 "02 01 02 02 00 21 22 02 02 00 07 00 31 32 33 34 41 42 43 02 01 01 01 00 11",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{1, "21 22"}, {2, "31 32 33 34"}, {3, "41 42 43"}, {0, "11"}}},
        WalkCase{"value length high byte first",
                 "02 01 02 00 02 21 22",
                 kWholeBody,
                 kHigh,
                 kComplete,
                 {{1, "21 22"}}},
        WalkCase{"same bytes low byte first ask for 512 value bytes",
                 "02 01 02 00 02 21 22",
                 kWholeBody,
                 kLow,
                 kLengthError,
                 {}},
        WalkCase{"empty body", "", 0, kLow, kComplete, {}},
        WalkCase{"negative body length", "02 01 01 01 00 11", -1, kLow, kLengthError, {}},
        WalkCase{"entries overrun the declared length: values kept, then the error",
                 "02 01 01 01 00 11 02 01 02 02 00 21 22",
                 8,
                 kLow,
                 kLengthError,
                 {{0, "11"}, {1, "21 22"}}},
        WalkCase{"unknown single address stops at once",
                 "02 01 01 01 00 11 02 09 09 01 00 99 02 01 02 02 00 21 22",
                 kWholeBody,
                 kLow,
                 kUnknown,
                 {{0, "11"}}},
        WalkCase{"no components names no parameter", "00 00 00", kWholeBody, kLow, kUnknown, {}},
        WalkCase{"a range that covers nothing consumes no value bytes",
                 "02 09 00 00 00 02 01 01 01 00 11",
                 kWholeBody,
                 kLow,
                 kComplete,
                 {{0, "11"}}},
        // The read position follows the parameters' sizes; the count follows the value length.
        WalkCase{"range value length disagreeing with the sizes",
                 "02 01 00 00 00 11 21 22",
                 5,
                 kLow,
                 kComplete,
                 {{0, "11"}, {1, "21 22"}}},
        WalkCase{"bytes after the declared body are left alone",
                 "02 01 01 01 00 11 FF FF",
                 6,
                 kLow,
                 kComplete,
                 {{0, "11"}}},
        WalkCase{"range values cut off by the datagram",
                 "01 00 0F 00 11 21 22 31 32 33 34 41 42 43 51 52",
                 19,
                 kLow,
                 kLengthError,
                 {{0, "11"}, {1, "21 22"}, {2, "31 32 33 34"}, {3, "41 42 43"}, {4, "51 52"}}},
        WalkCase{
            "single value cut off by the datagram", "02 01 02 02 00 21", 7, kLow, kLengthError, {}},
        WalkCase{"entry header cut off by the datagram", "03 02 01", 9, kLow, kLengthError, {}}),
    [](const auto& info) { return morvik::testing::caseName(info.param.what); });

TEST(ReadReplyWalk, EveryCutOfABodyEndsInALengthError) {
    const auto body =
        hexBytes("02 01 02 02 00 21 22 01 00 0F 00 11 21 22 31 32 33 34 41 42 43 51 52 61 71 72 "
                 "02 01 01 01 00 11");
    BodyWalkEnd end{};
    const Delivered full = walk(body, static_cast<int>(body.size()), kLow, end);
    ASSERT_EQ(end, kComplete);
    ASSERT_EQ(full.size(), 10u);
    for (std::size_t length = 0; length < body.size(); ++length) {
        const std::vector<std::uint8_t> cut(body.begin(),
                                            body.begin() + static_cast<std::ptrdiff_t>(length));
        const Delivered delivered = walk(cut, static_cast<int>(body.size()), kLow, end);
        EXPECT_EQ(end, kLengthError) << length;
        ASSERT_LE(delivered.size(), full.size());
        EXPECT_TRUE(std::equal(delivered.begin(), delivered.end(), full.begin())) << length;
    }
}

TEST(RangeAddress, IsZeroOrEndsInPointZero) {
    const std::vector<std::pair<std::string_view, bool>> cases{
        {"0", true},     {"3.0", true}, {"10.0", true}, {"2.1.0", true}, {"10", false},
        {"3.10", false}, {"30", false}, {"0.1", false}, {"", false},     {"3.1", false},
    };
    for (const auto& [address, isRange] : cases) {
        EXPECT_EQ(isRangeAddress(address), isRange) << address;
    }
}

} // namespace
} // namespace morvik
