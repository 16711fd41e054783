#pragma once

// The command line tool and the unit simulator as separate processes on loopback: a scratch
// copy of the demo data (pwd.ini gets rewritten), a fleet file, the simulator on a free port
// recording every datagram it receives, and the tool pointed at it. Nothing leaves 127.0.0.0/8:
// probes go to 127.255.255.255 and every unit lives on a 127.77.x.y address.

#include "ChildProcess.h"
#include "protocol/ByteOrder.h"
#include "protocol/ParameterFrame.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvik::testing {

using Json = nlohmann::ordered_json;

std::string readWholeFile(const std::string& path);

// One frame a simulated unit received, as the simulator recorded it.
struct RecordedFrame {
    std::string unitMac;
    Command command = Command::ReadRequest;
    std::vector<std::string> addresses; // of the entries, in order
    std::vector<std::uint8_t> bytes;
};

class CliHarness {
public:
    // Units of the demo fleet plus `extraUnits` (JSON objects of the fleet format); `extraFiles`
    // (name, content) join the data directory before the simulator reads it.
    explicit CliHarness(const std::vector<Json>& extraUnits = {}, bool withDemoUnits = true,
                        const std::vector<std::pair<std::string, std::string>>& extraFiles = {});
    ~CliHarness();
    CliHarness(const CliHarness&) = delete;
    CliHarness& operator=(const CliHarness&) = delete;

    bool ready() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    std::string file(const std::string& name) const { return (directory_ / name).string(); }
    std::string directory() const { return directory_.string(); }

    // Runs morvik-cli with the loopback endpoints and this data directory before `arguments`.
    ProcessResult cli(const std::vector<std::string>& arguments) const;
    // The same started by the shell line `runner`: "$@" is the tool's command, "$0" `argument`.
    ProcessResult cliVia(const std::string& runner, const std::string& argument,
                         const std::vector<std::string>& arguments) const;
    // The same with --json; the document parsed strictly (UTF-8 checked; a failure is
    // reported).
    std::optional<Json> cliJson(const std::vector<std::string>& arguments,
                                ProcessResult* result = nullptr) const;

    // Frames a unit received since the last call to forget(), decoded in its byte order.
    std::vector<RecordedFrame> framesTo(const std::string& mac, ByteOrder order) const;
    void forget();

    // A pwd.ini record added for a unit that the demo log does not know.
    void addCredentials(const std::string& mac, const std::string& loginId,
                        const std::string& password) const;

private:
    std::filesystem::path directory_;
    std::unique_ptr<BackgroundProcess> simulator_;
    std::uint16_t port_ = 0;
    std::size_t recordOffset_ = 0;
};

// A unit of the fleet format.
Json fleetUnit(const std::string& name, const std::string& mac, const std::string& ip,
               int productId, const std::string& version, Json faults = {});

// The object's keys, in order.
std::vector<std::string> keysOf(const Json& object);

// The member's text ("" when missing).
std::string textOf(const Json& object, std::string_view key);
// A document parsed strictly, or nothing when `text` is not one.
std::optional<Json> parseJsonDocument(const std::string& text);

} // namespace morvik::testing
