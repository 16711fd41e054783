#pragma once

// The session rig for the tests: dialogs answered from a script, pauses counted instead of
// slept, every request and accepted reply recorded. Replies reach the session only while the
// harness pumps, as they would reach the GUI only while its event loop runs.

#include "support/ScriptedDialogs.h"
#include "support/SessionRig.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace morvik::testing {

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

class SessionHarness : public SessionRig<ScriptedDialogs, CountingPacer> {
public:
    // `extraFiles` (name, content) join the data directory before the simulator reads it.
    explicit SessionHarness(const std::string& fleet,
                            std::vector<std::pair<std::string, std::string>> extraFiles = {})
        : SessionRig(fleet, options(std::move(extraFiles))) {
        session().setEvents(&events);
    }

    void select(const std::vector<std::string>& names) {
        SessionRig::select(names);
        ASSERT_EQ(selection.units.size(), names.size());
    }

    void pump(int quietMs = 60) {
        if (!SessionRig::pump(quietMs)) {
            ADD_FAILURE() << "the exchange did not settle";
        }
    }

    void edit(const std::string& address, const std::string& text) {
        ASSERT_TRUE(SessionRig::edit(address, text)) << address;
    }

    std::string unitValue(const std::string& name, const std::string& address) const {
        EXPECT_TRUE(simulatorHas(name)) << "no unit " << name;
        return SessionRig::unitValue(name, address);
    }

    RecordedEvents events;

private:
    static SessionRigOptions options(std::vector<std::pair<std::string, std::string>> extraFiles) {
        SessionRigOptions options;
        options.extraFiles = std::move(extraFiles);
        options.probeWaitMs = 300;
        return options;
    }

    bool simulatorHas(const std::string& name) const {
        for (std::size_t unit = 0; unit < simulator().unitCount(); ++unit) {
            if (simulator().unit(unit).spec().name == name) {
                return true;
            }
        }
        return false;
    }
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
