#include "protocol/ProbeCodec.h"

#include "protocol/HexBytes.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using test::hexBytes;

// A unit named ABC, product 07, firmware 1.2, on the short header.
const std::string kAbcReply = "03 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 03 41 42 43 C1 02";

TEST(ProbeRequest, IsTheBareShortHeader) {
    const auto request = buildProbeRequest();
    EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()), hexBytes("03 A8 16 DA"));
}

TEST(ProbeReply, DecodesTheAbcUnit) {
    const auto result = decodeProbeReply(hexBytes(kAbcReply), "192.168.1.20");
    EXPECT_EQ(result.verdict, ProbeVerdict::ChecksumValid);
    EXPECT_EQ(result.record,
              (DeviceRecord{"ABC", "192.168.1.20", "02:00:00:0A:1B:2C", "07", "1.2", "1"}));
}

TEST(ProbeReply, BytesAfterTheChecksumAreIgnored) {
    auto datagram = hexBytes(kAbcReply);
    datagram.push_back(0x5A);
    const auto result = decodeProbeReply(datagram, "10.0.0.1");
    EXPECT_EQ(result.verdict, ProbeVerdict::ChecksumValid);
    EXPECT_EQ(result.record.name, "ABC");
}

struct VerdictCase {
    const char* what;
    std::string datagram;
    ProbeVerdict verdict;
    DeviceRecord record; // compared only when the datagram is a reply
};

void PrintTo(const VerdictCase& c, std::ostream* out) {
    *out << c.what;
}

class ProbeReplyVerdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(ProbeReplyVerdict, MatchesExpectation) {
    const VerdictCase& c = GetParam();
    const auto result = decodeProbeReply(hexBytes(c.datagram), "127.0.0.9");
    EXPECT_EQ(result.verdict, c.verdict) << c.what;
    if (c.verdict != ProbeVerdict::NotAReply) {
        EXPECT_EQ(result.record, c.record) << c.what;
    }
}

const DeviceRecord kAbc50{"ABC", "127.0.0.9", "02:00:00:0A:1B:2C", "50", "1.2", "1"};

INSTANTIATE_TEST_SUITE_P(
    Examples, ProbeReplyVerdict,
    ::testing::Values(
        // Product 50 and above sends the checksum most significant byte first.
        VerdictCase{"product 50, 02 EC", "03 A8 16 DA 02 00 00 0A 1B 2C 32 01 02 03 41 42 43 02 EC",
                    ProbeVerdict::ChecksumValid, kAbc50},
        VerdictCase{"product 50, EC 02", "03 A8 16 DA 02 00 00 0A 1B 2C 32 01 02 03 41 42 43 EC 02",
                    ProbeVerdict::ChecksumMismatch, kAbc50},
        // 49 is still least significant byte first: sum 0x02EB.
        VerdictCase{"product 49",
                    "03 A8 16 DA 02 00 00 0A 1B 2C 31 01 02 03 41 42 43 EB 02",
                    ProbeVerdict::ChecksumValid,
                    {"ABC", "127.0.0.9", "02:00:00:0A:1B:2C", "49", "1.2", "1"}},
        VerdictCase{"product 07 read the other way round",
                    "03 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 03 41 42 43 02 C1",
                    ProbeVerdict::ChecksumMismatch,
                    {"ABC", "127.0.0.9", "02:00:00:0A:1B:2C", "07", "1.2", "1"}},
        VerdictCase{"long header shifts every field by one",
                    "03 A8 16 DB 02 00 00 0A 1B 2C 02 07 01 02 03 41 42 43 C4 02",
                    ProbeVerdict::ChecksumValid,
                    {"ABC", "127.0.0.9", "02:00:00:0A:1B:2C", "07", "1.2", "2"}},
        VerdictCase{"name ends at a zero byte, checksum still follows L",
                    "03 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 03 41 00 43 7F 02",
                    ProbeVerdict::ChecksumValid,
                    {"A", "127.0.0.9", "02:00:00:0A:1B:2C", "07", "1.2", "1"}},
        VerdictCase{"empty name",
                    "03 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 00 F8 01",
                    ProbeVerdict::ChecksumValid,
                    {"", "127.0.0.9", "02:00:00:0A:1B:2C", "07", "1.2", "1"}},
        VerdictCase{"lower-case hex becomes upper case, wide numbers keep their digits",
                    "03 A8 16 DB AB CD EF 01 02 03 00 7B 01 0A 00 04 8F",
                    ProbeVerdict::ChecksumValid,
                    {"", "127.0.0.9", "AB:CD:EF:01:02:03", "123", "1.10", "0"}},
        VerdictCase{"single digit product id is padded",
                    "03 A8 16 DA 00 00 00 00 00 01 05 00 00 00 A1 01",
                    ProbeVerdict::ChecksumValid,
                    {"", "127.0.0.9", "00:00:00:00:00:01", "05", "0.0", "1"}},
        // Missing bytes read as zero: a bare request decodes to zeros and fails its checksum.
        VerdictCase{"datagram shorter than the layout",
                    "03 A8 16 DA",
                    ProbeVerdict::ChecksumMismatch,
                    {"", "127.0.0.9", "00:00:00:00:00:00", "00", "0.0", "1"}},
        VerdictCase{"checksum cut off after one byte",
                    "03 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 03 41 42 43 C1",
                    ProbeVerdict::ChecksumMismatch,
                    {"ABC", "127.0.0.9", "02:00:00:0A:1B:2C", "07", "1.2", "1"}},
        VerdictCase{"header kind DC",
                    "03 A8 16 DC 02 00 00 0A 1B 2C 07 01 02 03 41 42 43 C1 02",
                    ProbeVerdict::NotAReply,
                    {}},
        VerdictCase{"first byte not 03",
                    "04 A8 16 DA 02 00 00 0A 1B 2C 07 01 02 03 41 42 43 C2 02",
                    ProbeVerdict::NotAReply,
                    {}},
        VerdictCase{"second signature byte wrong",
                    "03 A9 16 DA 02 00 00 0A 1B 2C 07 01 02 00 00 00",
                    ProbeVerdict::NotAReply,
                    {}},
        VerdictCase{"empty datagram", "", ProbeVerdict::NotAReply, {}}),
    [](const auto& info) { return morvik::testing::caseName(info.param.what); });

// Short header: name offset 14, so a name of 84 bytes puts the checksum on the last two bytes
// of the 100-byte area; one more and it would lie beyond.
TEST(ProbeReply, ChecksumMustLieInsideTheReplyArea) {
    for (const bool longHeader : {false, true}) {
        const std::size_t fieldsOffset = longHeader ? 11 : 10;
        const std::size_t longestName = kProbeReplyCapacity - fieldsOffset - 4 - 2;
        ProbeReplyFields fields;
        fields.longHeader = longHeader;
        fields.addressMode = 2;
        fields.productId = 60;
        fields.name = std::string(longestName, 'n');
        const auto fitting = buildProbeReply(fields);
        ASSERT_EQ(fitting.size(), kProbeReplyCapacity);
        EXPECT_EQ(decodeProbeReply(fitting, "127.0.0.2").verdict, ProbeVerdict::ChecksumValid);

        // The name length byte claims one more character: checksum at 99..100.
        auto beyond = fitting;
        beyond[fieldsOffset + 3] = static_cast<std::uint8_t>(longestName + 1);
        EXPECT_EQ(decodeProbeReply(beyond, "127.0.0.2").verdict, ProbeVerdict::NotAReply);
    }
    // Even a short datagram whose length byte points past the area.
    auto shortOne = hexBytes(kAbcReply);
    shortOne[13] = 0xFF;
    EXPECT_EQ(decodeProbeReply(shortOne, "127.0.0.2").verdict, ProbeVerdict::NotAReply);
}

TEST(ProbeReply, DatagramLongerThanTheAreaIsNotDecoded) {
    auto datagram = hexBytes(kAbcReply);
    datagram.resize(kProbeReplyCapacity, 0);
    EXPECT_EQ(decodeProbeReply(datagram, "127.0.0.2").verdict, ProbeVerdict::ChecksumValid);
    datagram.push_back(0);
    EXPECT_EQ(decodeProbeReply(datagram, "127.0.0.2").verdict, ProbeVerdict::NotAReply);
}

TEST(ProbeReply, BuiltRepliesDecodeBack) {
    const std::vector<ProbeReplyFields> units{
        {{0x02, 0x00, 0x00, 0x0A, 0x1B, 0x2C}, false, 1, 7, 1, 2, "ABC"},
        {{0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54}, true, 2, 50, 3, 14, "port server 2"},
        {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, true, 7, 255, 255, 255, std::string(83, 'x')},
        {{0x00, 0x11, 0x22, 0x33, 0x44, 0x56}, false, 1, 49, 0, 0, ""},
    };
    for (const auto& unit : units) {
        const auto result = decodeProbeReply(buildProbeReply(unit), "127.0.0.5");
        EXPECT_EQ(result.verdict, ProbeVerdict::ChecksumValid) << unit.name;
        EXPECT_EQ(result.record.name, unit.name);
        EXPECT_EQ(result.record.addressMode,
                  unit.longHeader ? std::to_string(unit.addressMode) : "1");
        char expectedId[8];
        std::snprintf(expectedId, sizeof expectedId, "%02d", unit.productId);
        EXPECT_EQ(result.record.productId, expectedId);
        char expectedVersion[16];
        std::snprintf(expectedVersion, sizeof expectedVersion, "%d.%d", unit.major, unit.minor);
        EXPECT_EQ(result.record.version, expectedVersion);
        char expectedMac[18];
        std::snprintf(expectedMac, sizeof expectedMac, "%02X:%02X:%02X:%02X:%02X:%02X", unit.mac[0],
                      unit.mac[1], unit.mac[2], unit.mac[3], unit.mac[4], unit.mac[5]);
        EXPECT_EQ(result.record.mac, expectedMac);
        EXPECT_EQ(result.record.ip, "127.0.0.5");
    }
}

TEST(ProbeReply, BuilderSendsAtMost255NameBytes) {
    ProbeReplyFields fields;
    fields.name = std::string(300, 'z');
    const auto reply = buildProbeReply(fields);
    EXPECT_EQ(reply.size(), 10u + 4 + 255 + 2);
    EXPECT_EQ(reply[13], 255);
}

} // namespace
} // namespace morvik
