#pragma once

// The one rig that wires a parameter session to real parts, for the tests and the benchmarks
// alike: a scratch copy of the demo data, the unit simulator in this thread on loopback, a UDP
// endpoint, the transport over it and the session with its ports. How replies reach the session
// (pumped here, or through a socket notifier in GuiSessionRig.h) is the user's choice.
//
// Setup failures throw: a test reports them as a failure of the test, a benchmark stops.

#include "parameters/ClassFilter.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/SessionPorts.h"
#include "parameters/UdpTransport.h"
#include "protocol/ProbeCodec.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
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

// A fresh directory holding a copy of the demo data, removed again with the object.
class ScratchData {
public:
    ScratchData() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvik-rig-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
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

// Simulated units on loopback that read their descriptions from a scratch copy of the demo
// data. Everything stays on this host: the simulator's own port, loopback broadcast, and a host
// address whose subnet (127.0.0.0/8) holds every simulated unit.
class SimulatedFleet {
public:
    // `extraFiles` (name, content) join the data directory before the simulator reads it.
    explicit SimulatedFleet(const std::string& fleetJson,
                            const std::vector<std::pair<std::string, std::string>>& extraFiles = {})
        : simulator_(simulatorOptions(data_.directory())) {
        for (const auto& [name, content] : extraFiles) {
            std::ofstream(data_.file(name), std::ios::binary) << content;
        }
        std::string error;
        const auto fleet = sim::parseFleet(fleetJson, error);
        if (!fleet || !simulator_.start(*fleet, error)) {
            throw std::runtime_error("simulator: " + error);
        }
        settings_.devicePort = simulator_.port();
        settings_.broadcastAddress = "127.255.255.255";
        settings_.hostAddress = "127.0.0.1";
    }

    sim::Simulator& simulator() { return simulator_; }
    const sim::Simulator& simulator() const { return simulator_; }
    const ScratchData& data() const { return data_; }
    const EndpointSettings& settings() const { return settings_; }

    // Probes as the device list does and returns the units in order of arrival, once every
    // unit answered or `waitMs` passed.
    std::vector<DeviceRecord> probe(int waitMs = 1000) {
        auto probeSocket = UdpEndpoint::bind("0.0.0.0", 0);
        probeSocket->enableBroadcast();
        probeSocket->sendTo(buildProbeRequest(), settings_.devicePort, settings_.broadcastAddress);
        std::vector<DeviceRecord> found;
        std::vector<std::uint8_t> buffer(kProbeReplyCapacity);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (std::chrono::steady_clock::now() < until && found.size() < simulator_.unitCount()) {
            simulator_.pollOnce(5);
            while (const auto received = probeSocket->receiveFrom(buffer)) {
                const auto decoded =
                    decodeProbeReply({buffer.data(), received->length}, received->sourceAddress);
                if (decoded.verdict != ProbeVerdict::NotAReply) {
                    found.push_back(decoded.record);
                }
            }
        }
        return found;
    }

    // What the simulated unit of this name holds, as the value column would show it; "" when
    // there is no such unit.
    std::string unitValue(const std::string& name, const std::string& address) const {
        for (std::size_t unit = 0; unit < simulator_.unitCount(); ++unit) {
            if (simulator_.unit(unit).spec().name == name) {
                return simulator_.unit(unit).valueText(address);
            }
        }
        return {};
    }

private:
    static sim::SimulatorOptions simulatorOptions(const std::string& dataDirectory) {
        sim::SimulatorOptions options;
        options.dataDirectory = dataDirectory;
        options.port = 0;
        return options;
    }

    ScratchData data_;
    sim::Simulator simulator_;
    EndpointSettings settings_;
};

class ListedUnits final : public UnitSelection {
public:
    std::vector<DeviceRecord> selectedUnits() const override { return units; }
    std::vector<DeviceRecord> units;
};

struct SessionRigOptions {
    // The request id seed.
    std::uint32_t seed = 1234;
    // The endpoint's receive buffer; 0 keeps the system's.
    int receiveBufferBytes = 0;
    std::vector<std::pair<std::string, std::string>> extraFiles;
    // How long a probe for select() waits for units that do not answer.
    int probeWaitMs = 1000;
};

// A session over a simulated fleet. `DialogsT` answers the session's questions and `PacerT`
// makes its pauses; the rig owns both, the selection, the parameter list and the class filter.
template <class DialogsT, class PacerT>
class SessionRig {
public:
    explicit SessionRig(const std::string& fleetJson, SessionRigOptions options = {})
        : fleet_(fleetJson, options.extraFiles), endpoint_(*UdpEndpoint::bind("0.0.0.0", 0)),
          probeWaitMs_(options.probeWaitMs) {
        if (options.receiveBufferBytes > 0) {
            endpoint_.setReceiveBufferSize(options.receiveBufferBytes);
        }
        transport_ = std::make_unique<UdpTransport>(endpoint_, fleet_.settings());
        session_ = std::make_unique<ParameterSession>(
            ParameterSession::Ports{dialogs, selection, table, classFilter, *transport_, pacer},
            fleet_.data().directory(), options.seed);
    }

    ParameterSession& session() { return *session_; }
    sim::Simulator& simulator() { return fleet_.simulator(); }
    const sim::Simulator& simulator() const { return fleet_.simulator(); }
    const ScratchData& data() const { return fleet_.data(); }
    const EndpointSettings& settings() const { return fleet_.settings(); }
    UdpEndpoint& endpoint() { return endpoint_; }

    std::vector<DeviceRecord> probe() { return fleet_.probe(probeWaitMs_); }

    // Selects the probed units with these names, in this order; false when one is missing.
    bool select(const std::vector<std::string>& names) {
        if (probed_.empty()) {
            probed_ = probe();
        }
        selection.units = unitsNamed(probed_, names);
        return selection.units.size() == names.size();
    }

    // Selects every unit that answers a probe, in order of arrival.
    void selectAll(int waitMs = 3000) { selection.units = fleet_.probe(waitMs); }

    // Hands the datagrams waiting at the endpoint to the session; true when there was one.
    bool deliverWaitingReplies() {
        std::vector<std::uint8_t> buffer(kReceiveBufferSize);
        bool delivered = false;
        while (const auto received = endpoint_.receiveFrom(buffer)) {
            delivered = true;
            session_->handleUnitReply({buffer.data(), received->length});
        }
        return delivered;
    }

    // Lets the simulator answer and hands every reply to the session, until nothing has moved
    // for `quietMs`; false when the exchange went on for 10 seconds.
    bool pump(int quietMs = 60) {
        auto lastActivity = std::chrono::steady_clock::now();
        const auto deadline = lastActivity + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const bool simulatorMoved = fleet_.simulator().pollOnce(2) > 0;
            const bool repliesMoved = deliverWaitingReplies();
            const auto now = std::chrono::steady_clock::now();
            if (simulatorMoved || repliesMoved) {
                lastActivity = now;
            } else if (now - lastActivity > std::chrono::milliseconds(quietMs)) {
                return true;
            }
        }
        return false;
    }

    // The value column text of the parameter with this address ("" when it has no line).
    std::string cell(const std::string& address) {
        return session_->getValueText(session_->findParameter(address));
    }

    // Marks a parameter as edited with this text, as the list does when the user edits it;
    // false when the description has no such parameter.
    bool edit(const std::string& address, const std::string& text) {
        const int parameter = session_->findParameter(address);
        if (parameter < 0) {
            return false;
        }
        session_->setValueText(parameter, text);
        table.setModifiedMark(parameter, 1);
        return true;
    }

    std::string unitValue(const std::string& name, const std::string& address) const {
        return fleet_.unitValue(name, address);
    }

    DialogsT dialogs;
    ListedUnits selection;
    ParameterTable table;
    ClassFilterEntries classFilter;
    PacerT pacer;

private:
    SimulatedFleet fleet_;
    UdpEndpoint endpoint_;
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    int probeWaitMs_;
    std::vector<DeviceRecord> probed_;
};

} // namespace morvik::testing
