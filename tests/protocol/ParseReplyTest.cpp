#include "protocol/FrameChecksum.h"
#include "protocol/HexBytes.h"
#include "protocol/ParameterFrame.h"
#include "protocol/ReadReplyBody.h"
#include "protocol/TableLayout.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using test::hexBytes;
using test::TableLayout;

using Entry = std::pair<std::string, std::vector<std::uint8_t>>;

struct FrameShape {
    const char* what;
    HeaderKind kind;
    MacBytes mac;
    std::string loginId;
    std::string password;
    std::uint16_t requestId;
    Command command;
    std::vector<Entry> entries;
};

struct BuiltFrame {
    std::vector<std::uint8_t> bytes;
    std::size_t lengthOffset = 0;
    std::array<std::uint8_t, 2> requestId{};
    std::vector<std::uint8_t> body;
};

BuiltFrame build(const FrameShape& shape, ByteOrder order) {
    FrameBuilder builder(kReceiveBufferSize, order);
    EXPECT_TRUE(builder.beginFrame(shape.kind, shape.mac, shape.loginId, shape.password));
    EXPECT_TRUE(builder.putRequestId(shape.requestId));
    EXPECT_TRUE(builder.putCommand(shape.command));
    const std::size_t bodyStart = builder.size();
    for (const auto& [address, value] : shape.entries) {
        EXPECT_TRUE(builder.appendEntry(address, value));
    }
    const std::size_t bodyEnd = builder.size();
    EXPECT_GT(builder.finishFrame(), 0u);
    BuiltFrame built;
    built.bytes.assign(builder.frame().begin(), builder.frame().end());
    built.lengthOffset = builder.lengthOffset();
    built.requestId = builder.requestIdBytes();
    built.body.assign(built.bytes.begin() + static_cast<std::ptrdiff_t>(bodyStart),
                      built.bytes.begin() + static_cast<std::ptrdiff_t>(bodyEnd));
    return built;
}

const TableLayout& layout() {
    static const TableLayout table(
        {{"1.1", 1}, {"1.2", 2}, {"2.1.1", 4}, {"2.1.2", 3}, {"3.1", 2}});
    return table;
}

std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> span) {
    return {span.begin(), span.end()};
}

const std::vector<FrameShape>& shapes() {
    static const std::vector<FrameShape> all{
        {"empty read reply", HeaderKind::Short, {}, "", "", 10, Command::ReadReply, {}},
        {"read reply of everything",
         HeaderKind::Short,
         {},
         "admin",
         "secret",
         0x1234,
         Command::ReadReply,
         {{"0", {0x11, 0x21, 0x22, 0x31, 0x32, 0x33, 0x34, 0x41, 0x42, 0x43, 0x51, 0x52}}}},
        {"single and range entries by broadcast",
         HeaderKind::Long,
         {0x02, 0x00, 0x00, 0x0A, 0x1B, 0x2C},
         "id",
         "",
         64009,
         Command::ReadReply,
         {{"1.2", {0xA1, 0xA2}}, {"2.0", {1, 2, 3, 4, 5, 6, 7}}, {"3.1", {0xB1, 0xB2}}}},
        {"write ack", HeaderKind::Long, {1, 2, 3, 4, 5, 6}, "", "pw", 500, Command::WriteAck, {}},
        {"error reply", HeaderKind::Short, {}, "x", "y", 11, Command::ErrorReply, {}},
    };
    return all;
}

TEST(ParseFrame, FramesBuiltByTheBuilderParseBack) {
    for (const auto order : {ByteOrder::LeastSignificantFirst, ByteOrder::MostSignificantFirst}) {
        for (const auto& shape : shapes()) {
            const BuiltFrame built = build(shape, order);
            const auto parsed = parseFrame(built.bytes, order);
            ASSERT_TRUE(parsed) << shape.what;
            EXPECT_EQ(parsed->headerKind, shape.kind);
            EXPECT_EQ(parsed->mac, shape.kind == HeaderKind::Long ? shape.mac : MacBytes{});
            EXPECT_EQ(parsed->loginId, shape.loginId);
            EXPECT_EQ(parsed->password, shape.password);
            EXPECT_EQ(parsed->frameLength, 5 + built.body.size());
            EXPECT_EQ(parsed->requestId, built.requestId);
            EXPECT_EQ(parsed->command, static_cast<std::uint8_t>(shape.command));
            EXPECT_EQ(parsed->declaredBodyLength, static_cast<int>(built.body.size()));
            EXPECT_EQ(bytesOf(parsed->body), built.body);
            EXPECT_TRUE(parsed->bodyComplete);
            EXPECT_TRUE(parsed->checksumMatches()) << shape.what;
        }
    }
}

TEST(ParseFrame, RangeAndSingleValuesComeBackThroughTheBodyWalk) {
    const BuiltFrame built = build(shapes()[2], ByteOrder::MostSignificantFirst);
    const auto parsed = parseFrame(built.bytes, ByteOrder::MostSignificantFirst);
    ASSERT_TRUE(parsed);
    std::vector<std::pair<int, std::vector<std::uint8_t>>> values;
    const auto end =
        walkReadReplyBody(parsed->body, parsed->declaredBodyLength, ByteOrder::MostSignificantFirst,
                          layout(), [&](int index, std::span<const std::uint8_t> value) {
                              values.emplace_back(index, bytesOf(value));
                          });
    EXPECT_EQ(end, BodyWalkEnd::Complete);
    const std::vector<std::pair<int, std::vector<std::uint8_t>>> expected{
        {1, {0xA1, 0xA2}}, {2, {1, 2, 3, 4}}, {3, {5, 6, 7}}, {4, {0xB1, 0xB2}}};
    EXPECT_EQ(values, expected);
}

TEST(ParseFrame, ReadRequestExampleParses) {
    // The body is a view into the datagram, so the datagram must outlive it.
    const auto datagram = hexBytes("03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02 00");
    const auto parsed = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->headerKind, HeaderKind::Short);
    EXPECT_EQ(parsed->loginId, "");
    EXPECT_EQ(parsed->password, "");
    EXPECT_EQ(parsed->frameLength, 9);
    EXPECT_EQ(parsed->requestId, (std::array<std::uint8_t, 2>{0x34, 0x12}));
    EXPECT_EQ(parsed->command, 0xA0);
    EXPECT_EQ(bytesOf(parsed->body), hexBytes("01 00 00 00"));
    EXPECT_EQ(parsed->receivedChecksum, 0x028B);
    EXPECT_EQ(parsed->computedChecksum, 0x028B);
}

// The caller's byte order decides, whatever the frame holds: read high byte first, the example's
// frameLength 09 00 is 2304 and the body runs past the datagram.
TEST(ParseFrame, UsesTheCallersByteOrder) {
    const auto datagram = hexBytes("03 A8 16 DA 00 00 09 00 34 12 A0 01 00 00 00 8B 02");
    const auto parsed = parseFrame(datagram, ByteOrder::MostSignificantFirst);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->frameLength, 0x0900);
    EXPECT_EQ(parsed->requestId, (std::array<std::uint8_t, 2>{0x34, 0x12}));
    EXPECT_EQ(bytesOf(parsed->body), hexBytes("01 00 00 00 8B 02"));
    EXPECT_FALSE(parsed->bodyComplete);
    EXPECT_FALSE(parsed->receivedChecksum);
    EXPECT_FALSE(parsed->checksumMatches());
}

TEST(ParseFrame, CredentialTextsEndAtAZeroByte) {
    // ID "ad\0mn", password "p\0" (length 2), frameLength 5, empty body.
    auto datagram = hexBytes("03 A8 16 DA 05 61 64 00 6D 6E 02 70 00 05 00 01 00 B2");
    const auto sum = frameChecksum(datagram, 7);
    datagram.insert(datagram.end(), sum.begin(), sum.end());
    const auto parsed = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->loginId, "ad");
    EXPECT_EQ(parsed->password, "p");
    EXPECT_EQ(parsed->command, 0xB2);
    EXPECT_TRUE(parsed->checksumMatches());
}

TEST(ParseFrame, LongHeaderMacIsKeptAndItsAddressModeIgnored) {
    const auto parsed =
        parseFrame(hexBytes("03 A8 16 DB AA BB CC DD EE FF 77 00 00 00 05 00 00 FF"),
                   ByteOrder::MostSignificantFirst);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->headerKind, HeaderKind::Long);
    EXPECT_EQ(parsed->mac, (MacBytes{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
    EXPECT_EQ(parsed->command, 0xFF);
    EXPECT_TRUE(parsed->bodyComplete);
    EXPECT_FALSE(parsed->receivedChecksum); // a reboot acknowledgement without a checksum
}

TEST(ParseFrame, NegativeBodyLengthGivesAnEmptyBody) {
    for (std::uint8_t frameLength = 0; frameLength < 5; ++frameLength) {
        auto datagram = hexBytes("03 A8 16 DA 00 00 00 00 34 12 A2 9A 02");
        datagram[6] = frameLength;
        const auto parsed = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->declaredBodyLength, frameLength - 5);
        EXPECT_TRUE(parsed->body.empty());
        EXPECT_FALSE(parsed->bodyComplete);
        EXPECT_EQ(parsed->receivedChecksum, 0x029A);
        EXPECT_EQ(parsed->computedChecksum, 0x0283 + frameLength);
    }
}

TEST(ParseFrame, AlteredBodyFailsTheChecksum) {
    BuiltFrame built = build(shapes()[1], ByteOrder::LeastSignificantFirst);
    built.bytes[built.lengthOffset + 5 + 6] ^= 0x40;
    const auto parsed = parseFrame(built.bytes, ByteOrder::LeastSignificantFirst);
    ASSERT_TRUE(parsed);
    ASSERT_TRUE(parsed->receivedChecksum);
    EXPECT_EQ(*parsed->receivedChecksum + 0x40, parsed->computedChecksum);
    EXPECT_FALSE(parsed->checksumMatches());
}

TEST(ParseFrame, DatagramsThatAreNoFrameAreDropped) {
    for (const char* datagram : {
             "", "03 A8 16", "03 A8 16 DC 00 00 05 00 01 00 A2 00 00",
             "04 A8 16 DA 00 00 05 00 01 00 A2 00 00", "03 A8 17 DA 00 00 05 00 01 00 A2 00 00",
             "03 A8 16 DA",                         // no ID length
             "03 A8 16 DB 01 02 03 04 05 06",       // cut before the address-mode byte
             "03 A8 16 DB 01 02 03 04 05 06 02",    // cut before the ID length
             "03 A8 16 DA 05 61 62 63 64",          // ID runs past the end
             "03 A8 16 DA 00",                      // no password length
             "03 A8 16 DA 00 03 61 62",             // password runs past the end
             "03 A8 16 DA 00 00 05",                // frameLength cut
             "03 A8 16 DA 00 00 05 00 01",          // requestId cut
             "03 A8 16 DA 00 00 05 00 01 00",       // no command
             "03 A8 16 DA FF 00 05 00 01 00 A2 00", // ID length swallows the rest
         }) {
        EXPECT_FALSE(parseFrame(hexBytes(datagram), ByteOrder::LeastSignificantFirst)) << datagram;
    }
}

// Every prefix of a valid frame, and the frame followed by stray bytes, held in a buffer of
// exactly its own size so that a read past the end is caught by the sanitizers.
TEST(ParseFrame, EveryCutOfAFrameStaysInsideTheDatagram) {
    for (const auto order : {ByteOrder::LeastSignificantFirst, ByteOrder::MostSignificantFirst}) {
        for (const auto& shape : shapes()) {
            const BuiltFrame built = build(shape, order);
            const auto full = parseFrame(built.bytes, order);
            ASSERT_TRUE(full);
            const std::size_t bodyStart = built.lengthOffset + 5;
            const std::size_t bodyEnd = bodyStart + built.body.size();
            for (std::size_t length = 0; length <= built.bytes.size() + 3; ++length) {
                std::vector<std::uint8_t> datagram(
                    built.bytes.begin(), built.bytes.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                   length, built.bytes.size())));
                datagram.resize(length, 0xEE);
                SCOPED_TRACE(std::string(shape.what) + ", length " + std::to_string(length));
                const auto cut = parseFrame(datagram, order);
                if (length < bodyStart) {
                    EXPECT_FALSE(cut);
                    continue;
                }
                ASSERT_TRUE(cut);
                EXPECT_EQ(cut->loginId, full->loginId);
                EXPECT_EQ(cut->password, full->password);
                EXPECT_EQ(cut->mac, full->mac);
                EXPECT_EQ(cut->requestId, full->requestId);
                EXPECT_EQ(cut->command, full->command);
                EXPECT_EQ(cut->declaredBodyLength, full->declaredBodyLength);

                const std::size_t received = std::min(length, bodyEnd) - bodyStart;
                EXPECT_EQ(bytesOf(cut->body),
                          std::vector<std::uint8_t>(built.body.begin(),
                                                    built.body.begin() +
                                                        static_cast<std::ptrdiff_t>(received)));
                if (!cut->body.empty()) {
                    EXPECT_GE(cut->body.data(), datagram.data());
                    EXPECT_LE(cut->body.data() + cut->body.size(),
                              datagram.data() + datagram.size());
                }
                EXPECT_EQ(cut->bodyComplete, length >= bodyEnd);
                EXPECT_EQ(cut->receivedChecksum.has_value(), length >= bodyEnd + 2);
                EXPECT_EQ(cut->computedChecksum,
                          checksumSum(std::span(datagram).first(bodyStart + received)));
                EXPECT_EQ(cut->checksumMatches(), length >= built.bytes.size());

                const auto walked = walkReadReplyBody(cut->body, cut->declaredBodyLength, order,
                                                      layout(), [](int, auto) {});
                EXPECT_EQ(walked,
                          cut->bodyComplete ? BodyWalkEnd::Complete : BodyWalkEnd::LengthError);
            }
        }
    }
}

} // namespace
} // namespace morvik
