#pragma once

#include "protocol/MacAddress.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik::sim {

// Misbehaviour a unit can be told to show, so that the tool's handling of it can be tested.
struct UnitFaults {
    bool badChecksum = false;         // every reply carries a wrong checksum
    bool noAnswer = false;            // parameter requests are ignored; probes are answered
    int lateAnswerMs = 0;             // every reply leaves this much later
    bool duplicateAnswer = false;     // every reply datagram is sent twice
    bool oversizedProbeReply = false; // the probe reply is padded past 100 bytes
    bool errorReply = false;          // every parameter request gets an ErrorReply
    // Parameter frames lost on the way, in percent, each way on its own: a request that never
    // reaches the unit, or a reply datagram that never leaves it. Probes are lost only with
    // lossIncludesProbes, so that a lossy fleet is otherwise still found whole.
    int lossPercent = 0;
    std::uint32_t lossSeed = 1;      // the same seed loses the same datagrams of the same traffic
    bool lossIncludesProbes = false; // probes and probe replies are lost in the same share

    friend bool operator==(const UnitFaults&, const UnitFaults&) = default;
};

inline constexpr int kMaxLateAnswerMs = 60000;
inline constexpr int kMaxGeneratedUnits = 10000;

// One unit of a fleet file.
struct UnitSpec {
    std::string name; // at most 255 bytes: the probe reply's name length is one byte
    MacBytes mac{};
    std::string ip; // dotted; the unit's own socket is bound to it
    int productId = 0;
    int major = 0;
    int minor = 0;
    int addressMode = 1; // 1: short header; anything else: long header carrying this byte
    std::string loginId;
    std::string password;
    // Initial values by parameter address, in the order written: as value-column text, or as
    // the raw bytes of the value.
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> rawValues;
    UnitFaults faults;
};

struct Fleet {
    std::vector<UnitSpec> units;
};

struct FleetOptions {
    // Units outside 127.0.0.0/8 are refused unless the simulator runs in a network namespace
    // of its own, where nothing it says can leave the machine.
    bool allowNonLoopback = false;
};

// Reads a fleet file's JSON text; nothing and `error` ("units[2].mac: ...") on any mistake,
// unknown keys included, so that a misspelt fault never goes unnoticed.
std::optional<Fleet> parseFleet(std::string_view jsonText, std::string& error,
                                FleetOptions options = {});
std::optional<Fleet> loadFleetFile(const std::string& path, std::string& error,
                                   FleetOptions options = {});

// "127.77.0.1" -> host-order number; nothing for anything but four dotted numbers 0..255.
std::optional<std::uint32_t> parseDottedAddress(std::string_view text);
std::string formatDottedAddress(std::uint32_t address);
bool isLoopbackAddress(std::string_view text);

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);
std::string formatHexBytes(std::span<const std::uint8_t> bytes);

} // namespace morvik::sim
