#pragma once

// A parameter session wired to real parts: a UDP endpoint on loopback, the unit simulator
// running in the same thread, a scratch copy of the demo data, and dialogs answered from a
// script. Replies reach the session only while the harness pumps, as they would reach the GUI
// only while its event loop runs.

#include "parameters/ClassFilter.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/UdpTransport.h"
#include "protocol/ProbeCodec.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"
#include "support/ScriptedDialogs.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace morvik::testing {

inline std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The probed units with these names, in the order of the names.
inline std::vector<DeviceRecord> unitsNamed(const std::vector<DeviceRecord>& probed,
                                            const std::vector<std::string>& names) {
    std::vector<DeviceRecord> units;
    for (const std::string& name : names) {
        for (const DeviceRecord& unit : probed) {
            if (unit.name == name) {
                units.push_back(unit);
            }
        }
    }
    return units;
}

class ScratchData {
public:
    ScratchData() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvik-session-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
        for (const auto& entry : std::filesystem::directory_iterator(MORVIK_DEMO_DATA_DIR)) {
            std::filesystem::copy(entry.path(), path_ / entry.path().filename());
        }
    }
    ~ScratchData() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchData(const ScratchData&) = delete;
    ScratchData& operator=(const ScratchData&) = delete;

    std::string directory() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

class ListedUnits final : public UnitSelection {
public:
    std::vector<DeviceRecord> selectedUnits() const override { return units; }
    std::vector<DeviceRecord> units;
};

// Pauses are counted, not slept: the pumping harness plays the part of the clock.
class CountingPacer final : public Pacer {
public:
    void pause(std::chrono::milliseconds duration) override { pauses.push_back(duration); }
    std::vector<std::chrono::milliseconds> pauses;
};

// Remembers what the session reported.
class RecordedEvents final : public SessionEvents {
public:
    void requestSent(int unit, Command command, std::span<const std::uint8_t> datagram) override {
        requests.push_back({unit, command, {datagram.begin(), datagram.end()}});
    }
    void replyAccepted(int unit, const ParsedFrame& frame) override {
        replies.push_back({unit, static_cast<Command>(frame.command), {}});
    }
    struct Entry {
        int unit;
        Command command;
        std::vector<std::uint8_t> bytes;
    };
    int countRequests(Command command) const {
        return static_cast<int>(
            std::count_if(requests.begin(), requests.end(),
                          [&](const Entry& e) { return e.command == command; }));
    }
    std::vector<Entry> requests;
    std::vector<Entry> replies;
};

// The demo fleet's first units, plus any extra units a test needs: `unitsJson` is units of the
// fleet format joined by commas.
inline std::string fleetJson(const std::string& unitsJson) {
    const nlohmann::ordered_json fleet = {
        {"units", nlohmann::ordered_json::parse("[" + unitsJson + "]")}};
    return fleet.dump();
}

// `extra` adds members, written as in a JSON object: R"("faults": {"noAnswer": true})".
inline std::string unitJson(const std::string& name, const std::string& mac, const std::string& ip,
                            int productId, const std::string& version, const std::string& loginId,
                            const std::string& password, const std::string& extra = {}) {
    nlohmann::ordered_json unit = {
        {"name", name},           {"mac", mac},         {"ip", ip},
        {"productId", productId}, {"version", version}, {"loginId", loginId},
        {"password", password}};
    if (!extra.empty()) {
        unit.update(nlohmann::ordered_json::parse("{" + extra + "}"));
    }
    return unit.dump();
}

class SessionHarness {
public:
    // `extraFiles` (name, content) join the data directory before the simulator reads it.
    explicit SessionHarness(const std::string& fleet,
                            const std::vector<std::pair<std::string, std::string>>& extraFiles = {})
        : simulator_(simulatorOptions(data_.directory())),
          endpoint_(*UdpEndpoint::bind("0.0.0.0", 0)) {
        for (const auto& [name, content] : extraFiles) {
            std::ofstream(data_.file(name), std::ios::binary) << content;
        }
        std::string error;
        const auto parsed = sim::parseFleet(fleet, error);
        EXPECT_TRUE(parsed.has_value()) << error;
        if (parsed) {
            EXPECT_TRUE(simulator_.start(*parsed, error)) << error;
        }
        // Everything stays on loopback: the simulator's port, loopback broadcast, and a host
        // address whose subnet (127.0.0.0/8) holds every simulated unit.
        settings_.devicePort = simulator_.port();
        settings_.broadcastAddress = "127.255.255.255";
        settings_.hostAddress = "127.0.0.1";
        transport_ = std::make_unique<UdpTransport>(endpoint_, settings_);
        session_ = std::make_unique<ParameterSession>(
            ParameterSession::Ports{dialogs, selection, table, classFilter, *transport_, pacer},
            data_.directory(), 1234);
        session_->setEvents(&events);
    }

    ParameterSession& session() { return *session_; }
    const sim::Simulator& simulator() const { return simulator_; }
    const ScratchData& data() const { return data_; }

    // Probes the fleet as the device list does and returns the units in order of arrival.
    std::vector<DeviceRecord> probe() {
        auto probeSocket = UdpEndpoint::bind("0.0.0.0", 0);
        probeSocket->enableBroadcast();
        const auto request = buildProbeRequest();
        probeSocket->sendTo(request, settings_.devicePort, settings_.broadcastAddress);
        std::vector<DeviceRecord> found;
        std::vector<std::uint8_t> buffer(kProbeReplyCapacity);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < until) {
            simulator_.pollOnce(5);
            while (const auto received = probeSocket->receiveFrom(buffer)) {
                const auto decoded =
                    decodeProbeReply({buffer.data(), received->length}, received->sourceAddress);
                if (decoded.verdict != ProbeVerdict::NotAReply) {
                    found.push_back(decoded.record);
                }
            }
            if (found.size() == simulator_.unitCount()) {
                break;
            }
        }
        return found;
    }

    // Selects the probed units with these names, in this order.
    void select(const std::vector<std::string>& names) {
        if (probed_.empty()) {
            probed_ = probe();
        }
        selection.units = unitsNamed(probed_, names);
        ASSERT_EQ(selection.units.size(), names.size());
    }

    // Lets the simulator answer and hands every reply to the session, until nothing has moved
    // for `quietMs`.
    void pump(int quietMs = 60) {
        std::vector<std::uint8_t> buffer(kReceiveBufferSize);
        auto lastActivity = std::chrono::steady_clock::now();
        const auto deadline = lastActivity + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            bool moved = simulator_.pollOnce(2) > 0;
            while (const auto received = endpoint_.receiveFrom(buffer)) {
                moved = true;
                session_->handleUnitReply({buffer.data(), received->length});
            }
            const auto now = std::chrono::steady_clock::now();
            if (moved) {
                lastActivity = now;
            } else if (now - lastActivity > std::chrono::milliseconds(quietMs)) {
                return;
            }
        }
        ADD_FAILURE() << "the exchange did not settle";
    }

    // The value column text of the parameter with this address ("" when it has no line).
    std::string cell(const std::string& address) {
        return session_->getValueText(session_->findParameter(address));
    }

    // Marks a parameter as edited with this text, as the list does when the user edits it.
    void edit(const std::string& address, const std::string& text) {
        const int parameter = session_->findParameter(address);
        ASSERT_GE(parameter, 0) << address;
        session_->setValueText(parameter, text);
        table.setModifiedMark(parameter, 1);
    }

    // What the simulated unit of this name holds, as the value column would show it.
    std::string unitValue(const std::string& name, const std::string& address) const {
        for (std::size_t unit = 0; unit < simulator_.unitCount(); ++unit) {
            if (simulator_.unit(unit).spec().name == name) {
                return simulator_.unit(unit).valueText(address);
            }
        }
        ADD_FAILURE() << "no unit " << name;
        return {};
    }

    ScriptedDialogs dialogs;
    ListedUnits selection;
    ParameterTable table;
    ClassFilterEntries classFilter;
    CountingPacer pacer;
    RecordedEvents events;

private:
    static sim::SimulatorOptions simulatorOptions(const std::string& dataDirectory) {
        sim::SimulatorOptions options;
        options.dataDirectory = dataDirectory;
        options.port = 0;
        return options;
    }
    ScratchData data_;
    sim::Simulator simulator_;
    UdpEndpoint endpoint_;
    EndpointSettings settings_;
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    std::vector<DeviceRecord> probed_;
};

// The demo's two Vela1 units (in the demo pwd.ini) and an Orion16 it does not know.
inline std::string demoUnits() {
    return unitJson(
               "dock", "02:4D:56:00:00:01", "127.77.0.1", 7, "1.2", "admin", "quorvane",
               R"("values": {"0.1.1": "dock", "0.2.1": "1.2.7", "1.1.1": "192.168.10.21", "3.7.1": "4001"})") +
           "," +
           unitJson("lab", "02:4D:56:00:00:02", "127.77.0.2", 7, "1.2", "admin", "quorvane",
                    R"("values": {"0.1.1": "lab", "1.1.1": "192.168.10.22", "3.7.1": "4001"})") +
           "," +
           unitJson("rack", "02:4D:56:00:00:06", "127.77.0.6", 61, "3.10", "admin", "orion",
                    R"("values": {"0.1.1": "rack"})") +
           "," +
           unitJson("stranger", "02:4D:56:00:00:08", "127.77.0.8", 61, "3.10", "admin", "quorvane",
                    R"("values": {"0.1.1": "stranger"})");
}

} // namespace morvik::testing
