// A unit's answers, without sockets: what it sends back for each datagram it is given.

#include "sim/SimulatedUnit.h"

#include "SimTestSupport.h"
#include "description/ValueTypes.h"
#include "protocol/ProbeCodec.h"
#include "sim/UnitStateFile.h"
#include "support/CaseNames.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <random>
#include <set>

namespace morvik::sim::testing {
namespace {

constexpr MacBytes kMac{0x02, 0x4D, 0x56, 0x00, 0x00, 0x01};

struct Product {
    const char* name;
    int productId;
    int major;
    int minor;
    int rows;
};
constexpr Product kVela1{"Vela1", 7, 1, 2, 45};
constexpr Product kVela4{"Vela4", 23, 2, 5, 149};
constexpr Product kLyra2{"Lyra2", 55, 1, 0, 91};
constexpr Product kOrion16{"Orion16", 61, 3, 10, 700};

std::ostream& operator<<(std::ostream& out, const Product& product) {
    return out << product.name;
}

ProductCatalog& demoCatalog() {
    static ProductCatalog catalog(kDemoDir, {});
    return catalog;
}

UnitSpec specOf(const Product& product) {
    UnitSpec spec;
    spec.name = std::string(product.name) + "-test";
    spec.mac = kMac;
    spec.ip = "127.77.0.1";
    spec.productId = product.productId;
    spec.major = product.major;
    spec.minor = product.minor;
    spec.loginId = "admin";
    spec.password = "quorvane";
    return spec;
}

SimulatedUnit makeUnit(const UnitSpec& spec) {
    SimulatedUnit unit(spec, demoCatalog().modelFor(spec.productId, spec.major, spec.minor));
    std::string error;
    EXPECT_TRUE(unit.applyInitialValues(error)) << error;
    return unit;
}

Bytes encoded(const SimulatedUnit& unit, std::string_view address, std::string_view text) {
    const int index = unit.model().findParameter(address);
    EXPECT_GE(index, 0) << address;
    const auto bytes = encodeValue(unit.model().row(index), unit.model().definedValues(index),
                                   unit.model().enumeration(index), text, unit.byteOrder());
    EXPECT_TRUE(bytes) << text;
    return bytes.bytes;
}

// A reply frame together with the bytes that its body points into.
struct OwnedReply : ParsedFrame {
    Bytes bytes;
};

std::unique_ptr<OwnedReply> onlyReply(const SimulatedUnit::Response& response, ByteOrder order) {
    EXPECT_EQ(response.datagrams.size(), 1U) << response.note;
    if (response.datagrams.size() != 1) {
        return nullptr;
    }
    auto reply = std::make_unique<OwnedReply>();
    reply->bytes = response.datagrams[0];
    const auto frame = parseFrame(reply->bytes, order);
    if (!frame) {
        return nullptr;
    }
    static_cast<ParsedFrame&>(*reply) = *frame;
    return reply;
}

// --- Reads of everything ----------------------------------------------------------------

class ReadAllTest : public ::testing::TestWithParam<Product> {};

TEST_P(ReadAllTest, EveryValueArrivesOnceInRepliesThatFitTheToolsBuffer) {
    const Product product = GetParam();
    UnitSpec spec = specOf(product);
    spec.values = {{"0.1.1", "unit-under-test"}};
    SimulatedUnit unit = makeUnit(spec);
    ASSERT_EQ(unit.model().parameterCount(), product.rows);

    const Bytes request = buildRequest({.requestId = 0xBEEF}, unit.byteOrder());
    const auto sentTag = parseFrame(request, unit.byteOrder())->requestId;
    const auto response = unit.handleDatagram(request);
    ASSERT_FALSE(response.datagrams.empty()) << response.note;
    for (const auto& datagram : response.datagrams) {
        EXPECT_LE(datagram.size(), kMaxReplyDatagram);
        const auto frame = parseFrame(datagram, unit.byteOrder());
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->requestId, sentTag);
        EXPECT_EQ(frame->loginId, "admin");
        EXPECT_EQ(frame->password, "quorvane");
    }
    int duplicates = 0;
    const auto values =
        decodeReadReplies(response.datagrams, unit.model(), unit.byteOrder(), &duplicates);
    EXPECT_EQ(duplicates, 0);
    ASSERT_EQ(static_cast<int>(values.size()), product.rows);
    for (const auto& [index, bytes] : values) {
        EXPECT_EQ(bytes, unit.value(unit.model().row(index).address));
    }
    EXPECT_EQ(unit.valueText("0.1.1"), "unit-under-test");
}

INSTANTIATE_TEST_SUITE_P(DemoProducts, ReadAllTest,
                         ::testing::Values(kVela1, kVela4, kLyra2, kOrion16),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadAll, SmallDescriptionTravelsAsTheSingleRangeZero) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const auto frame =
        onlyReply(unit.handleDatagram(buildRequest({}, unit.byteOrder())), unit.byteOrder());
    ASSERT_NE(frame, nullptr);
    ASSERT_GE(frame->body.size(), 4U);
    EXPECT_EQ(frame->body[0], 1); // one component: the address "0"
    EXPECT_EQ(frame->body[1], 0);
}

TEST(ReadAll, LargeDescriptionUsesClassRangesWhereTheyFitAndSingleEntriesElsewhere) {
    SimulatedUnit unit = makeUnit(specOf(kOrion16));
    const auto response = unit.handleDatagram(buildRequest({}, unit.byteOrder()));
    ASSERT_GT(response.datagrams.size(), 1U);
    std::vector<std::string> firstAddresses;
    std::size_t singleEntries = 0;
    for (const auto& datagram : response.datagrams) {
        const auto frame = parseFrame(datagram, unit.byteOrder());
        ASSERT_TRUE(frame.has_value());
        std::size_t at = 0;
        while (at < frame->body.size()) {
            const std::size_t count = frame->body[at];
            std::string address;
            for (std::size_t i = 0; i < count; ++i) {
                address += (i > 0 ? "." : "") + std::to_string(frame->body[at + 1 + i]);
            }
            const auto length =
                readUnsigned(frame->body.subspan(at + 1 + count, 2), 2, unit.byteOrder());
            if (isRangeAddress(address)) {
                firstAddresses.push_back(address);
            } else {
                ++singleEntries;
            }
            at += 1 + count + 2 + length;
        }
    }
    // System, Network, Security and Diagnostics fit a datagram each; the 576 port rows of
    // class 4 do not, so they come one by one.
    EXPECT_EQ(firstAddresses, (std::vector<std::string>{"0.0", "1.0", "2.0", "3.0"}));
    EXPECT_EQ(singleEntries, 576U);
}

// --- Frames in the unit's byte order -----------------------------------------------------

TEST(ByteOrder, FrameLengthAndChecksumFollowTheUnitsProduct) {
    for (const Product& product : {kVela1, kLyra2}) {
        SCOPED_TRACE(product.name);
        SimulatedUnit unit = makeUnit(specOf(product));
        const auto response = unit.handleDatagram(
            buildRequest({.command = Command::RebootRequest}, unit.byteOrder()));
        ASSERT_EQ(response.datagrams.size(), 1U);
        const Bytes& reply = response.datagrams[0];
        // Short header, "admin", "quorvane": frameLength at 4 + 1 + 5 + 1 + 8 = 19.
        ASSERT_EQ(reply.size(), 19U + 2 + 2 + 1 + 2);
        const bool mostSignificantFirst = product.productId >= 50;
        EXPECT_EQ(reply[19], mostSignificantFirst ? 0 : 5);
        EXPECT_EQ(reply[20], mostSignificantFirst ? 5 : 0);
        EXPECT_EQ(reply[23], 0xFF);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i + 2 < reply.size(); ++i) {
            sum += reply[i];
        }
        const std::uint32_t received =
            mostSignificantFirst ? reply[24] * 256U + reply[25] : reply[25] * 256U + reply[24];
        EXPECT_EQ(received, sum & 0xFFFF);
    }
}

TEST(ByteOrder, TheSmallestReadRequestIsAnsweredWithItsTag) {
    // 17 bytes plus the zero byte that follows a read sent to a unit's address.
    const Bytes request{0x03, 0xA8, 0x16, 0xDA, 0x00, 0x00, 0x09, 0x00, 0x34,
                        0x12, 0xA0, 0x01, 0x00, 0x00, 0x00, 0x8B, 0x02, 0x00};
    UnitSpec spec = specOf(kVela1);
    spec.loginId.clear();
    spec.password.clear();
    SimulatedUnit unit = makeUnit(spec);
    const auto response = unit.handleDatagram(request);
    ASSERT_EQ(response.datagrams.size(), 1U) << response.note;
    const Bytes& reply = response.datagrams[0];
    ASSERT_GT(reply.size(), 11U);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 6), (Bytes{0x03, 0xA8, 0x16, 0xDA, 0x00, 0x00}));
    EXPECT_EQ(reply[8], 0x34);
    EXPECT_EQ(reply[9], 0x12);
    EXPECT_EQ(reply[10], 0xA2);
}

// --- Reads of single parameters ----------------------------------------------------------

TEST(GroupRead, AnswersKnownAddressesWithSingleEntriesAndSkipsUnknownOnes) {
    SimulatedUnit unit = makeUnit(specOf(kLyra2));
    const Bytes request =
        buildRequest({.entries = {{"1.1.1", {}}, {"9.9.9", {}}, {"3.1.2", {}}, {"0.1.1", {}}}},
                     unit.byteOrder());
    const auto response = unit.handleDatagram(request);
    const auto values = decodeReadReplies(response.datagrams, unit.model(), unit.byteOrder());
    std::vector<std::string> addresses;
    for (const auto& [index, bytes] : values) {
        addresses.push_back(unit.model().row(index).address);
        EXPECT_EQ(bytes, unit.value(unit.model().row(index).address));
    }
    std::ranges::sort(addresses);
    EXPECT_EQ(addresses, (std::vector<std::string>{"0.1.1", "1.1.1", "3.1.2"}));
}

TEST(GroupRead, OnlyUnknownAddressesGiveAnEmptyReply) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const auto frame =
        onlyReply(unit.handleDatagram(buildRequest({.entries = {{"7.7.7", {}}}}, unit.byteOrder())),
                  unit.byteOrder());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, static_cast<std::uint8_t>(Command::ReadReply));
    EXPECT_EQ(frame->frameLength, 5);
    EXPECT_TRUE(frame->body.empty());
}

TEST(GroupRead, ManyEntriesAreSplitOverDatagramsWithTheSameTag) {
    SimulatedUnit unit = makeUnit(specOf(kOrion16));
    // Larger than any request of the tool: every parameter, one by one.
    Bytes body;
    for (int i = 0; i < unit.model().parameterCount(); ++i) {
        const auto components = addressComponents(unit.model().row(i).address);
        body.push_back(static_cast<std::uint8_t>(components.size()));
        body.insert(body.end(), components.begin(), components.end());
        body.insert(body.end(), {0, 0});
    }
    const auto response =
        unit.handleDatagram(buildRequest({.requestId = 4711, .rawBody = body}, unit.byteOrder()));
    ASSERT_GT(response.datagrams.size(), 3U);
    std::set<std::array<std::uint8_t, 2>> tags;
    for (const auto& datagram : response.datagrams) {
        EXPECT_LE(datagram.size(), kMaxReplyDatagram);
        tags.insert(parseFrame(datagram, unit.byteOrder())->requestId);
    }
    EXPECT_EQ(tags.size(), 1U);
    EXPECT_EQ(decodeReadReplies(response.datagrams, unit.model(), unit.byteOrder()).size(), 700U);
}

// --- Writes ------------------------------------------------------------------------------

TEST(Write, StoresValuesThatAReadThenReturns) {
    SimulatedUnit unit = makeUnit(specOf(kLyra2));
    const Bytes request = buildRequest({.command = Command::WriteRequest,
                                        .entries = {{"0.1.1", encoded(unit, "0.1.1", "renamed")},
                                                    {"3.1.2", encoded(unit, "3.1.2", "115200 bps")},
                                                    {"1.1.1", encoded(unit, "1.1.1", "10.1.2.3")}}},
                                       unit.byteOrder());
    const auto response = unit.handleDatagram(request);
    const auto ack = onlyReply(response, unit.byteOrder());
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(ack->command, static_cast<std::uint8_t>(Command::WriteAck));
    EXPECT_EQ(ack->frameLength, 5);
    EXPECT_TRUE(ack->checksumMatches());
    EXPECT_TRUE(response.stateChanged);

    const auto values =
        decodeReadReplies(unit.handleDatagram(buildRequest({}, unit.byteOrder())).datagrams,
                          unit.model(), unit.byteOrder());
    auto textOf = [&](std::string_view address) {
        const int index = unit.model().findParameter(address);
        return valueToText(unit.model().row(index), unit.model().definedValues(index),
                           unit.model().enumeration(index), values.at(index), unit.byteOrder());
    };
    EXPECT_EQ(textOf("0.1.1"), "renamed");
    EXPECT_EQ(textOf("3.1.2"), "115200 bps");
    EXPECT_EQ(textOf("1.1.1"), "10.1.2.3");
}

TEST(Write, UnknownAddressesAndWrongLengthsAreSkippedTheRestStored) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const auto before = unit.value("1.7.1");
    const auto response = unit.handleDatagram(
        buildRequest({.command = Command::WriteRequest,
                      .entries = {{"8.8.8", {1, 2}}, {"1.7.1", {0x01}}, {"1.8.1", {0x20}}}},
                     unit.byteOrder()));
    ASSERT_EQ(response.datagrams.size(), 1U);
    EXPECT_EQ(unit.value("1.7.1"), before); // two bytes wide; one byte is refused
    EXPECT_EQ(unit.value("1.8.1"), (Bytes{0x20}));
}

TEST(Write, AnEmptyWriteIsStillAcknowledged) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const auto ack = onlyReply(
        unit.handleDatagram(buildRequest({.command = Command::WriteRequest}, unit.byteOrder())),
        unit.byteOrder());
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(ack->command, static_cast<std::uint8_t>(Command::WriteAck));
}

TEST(Write, ALoginChangeTakesEffectAfterTheAcknowledgement) {
    SimulatedUnit unit = makeUnit(specOf(kVela4));
    ASSERT_EQ(unit.valueText("2.1.1"), "admin");
    const auto response = unit.handleDatagram(
        buildRequest({.command = Command::WriteRequest,
                      .entries = {{"2.1.1", encoded(unit, "2.1.1", "field tech")},
                                  {"2.1.2", encoded(unit, "2.1.2", "vela-4")}}},
                     unit.byteOrder()));
    const auto ack = onlyReply(response, unit.byteOrder());
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(ack->command, static_cast<std::uint8_t>(Command::WriteAck));
    EXPECT_EQ(ack->loginId, "admin"); // accepted with the old login
    EXPECT_EQ(ack->password, "quorvane");
    EXPECT_EQ(unit.loginId(), "field tech");
    EXPECT_EQ(unit.password(), "vela-4");

    const auto refused =
        onlyReply(unit.handleDatagram(buildRequest({}, unit.byteOrder())), unit.byteOrder());
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->command, static_cast<std::uint8_t>(Command::ErrorReply));

    const auto values = decodeReadReplies(
        unit.handleDatagram(
                buildRequest({.loginId = "field tech", .password = "vela-4"}, unit.byteOrder()))
            .datagrams,
        unit.model(), unit.byteOrder());
    EXPECT_EQ(values.size(), 149U);
    EXPECT_EQ(unit.valueText("2.1.1"), "field tech");
}

// --- Credentials, reboot, long header ----------------------------------------------------

struct WrongLogin {
    const char* loginId;
    const char* password;
    Command command;
};

std::ostream& operator<<(std::ostream& out, const WrongLogin& wrong) {
    return out << "\"" << wrong.loginId << "\"/\"" << wrong.password << "\" command "
               << static_cast<int>(wrong.command);
}

class WrongLoginTest : public ::testing::TestWithParam<WrongLogin> {};

TEST_P(WrongLoginTest, GetsAnErrorReplyEchoingTheFrameAndChangesNothing) {
    const WrongLogin wrong = GetParam();
    SimulatedUnit unit = makeUnit(specOf(kLyra2));
    const auto before = unit.state();
    const auto response = unit.handleDatagram(
        buildRequest({.loginId = wrong.loginId,
                      .password = wrong.password,
                      .requestId = 0x0A0B,
                      .command = wrong.command,
                      .entries = wrong.command == Command::WriteRequest
                                     ? std::vector<std::pair<std::string, Bytes>>{{"1.8.1", {0x11}}}
                                     : std::vector<std::pair<std::string, Bytes>>{}},
                     unit.byteOrder()));
    const auto reply = onlyReply(response, unit.byteOrder());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->command, static_cast<std::uint8_t>(Command::ErrorReply));
    EXPECT_EQ(reply->loginId, wrong.loginId);
    EXPECT_EQ(reply->password, wrong.password);
    EXPECT_EQ(reply->requestId,
              (std::array<std::uint8_t, 2>{0x0A, 0x0B})); // most significant first
    EXPECT_EQ(unit.state(), before);
}

INSTANTIATE_TEST_SUITE_P(Logins, WrongLoginTest,
                         ::testing::Values(WrongLogin{"admin", "wrong", Command::ReadRequest},
                                           WrongLogin{"Admin", "quorvane", Command::ReadRequest},
                                           WrongLogin{"", "", Command::ReadRequest},
                                           WrongLogin{"admin", "quorvane ", Command::WriteRequest},
                                           WrongLogin{"root", "quorvane", Command::RebootRequest}),
                         [](const auto& info) {
                             const Command command = info.param.command;
                             return morvik::testing::caseName(
                                 {info.param.loginId, info.param.password,
                                  command == Command::ReadRequest    ? "read"
                                  : command == Command::WriteRequest ? "write"
                                                                     : "reboot"});
                         });

TEST(Reboot, IsAcknowledged) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const auto reply = onlyReply(
        unit.handleDatagram(buildRequest({.command = Command::RebootRequest}, unit.byteOrder())),
        unit.byteOrder());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->command, static_cast<std::uint8_t>(Command::RebootAck));
}

TEST(LongHeader, ReplyCarriesTheUnitsMacAndModeAndOtherMacsAreIgnored) {
    UnitSpec spec = specOf(kVela1);
    spec.addressMode = 2;
    SimulatedUnit unit = makeUnit(spec);
    const auto response = unit.handleDatagram(
        buildRequest({.kind = HeaderKind::Long, .mac = kMac}, unit.byteOrder()));
    ASSERT_EQ(response.datagrams.size(), 1U);
    const Bytes& reply = response.datagrams[0];
    EXPECT_EQ(reply[3], 0xDB);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 10), Bytes(kMac.begin(), kMac.end()));
    EXPECT_EQ(reply[10], 2);
    EXPECT_EQ(decodeReadReplies(response.datagrams, unit.model(), unit.byteOrder()).size(), 45U);

    MacBytes other = kMac;
    other[5] = 0x99;
    EXPECT_TRUE(unit.handleDatagram(
                        buildRequest({.kind = HeaderKind::Long, .mac = other}, unit.byteOrder()))
                    .datagrams.empty());
}

// --- Probe replies and faults ------------------------------------------------------------

TEST(Probe, ReplyNamesTheUnit) {
    for (const int mode : {1, 2, 3}) {
        UnitSpec spec = specOf(kOrion16);
        spec.addressMode = mode;
        const SimulatedUnit unit = makeUnit(spec);
        const auto decoded = decodeProbeReply(unit.probeReply(), "127.77.0.1");
        EXPECT_EQ(decoded.verdict, ProbeVerdict::ChecksumValid);
        EXPECT_EQ(decoded.record, (DeviceRecord{"Orion16-test", "127.77.0.1", "02:4D:56:00:00:01",
                                                "61", "3.10", std::to_string(mode)}));
        EXPECT_EQ(unit.probeReply()[3], mode == 1 ? 0xDA : 0xDB);
    }
}

TEST(Faults, ShapeTheAnswers) {
    const auto probeRequest = buildProbeRequest();
    const Bytes probe(probeRequest.begin(), probeRequest.end());
    auto unitWith = [](auto setFault) {
        UnitSpec spec = specOf(kLyra2);
        setFault(spec.faults);
        return makeUnit(spec);
    };

    SimulatedUnit badChecksum = unitWith([](UnitFaults& f) { f.badChecksum = true; });
    EXPECT_EQ(decodeProbeReply(badChecksum.handleDatagram(probe).datagrams.at(0), "x").verdict,
              ProbeVerdict::ChecksumMismatch);
    const auto read = badChecksum.handleDatagram(buildRequest({}, badChecksum.byteOrder()));
    ASSERT_FALSE(read.datagrams.empty());
    EXPECT_FALSE(parseFrame(read.datagrams[0], badChecksum.byteOrder())->checksumMatches());

    SimulatedUnit oversized = unitWith([](UnitFaults& f) { f.oversizedProbeReply = true; });
    const Bytes big = oversized.handleDatagram(probe).datagrams.at(0);
    EXPECT_GT(big.size(), kProbeReplyCapacity);
    EXPECT_EQ(decodeProbeReply(big, "x").verdict, ProbeVerdict::NotAReply);

    SimulatedUnit silent = unitWith([](UnitFaults& f) { f.noAnswer = true; });
    EXPECT_EQ(silent.handleDatagram(probe).datagrams.size(), 1U);
    EXPECT_TRUE(silent.handleDatagram(buildRequest({}, silent.byteOrder())).datagrams.empty());

    SimulatedUnit refusing = unitWith([](UnitFaults& f) { f.errorReply = true; });
    const auto refused =
        onlyReply(refusing.handleDatagram(buildRequest(
                      {.loginId = "operator", .password = "lyra2pass"}, refusing.byteOrder())),
                  refusing.byteOrder());
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->command, static_cast<std::uint8_t>(Command::ErrorReply));
}

// --- Datagrams a unit must not answer ----------------------------------------------------

TEST(Malformed, DatagramsThatAreNoGoodRequestGetNoAnswer) {
    SimulatedUnit unit = makeUnit(specOf(kVela1));
    const Bytes good = buildRequest({}, unit.byteOrder());
    auto with = [&](auto change) {
        Bytes copy = good;
        change(copy);
        return copy;
    };
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"empty", {}},
        {"signature only", {0x03, 0xA8, 0x16}},
        {"probe with a byte more", {0x03, 0xA8, 0x16, 0xDA, 0x00}},
        {"wrong signature", with([](Bytes& b) { b[1] = 0xA9; })},
        {"header kind DC", with([](Bytes& b) { b[3] = 0xDC; })},
        {"cut inside the password", Bytes(good.begin(), good.begin() + 8)},
        {"cut before the checksum", Bytes(good.begin(), good.end() - 2)},
        {"checksum off by one", with([](Bytes& b) { b.back() ^= 0x01; })},
        {"frameLength below 5",
         buildRequest({.rawBody = Bytes{}}, unit.byteOrder()) /* replaced below */},
        {"entry runs past the body",
         buildRequest({.command = Command::WriteRequest, .rawBody = Bytes{3, 1, 1, 1, 9, 0, 7}},
                      unit.byteOrder())},
        {"read reply sent to the unit",
         buildRequest({.command = Command::ReadReply}, unit.byteOrder())},
        {"error reply with a wrong login",
         buildRequest({.loginId = "x", .command = Command::ErrorReply}, unit.byteOrder())},
    };
    for (auto [name, datagram] : cases) {
        SCOPED_TRACE(name);
        if (std::string_view(name) == "frameLength below 5") {
            // frameLength 4 with a checksum that matches what precedes it.
            const std::size_t at = 4 + 1 + 5 + 1 + 8;
            datagram[at] = 4;
            datagram[at + 1] = 0;
            datagram.resize(at + 5);
            std::uint32_t sum = 0;
            for (auto byte : datagram) {
                sum += byte;
            }
            datagram.push_back(static_cast<std::uint8_t>(sum & 0xFF));
            datagram.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
        }
        const auto before = unit.state();
        const auto response = unit.handleDatagram(datagram);
        EXPECT_TRUE(response.datagrams.empty()) << response.note;
        EXPECT_EQ(unit.state(), before);
    }
}

TEST(Malformed, RandomDamageNeverBreaksTheUnit) {
    SimulatedUnit unit = makeUnit(specOf(kOrion16));
    const std::vector<Bytes> seeds{
        buildRequest({}, unit.byteOrder()),
        buildRequest({.entries = {{"4.1.3", {}}, {"0.1.1", {}}}}, unit.byteOrder()),
        buildRequest({.command = Command::WriteRequest,
                      .entries = {{"0.1.1", encoded(unit, "0.1.1", "fuzz")}}},
                     unit.byteOrder()),
    };
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        Bytes datagram = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int damage = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < damage; ++i) {
            switch (random() % 3) {
            case 0:
                datagram[random() % datagram.size()] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                datagram.resize(random() % (datagram.size() + 1));
                break;
            default:
                datagram.push_back(static_cast<std::uint8_t>(random()));
            }
            if (datagram.empty()) {
                datagram.push_back(0x03);
            }
        }
        for (const auto& reply : unit.handleDatagram(datagram).datagrams) {
            EXPECT_LE(reply.size(), kMaxReplyDatagram);
        }
    }
    // Still a working unit afterwards.
    EXPECT_EQ(decodeReadReplies(unit.handleDatagram(buildRequest({}, unit.byteOrder())).datagrams,
                                unit.model(), unit.byteOrder())
                  .size(),
              700U);
}

// --- Initial values and saved state ------------------------------------------------------

TEST(InitialValues, TextAndRawValuesAreStoredAndMistakesRefused) {
    UnitSpec spec = specOf(kLyra2);
    spec.values = {{"1.1.1", "192.168.1.20"}, {"3.1.1", "57600 bps"}, {"1.6.1", "Off"}};
    spec.rawValues = {{"1.4.1", {0x02, 0x4D, 0x56, 0x00, 0x00, 0x05}}};
    const SimulatedUnit unit = makeUnit(spec);
    EXPECT_EQ(unit.value("1.1.1"), (Bytes{192, 168, 1, 20})); // most significant first
    EXPECT_EQ(unit.valueText("3.1.1"), "57600 bps");
    EXPECT_EQ(unit.valueText("1.6.1"), "Off  sec");
    EXPECT_EQ(unit.valueText("1.4.1"), "02-4d-56-00-00-05");
    EXPECT_EQ(unit.value("0.6.1"), Bytes(32, 0)); // no initial value: zero bytes

    const std::vector<std::pair<const char*, UnitSpec>> mistakes = [&] {
        std::vector<std::pair<const char*, UnitSpec>> list;
        UnitSpec unknown = specOf(kLyra2);
        unknown.values = {{"9.9.9", "1"}};
        list.emplace_back("unknown address", unknown);
        UnitSpec noSuchName = specOf(kLyra2);
        noSuchName.values = {{"3.1.1", "9601 bps"}};
        list.emplace_back("no such enumeration name", noSuchName);
        UnitSpec shortRaw = specOf(kLyra2);
        shortRaw.rawValues = {{"1.1.1", {1, 2, 3}}};
        list.emplace_back("raw value of the wrong size", shortRaw);
        return list;
    }();
    for (const auto& [name, wrong] : mistakes) {
        SCOPED_TRACE(name);
        SimulatedUnit broken(wrong, demoCatalog().modelFor(55, 1, 0));
        std::string error;
        EXPECT_FALSE(broken.applyInitialValues(error));
        EXPECT_NE(error.find("02:4D:56:00:00:01"), std::string::npos) << error;
    }
}

TEST(InitialValues, ProductWithoutDescriptionStillAnswersProbesAndChecksItsLogin) {
    UnitSpec spec = specOf(kVela1);
    spec.productId = 12; // Vela8: in prodid.ini, no description file
    SimulatedUnit unit = makeUnit(spec);
    EXPECT_EQ(unit.model().parameterCount(), 0);
    EXPECT_EQ(decodeProbeReply(unit.probeReply(), "x").verdict, ProbeVerdict::ChecksumValid);
    const auto reply =
        onlyReply(unit.handleDatagram(buildRequest({}, unit.byteOrder())), unit.byteOrder());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->command, static_cast<std::uint8_t>(Command::ReadReply));
}

TEST(SavedState, RoundTripsAndBelongsToOneProductAndVersion) {
    UnitSpec spec = specOf(kVela4);
    spec.loginId = std::string("odd\x01id", 6);
    SimulatedUnit unit = makeUnit(spec);
    unit.handleDatagram(buildRequest({.loginId = spec.loginId,
                                      .command = Command::WriteRequest,
                                      .entries = {{"0.6.1", encoded(unit, "0.6.1", "Hall B")}}},
                                     unit.byteOrder()));
    const std::string text = serializeUnitState(unit);

    const auto restored = parseUnitState(text, spec);
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(*restored, unit.state());
    SimulatedUnit fresh = makeUnit(specOf(kVela4));
    EXPECT_EQ(fresh.restoreState(*restored), 0);
    EXPECT_EQ(fresh.valueText("0.6.1"), "Hall B");
    EXPECT_EQ(fresh.loginId(), spec.loginId);

    UnitSpec otherVersion = spec;
    otherVersion.minor = 6;
    EXPECT_FALSE(parseUnitState(text, otherVersion).has_value());
    EXPECT_FALSE(parseUnitState("{\"values\": 3}", spec).has_value());
    EXPECT_FALSE(parseUnitState("not json", spec).has_value());
}

} // namespace
} // namespace morvik::sim::testing
