// The simulator on real loopback sockets, talked to the way the tool talks to units.

#include "SimTestSupport.h"
#include "description/ValueTypes.h"
#include "protocol/ProbeCodec.h"
#include "sim/FleetFile.h"
#include "sim/UnitStateFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <set>
#include <stdexcept>

namespace morvik::sim::testing {
namespace {

constexpr const char* kBroadcast = "127.255.255.255";

Bytes probeRequest() {
    const auto probe = buildProbeRequest();
    return Bytes(probe.begin(), probe.end());
}

const SimulatedUnit& unitNamed(Simulator& simulator, std::string_view name) {
    for (std::size_t i = 0; i < simulator.unitCount(); ++i) {
        if (simulator.unit(i).spec().name == name) {
            return simulator.unit(i);
        }
    }
    throw std::runtime_error("no unit " + std::string(name));
}

// One Vela1 unit at 127.77.1.1 with the given faults.
Fleet oneUnit(const std::string& faults = "{}", int addressMode = 1) {
    return parseFleetOrFail(R"({"units": [{"name": "solo", "mac": "02:4D:56:00:01:01",
        "ip": "127.77.1.1", "productId": 7, "version": "1.2", "addressMode": )" +
                            std::to_string(addressMode) +
                            R"(, "loginId": "admin", "password": "quorvane", "faults": )" + faults +
                            "}]}");
}

TEST(Simulator, EveryUnitAnswersABroadcastProbeFromItsOwnAddress) {
    const Fleet fleet = demoFleet();
    RunningSimulator running(fleet);
    ASSERT_TRUE(running.started());
    Client client;
    client.send(probeRequest(), kBroadcast, running.port());
    const auto replies = client.receive(fleet.units.size());
    ASSERT_EQ(replies.size(), fleet.units.size());

    std::set<std::string> macs;
    for (const auto& reply : replies) {
        EXPECT_EQ(reply.port, running.port());
        const auto decoded = decodeProbeReply(reply.bytes, reply.address);
        EXPECT_EQ(decoded.verdict, ProbeVerdict::ChecksumValid);
        const auto& record = decoded.record;
        macs.insert(record.mac);
        const auto spec = std::ranges::find_if(fleet.units, [&](const UnitSpec& unit) {
            return formatMacText(unit.mac) == record.mac;
        });
        ASSERT_NE(spec, fleet.units.end()) << record.mac;
        EXPECT_EQ(record.ip, spec->ip);
        EXPECT_EQ(record.name, spec->name);
        char productId[8];
        std::snprintf(productId, sizeof productId, "%02d", spec->productId);
        EXPECT_EQ(record.productId, productId);
        EXPECT_EQ(record.version, std::to_string(spec->major) + "." + std::to_string(spec->minor));
        EXPECT_EQ(record.addressMode, std::to_string(spec->addressMode));
    }
    EXPECT_EQ(macs.size(), fleet.units.size());
}

TEST(Simulator, ReadsAWholeOrion16ByItsAddressInDatagramsTheToolCanTake) {
    RunningSimulator running(demoFleet());
    ASSERT_TRUE(running.started());
    Client client;
    const ByteOrder order = byteOrderForProduct(61);
    Bytes request = buildRequest({.password = "orion", .requestId = 0x2222}, order);
    request.push_back(0); // a read sent to a unit's address carries one byte more
    client.send(request, "127.77.0.6", running.port());
    const auto replies = client.receive(8, 2000, 200);
    ASSERT_GT(replies.size(), 1U);
    for (const auto& reply : replies) {
        EXPECT_EQ(reply.address, "127.77.0.6");
        EXPECT_LE(reply.bytes.size(), kReceiveBufferSize);
        EXPECT_EQ(parseFrame(reply.bytes, order)->requestId,
                  (std::array<std::uint8_t, 2>{0x22, 0x22}));
    }
    running.stop();
    const SimulatedUnit& unit = unitNamed(running.simulator(), "orion16-rack");
    const auto values = decodeReadReplies(bytesOf(replies), unit.model(), order);
    ASSERT_EQ(values.size(), 700U);
    for (const auto& [index, bytes] : values) {
        EXPECT_EQ(bytes, unit.value(unit.model().row(index).address));
    }
}

TEST(Simulator, LongHeaderFrameByBroadcastReachesTheUnitItNames) {
    RunningSimulator running(demoFleet());
    ASSERT_TRUE(running.started());
    Client client;
    const ByteOrder order = byteOrderForProduct(7);
    const MacBytes lab{0x02, 0x4D, 0x56, 0x00, 0x00, 0x02}; // vela1-lab, address mode 2
    client.send(buildRequest({.kind = HeaderKind::Long, .mac = lab, .requestId = 77}, order),
                kBroadcast, running.port());
    const auto replies = client.receive(1);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].address, "127.77.0.2");
    EXPECT_EQ(replies[0].bytes[3], 0xDB);
    EXPECT_EQ(Bytes(replies[0].bytes.begin() + 4, replies[0].bytes.begin() + 10),
              Bytes(lab.begin(), lab.end()));

    MacBytes nobody = lab;
    nobody[0] = 0x0E;
    client.send(buildRequest({.kind = HeaderKind::Long, .mac = nobody}, order), kBroadcast,
                running.port());
    EXPECT_TRUE(client.receive(1, 300).empty());
}

TEST(Simulator, WrittenValuesAndLoginSurviveARestartWithAStateDirectory) {
    ScratchDirectory scratch;
    const ByteOrder order = byteOrderForProduct(7);
    const MacBytes mac{0x02, 0x4D, 0x56, 0x00, 0x01, 0x01};
    SimulatorOptions options;
    options.stateDirectory = scratch.file("state");
    Bytes location;
    {
        RunningSimulator running(oneUnit(), options);
        ASSERT_TRUE(running.started());
        Client client;
        const auto bytes = Bytes{'H', 'a', 'l', 'l', ' ', 'C'};
        location = bytes;
        location.resize(32, 0);
        client.send(buildRequest({.command = Command::WriteRequest,
                                  .entries = {{"0.6.1", location},
                                              {"2.1.2", Bytes{'n', 'e', 'w', 0, 0, 0, 0, 0, 0, 0, 0,
                                                              0, 0, 0, 0, 0}}}},
                                 order),
                    "127.77.1.1", running.port());
        const auto ack = client.receive(1);
        ASSERT_EQ(ack.size(), 1U);
        EXPECT_EQ(parseFrame(ack[0].bytes, order)->command,
                  static_cast<std::uint8_t>(Command::WriteAck));
    }
    EXPECT_TRUE(std::filesystem::exists(unitStatePath(options.stateDirectory, mac)));

    RunningSimulator restarted(oneUnit(), options);
    ASSERT_TRUE(restarted.started());
    Client client;
    client.send(buildRequest({.password = "new", .entries = {{"0.6.1", {}}}}, order), "127.77.1.1",
                restarted.port());
    const auto replies = client.receive(1);
    ASSERT_EQ(replies.size(), 1U);
    restarted.stop();
    const SimulatedUnit& unit = restarted.simulator().unit(0);
    const auto values = decodeReadReplies(bytesOf(replies), unit.model(), order);
    ASSERT_EQ(values.size(), 1U);
    EXPECT_EQ(values.begin()->second, location);
    EXPECT_EQ(unit.password(), "new");
}

struct FaultCase {
    const char* name;
    const char* faults;
    std::size_t probeReplies;
    ProbeVerdict probeVerdict; // of the first probe reply, as the tool decodes it
    std::size_t readReplies;
    bool readChecksumMatches;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& fault) {
    return out << fault.name;
}

class FaultOnTheWire : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultOnTheWire, ShowsInWhatArrives) {
    const FaultCase fault = GetParam();
    RunningSimulator running(oneUnit(fault.faults));
    ASSERT_TRUE(running.started());
    Client client;
    client.send(probeRequest(), kBroadcast, running.port());
    const auto probeReplies = client.receive(fault.probeReplies, 1000, 150);
    ASSERT_EQ(probeReplies.size(), fault.probeReplies);
    EXPECT_EQ(decodeProbeReply(probeReplies[0].bytes, probeReplies[0].address).verdict,
              fault.probeVerdict);

    const ByteOrder order = byteOrderForProduct(7);
    client.send(buildRequest({}, order), "127.77.1.1", running.port());
    const auto replies = client.receive(fault.readReplies, 1000, 150);
    ASSERT_EQ(replies.size(), fault.readReplies);
    if (!replies.empty()) {
        EXPECT_EQ(parseFrame(replies[0].bytes, order)->checksumMatches(),
                  fault.readChecksumMatches);
    }
    if (replies.size() == 2) {
        EXPECT_EQ(replies[0].bytes, replies[1].bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultOnTheWire,
    ::testing::Values(
        FaultCase{"none", "{}", 1, ProbeVerdict::ChecksumValid, 1, true},
        FaultCase{"badChecksum", R"({"badChecksum": true})", 1, ProbeVerdict::ChecksumMismatch, 1,
                  false},
        FaultCase{"oversizedProbeReply", R"({"oversizedProbeReply": true})", 1,
                  ProbeVerdict::NotAReply, 1, true},
        FaultCase{"duplicateAnswer", R"({"duplicateAnswer": true})", 2, ProbeVerdict::ChecksumValid,
                  2, true},
        FaultCase{"noAnswer", R"({"noAnswer": true})", 1, ProbeVerdict::ChecksumValid, 0, true},
        FaultCase{"errorReply", R"({"errorReply": true})", 1, ProbeVerdict::ChecksumValid, 1, true},
        // Probes are never lost: a lossy fleet is still found whole.
        FaultCase{"lossPercent", R"({"lossPercent": 100})", 1, ProbeVerdict::ChecksumValid, 0,
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// A unit losing a share of its frames loses about that share each way, and the same seed loses
// the same frames again, so that a lossy run can be repeated.
TEST(Simulator, LossDropsAboutItsShareAndRepeatsWithItsSeed) {
    constexpr int kRequests = 300;
    auto answered = [](const char* faults) {
        RunningSimulator running(oneUnit(faults));
        EXPECT_TRUE(running.started());
        Client client;
        const ByteOrder order = byteOrderForProduct(7);
        // In small batches, so that no socket buffer overflows and only the fault loses.
        std::set<std::array<std::uint8_t, 2>> answers;
        constexpr int kBatch = 20;
        for (int first = 0; first < kRequests; first += kBatch) {
            for (int i = first; i < first + kBatch; ++i) {
                client.send(buildRequest({.requestId = static_cast<std::uint16_t>(i + 1)}, order),
                            "127.77.1.1", running.port());
            }
            for (const auto& reply : client.receive(kBatch, 80, 0)) {
                if (const auto frame = parseFrame(reply.bytes, order)) {
                    answers.insert(frame->requestId);
                }
            }
        }
        for (const auto& reply : client.receive(kRequests, 200, 0)) {
            if (const auto frame = parseFrame(reply.bytes, order)) {
                answers.insert(frame->requestId);
            }
        }
        return answers;
    };
    const auto first = answered(R"({"lossPercent": 30, "lossSeed": 9})");
    const auto again = answered(R"({"lossPercent": 30, "lossSeed": 9})");
    const auto otherSeed = answered(R"({"lossPercent": 30, "lossSeed": 10})");
    EXPECT_EQ(first, again);
    EXPECT_NE(first, otherSeed);
    // 0.7 each way: about 49 % of the requests are answered.
    const auto count = static_cast<int>(first.size());
    EXPECT_GT(count, kRequests * 35 / 100);
    EXPECT_LT(count, kRequests * 63 / 100);
}

TEST(Simulator, LateAnswerLeavesAfterItsDelay) {
    RunningSimulator running(oneUnit(R"({"lateAnswerMs": 400})"));
    ASSERT_TRUE(running.started());
    Client client;
    const auto sent = std::chrono::steady_clock::now();
    client.send(buildRequest({}, byteOrderForProduct(7)), "127.77.1.1", running.port());
    EXPECT_TRUE(client.receive(1, 200, 0).empty());
    const auto replies = client.receive(1, 2000);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(400));
}

TEST(Simulator, RecordsEveryDatagramWithItsUnitAndSource) {
    ScratchDirectory scratch;
    SimulatorOptions options;
    options.recordPath = scratch.file("record.txt");
    RunningSimulator running(oneUnit(), options);
    ASSERT_TRUE(running.started());
    Client client;
    const Bytes read = buildRequest({.requestId = 0x0102}, byteOrderForProduct(7));
    client.send(probeRequest(), kBroadcast, running.port());
    client.receive(1);
    client.send(read, "127.77.1.1", running.port());
    client.receive(1);
    running.stop();

    std::ifstream file(options.recordPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_TRUE(lines[0].starts_with("- 127.0.0.1:")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" 03a816da")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("02:4D:56:00:01:01 127.0.0.1:")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(" " + formatHexBytes(read))) << lines[1];
}

TEST(Simulator, SurvivesGarbageAndKeepsAnswering) {
    RunningSimulator running(oneUnit(R"({})", 2));
    ASSERT_TRUE(running.started());
    Client client;
    const std::vector<Bytes> garbage{
        {},
        {0x03, 0xA8, 0x16},
        {0x03, 0xA8, 0x16, 0xDB, 0x02, 0x4D}, // long header, cut
        {0x03, 0xA8, 0x16, 0xDB, 0x02, 0x4D, 0x56, 0x00, 0x01, 0x01, 0x02, 0xFF}, // runs past
        {0x03, 0xA8, 0x16, 0xDA, 0x05, 'a'},
        Bytes(1400, 0xDA),
    };
    for (const auto& datagram : garbage) {
        client.send(datagram, kBroadcast, running.port());
        client.send(datagram, "127.77.1.1", running.port());
    }
    EXPECT_TRUE(client.receive(1, 300).empty());
    client.send(probeRequest(), kBroadcast, running.port());
    EXPECT_EQ(client.receive(1).size(), 1U);
}

TEST(Simulator, RefusesUnitsOffLoopbackAndAddressesItCannotBind) {
    Fleet fleet = oneUnit();
    fleet.units[0].ip = "198.51.100.77";
    Simulator offLoopback({.dataDirectory = kDemoDir, .port = 0});
    std::string error;
    EXPECT_FALSE(offLoopback.start(fleet, error));
    EXPECT_NE(error.find("loopback"), std::string::npos) << error;

    // Allowed off loopback, but no interface has the address: binding fails, nothing is sent.
    Simulator unbindable({.dataDirectory = kDemoDir, .port = 0, .allowNonLoopback = true});
    EXPECT_FALSE(unbindable.start(fleet, error));
    EXPECT_NE(error.find("cannot bind 198.51.100.77"), std::string::npos) << error;
}

} // namespace
} // namespace morvik::sim::testing
