#include "protocol/FrameChecksum.h"
#include "protocol/HexBytes.h"
#include "protocol/ParameterFrame.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using test::hexBytes;

constexpr MacBytes kNoMac{};
constexpr MacBytes kUnitMac{0x02, 0x00, 0x00, 0x0A, 0x1B, 0x2C};

std::vector<std::uint8_t> frameOf(const FrameBuilder& builder) {
    return {builder.frame().begin(), builder.frame().end()};
}

struct ExampleFrame {
    const char* what;
    ByteOrder order;
    Command command;
    std::vector<std::uint8_t> body;
    std::size_t capacity;
    std::string expected;
};

void PrintTo(const ExampleFrame& c, std::ostream* out) {
    *out << c.what;
}

class ExampleFrames : public ::testing::TestWithParam<ExampleFrame> {};

TEST_P(ExampleFrames, AreBuiltByteForByte) {
    const ExampleFrame& example = GetParam();
    FrameBuilder builder(example.capacity, example.order);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    EXPECT_EQ(builder.lengthOffset(), 6u);
    ASSERT_TRUE(builder.putRequestId(0x1234));
    ASSERT_TRUE(builder.putCommand(example.command));
    ASSERT_TRUE(builder.appendBytes(example.body));
    const auto expected = hexBytes(example.expected);
    EXPECT_EQ(builder.finishFrame(), expected.size()) << example.what;
    EXPECT_EQ(frameOf(builder), expected) << example.what;
}

INSTANTIATE_TEST_SUITE_P(
    ShortHeaderEmptyCredentials, ExampleFrames,
    ::testing::Values(ExampleFrame{"read everything, low byte first",
                                   ByteOrder::LeastSignificantFirst,
                                   Command::ReadRequest,
                                   {kReadAllBody.begin(), kReadAllBody.end()},
                                   kRequestBufferSize,
                                   "03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02"},
                      ExampleFrame{"read everything, high byte first",
                                   ByteOrder::MostSignificantFirst,
                                   Command::ReadRequest,
                                   {kReadAllBody.begin(), kReadAllBody.end()},
                                   kRequestBufferSize,
                                   "03 A8 16 DA 00 00 00 09 12 34 A0 01 00 00 00 02 8B"},
                      ExampleFrame{"reboot, low byte first",
                                   ByteOrder::LeastSignificantFirst,
                                   Command::RebootRequest,
                                   {kRebootBody.begin(), kRebootBody.end()},
                                   kRebootBufferSize,
                                   "03 A8 16 DA 00 00 08 00 34 12 F0 00 00 00 D9 02"},
                      ExampleFrame{"reboot, high byte first",
                                   ByteOrder::MostSignificantFirst,
                                   Command::RebootRequest,
                                   {kRebootBody.begin(), kRebootBody.end()},
                                   kRebootBufferSize,
                                   "03 A8 16 DA 00 00 00 08 12 34 F0 00 00 00 02 D9"}),
    [](const auto& info) { return morvik::testing::caseName(info.param.what); });

TEST(FrameBuilder, ReadOfEverythingIsTheEntryForAddressZero) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(0x1234));
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    ASSERT_TRUE(builder.appendEntry("0", {}));
    builder.finishFrame();
    EXPECT_EQ(frameOf(builder), hexBytes("03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02"));
}

TEST(FrameBuilder, UnicastReadCarriesOneZeroByteAfterTheChecksum) {
    const auto frame = hexBytes("03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02");
    auto expected = frame;
    expected.push_back(0x00);
    EXPECT_EQ(withUnicastReadPadding(frame), expected);
}

TEST(FrameBuilder, LongHeaderNamesTheUnitByMac) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::MostSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Long, kUnitMac, "ab", "c"));
    EXPECT_EQ(builder.lengthOffset(), 16u);
    ASSERT_TRUE(builder.putRequestId(10000));
    EXPECT_EQ(builder.requestIdBytes(), (std::array<std::uint8_t, 2>{0x27, 0x10}));
    ASSERT_TRUE(builder.putCommand(Command::WriteRequest));
    const std::vector<std::uint8_t> value{0x01, 0x02};
    ASSERT_TRUE(builder.appendEntry("3.300.1", value));
    EXPECT_EQ(builder.finishFrame(), 31u);
    EXPECT_EQ(frameOf(builder),
              hexBytes("03 A8 16 DB 02 00 00 0A 1B 2C 02 02 61 62 01 63 00 0D 27 10 "
                       "B0 03 03 2C 01 00 02 01 02 04 46"));
}

TEST(FrameBuilder, RequestIdBytesAreRememberedAsSent) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "id", "pw"));
    ASSERT_TRUE(builder.putRequestId(64009));
    EXPECT_EQ(builder.requestIdBytes(), (std::array<std::uint8_t, 2>{0x09, 0xFA}));
}

TEST(FrameBuilder, EntryValueLengthFollowsTheProductByteOrder) {
    const std::vector<std::uint8_t> value(0x0102, 0xEE);
    for (const auto order : {ByteOrder::LeastSignificantFirst, ByteOrder::MostSignificantFirst}) {
        FrameBuilder builder(kRequestBufferSize, order);
        ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
        ASSERT_TRUE(builder.putRequestId(1));
        ASSERT_TRUE(builder.putCommand(Command::WriteRequest));
        ASSERT_TRUE(builder.appendEntry("2.1", value));
        ASSERT_GT(builder.finishFrame(), 0u);
        const auto frame = builder.frame();
        // Entry starts after the command at offset 6 + 5.
        EXPECT_EQ(frame[11], 2);
        EXPECT_EQ(frame[12], 2);
        EXPECT_EQ(frame[13], 1);
        const bool highFirst = order == ByteOrder::MostSignificantFirst;
        EXPECT_EQ(frame[14], highFirst ? 0x01 : 0x02);
        EXPECT_EQ(frame[15], highFirst ? 0x02 : 0x01);
    }
}

TEST(AddressComponents, AreDecimalNumbersModulo256) {
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases{
        {"0", {0}},
        {"3.2.1", {3, 2, 1}},
        {"2.4.255", {2, 4, 255}},
        {"3.300.1", {3, 44, 1}},
        {"256", {0}},
        {"007.10", {7, 10}},
        // 10^23 is a multiple of 256; far too large for any integer type.
        {"99999999999999999999999", {255}},
    };
    for (const auto& [address, components] : cases) {
        EXPECT_EQ(addressComponents(address), components) << address;
    }
}

TEST(AddressComponents, MalformedAddressesGiveNothing) {
    for (const std::string_view address :
         {"", ".", "3.", ".3", "3..1", "a", "3.x", "-1", "+3", " 3", "3 .1", "3,1", "0x10"}) {
        EXPECT_TRUE(addressComponents(address).empty()) << '"' << address << '"';
    }
}

TEST(FrameBuilder, MalformedAddressAddsNoEntry) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(1));
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    const std::size_t before = builder.size();
    EXPECT_FALSE(builder.appendEntry("3..1", {}));
    EXPECT_FALSE(builder.appendEntry("", {}));
    EXPECT_EQ(builder.size(), before);
}

TEST(FrameBuilder, AddressOfMoreThan255ComponentsDoesNotFit) {
    std::string address = "1";
    for (int i = 1; i < 256; ++i) {
        address += ".1";
    }
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(1));
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    const std::size_t before = builder.size();
    EXPECT_FALSE(builder.appendEntry(address, {}));
    EXPECT_EQ(builder.size(), before);
    address.resize(address.size() - 2); // 255 components
    EXPECT_TRUE(builder.appendEntry(address, {}));
    EXPECT_EQ(builder.size(), before + 1 + 255 + 2);
}

TEST(FrameBuilder, CredentialsLongerThan255CharactersAreRefused) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    EXPECT_FALSE(builder.beginFrame(HeaderKind::Short, kNoMac, std::string(256, 'i'), ""));
    EXPECT_FALSE(builder.beginFrame(HeaderKind::Short, kNoMac, "", std::string(256, 'p')));
    EXPECT_TRUE(builder.beginFrame(HeaderKind::Long, kUnitMac, std::string(255, 'i'),
                                   std::string(255, 'p')));
    EXPECT_EQ(builder.lengthOffset(), 11u + 2 + 255 + 255);
}

TEST(FrameBuilder, RebootFrameMustFitItsSmallBuffer) {
    // 4 + 2 + 48 + 37 + frameLength 2 + request ID 2 + command 1 + body 3 + checksum 2 = 101.
    FrameBuilder builder(kRebootBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(
        builder.beginFrame(HeaderKind::Short, kNoMac, std::string(48, 'i'), std::string(37, 'p')));
    ASSERT_TRUE(builder.putRequestId(7));
    ASSERT_TRUE(builder.putCommand(Command::RebootRequest));
    const std::size_t before = builder.size();
    EXPECT_FALSE(builder.appendBytes(kRebootBody));
    EXPECT_EQ(builder.size(), before);

    // One byte less of password: exactly 100.
    ASSERT_TRUE(
        builder.beginFrame(HeaderKind::Short, kNoMac, std::string(48, 'i'), std::string(36, 'p')));
    ASSERT_TRUE(builder.putRequestId(7));
    ASSERT_TRUE(builder.putCommand(Command::RebootRequest));
    ASSERT_TRUE(builder.appendBytes(kRebootBody));
    EXPECT_EQ(builder.finishFrame(), kRebootBufferSize);

    EXPECT_FALSE(builder.beginFrame(HeaderKind::Short, kNoMac, std::string(255, 'i'),
                                    std::string(255, 'p')));
}

TEST(FrameBuilder, AppendsStopAtTheBufferKeepingRoomForTheChecksum) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(1));
    ASSERT_TRUE(builder.putCommand(Command::WriteRequest));
    const std::size_t room = kRequestBufferSize - builder.size() - 2;
    const std::vector<std::uint8_t> tooBig(room - 4 + 1, 0x11);
    EXPECT_FALSE(builder.appendEntry("1", tooBig));
    const std::vector<std::uint8_t> exact(room - 4, 0x11);
    EXPECT_TRUE(builder.appendEntry("1", exact));
    EXPECT_FALSE(builder.appendBytes(std::vector<std::uint8_t>{0}));
    EXPECT_EQ(builder.finishFrame(), kRequestBufferSize);
}

TEST(FrameBuilder, ChunkThresholdIsPassedAfter520Bytes) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(1));
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    ASSERT_TRUE(
        builder.appendBytes(std::vector<std::uint8_t>(kChunkThreshold - builder.size(), 0)));
    EXPECT_EQ(builder.size(), 520u);
    EXPECT_FALSE(builder.pastChunkThreshold());
    ASSERT_TRUE(builder.appendEntry("1.1", {}));
    EXPECT_TRUE(builder.pastChunkThreshold());
}

TEST(FrameBuilder, NothingIsFinishedBeforeTheCommand) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    EXPECT_EQ(builder.finishFrame(), 0u);
    EXPECT_FALSE(builder.putRequestId(1));
    EXPECT_FALSE(builder.appendEntry("1", {}));
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    EXPECT_EQ(builder.finishFrame(), 0u);
    ASSERT_TRUE(builder.putRequestId(1));
    EXPECT_FALSE(builder.putRequestId(2));
    EXPECT_EQ(builder.finishFrame(), 0u);
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    EXPECT_EQ(builder.finishFrame(), 13u);
    EXPECT_TRUE(builder.frame().size() == 13u);
}

TEST(FrameBuilder, AFrameCanBeBuiltAgainInTheSameBuilder) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Long, kUnitMac, "admin", "secret"));
    ASSERT_TRUE(builder.putRequestId(999));
    ASSERT_TRUE(builder.putCommand(Command::WriteRequest));
    ASSERT_TRUE(builder.appendEntry("1.2.3", std::vector<std::uint8_t>(40, 0x77)));
    ASSERT_GT(builder.finishFrame(), 0u);

    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, "", ""));
    ASSERT_TRUE(builder.putRequestId(0x1234));
    ASSERT_TRUE(builder.putCommand(Command::ReadRequest));
    ASSERT_TRUE(builder.appendBytes(kReadAllBody));
    ASSERT_GT(builder.finishFrame(), 0u);
    EXPECT_EQ(frameOf(builder), hexBytes("03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02"));
}

TEST(FrameChecksum, KeepsTheLow16BitsOfTheSum) {
    const std::vector<std::uint8_t> bytes(300, 0xFF); // 76500 = 0x12AD4
    EXPECT_EQ(checksumSum(bytes), 0x2AD4);
    EXPECT_EQ(frameChecksum(bytes, 49), (std::array<std::uint8_t, 2>{0xD4, 0x2A}));
    EXPECT_EQ(frameChecksum(bytes, 50), (std::array<std::uint8_t, 2>{0x2A, 0xD4}));
}

TEST(FrameBuilder, ChecksumOfAFullFrameWraps) {
    FrameBuilder builder(kRequestBufferSize, ByteOrder::MostSignificantFirst);
    ASSERT_TRUE(builder.beginFrame(HeaderKind::Short, kNoMac, std::string(255, '\xFF'),
                                   std::string(255, '\xFF')));
    ASSERT_TRUE(builder.putRequestId(0xFFFF));
    ASSERT_TRUE(builder.putCommand(Command::WriteRequest));
    ASSERT_TRUE(builder.appendEntry("255", std::vector<std::uint8_t>(60, 0xFF)));
    const std::size_t length = builder.finishFrame();
    ASSERT_GT(length, 0u);
    const auto frame = builder.frame();
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 2 < length; ++i) {
        sum += frame[i];
    }
    ASSERT_GT(sum, 0xFFFFu);
    EXPECT_EQ(frame[length - 2], (sum >> 8) & 0xFF);
    EXPECT_EQ(frame[length - 1], sum & 0xFF);
}

} // namespace
} // namespace morvik
