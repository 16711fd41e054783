#pragma once

#include "protocol/EndpointSettings.h"
#include "protocol/UdpEndpoint.h"
#include "sim/DatagramRecorder.h"
#include "sim/FleetFile.h"
#include "sim/ProductModel.h"
#include "sim/SimulatedUnit.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <random>
#include <string>
#include <vector>

namespace morvik::sim {

struct SimulatorOptions {
    std::string dataDirectory = ".";
    std::uint16_t port = EndpointSettings::kDefaultDevicePort; // 0: any free port
    std::string stateDirectory{}; // empty: values last as long as the process
    std::string recordPath{};     // empty: nothing recorded
    // Units answer only peers on 127.0.0.0/8 unless this is set (in a network namespace).
    bool allowNonLoopback = false;
    LogSink log{}; // verbose lines; empty: silent
};

// A fleet of simulated units on UDP. One socket bound to 0.0.0.0:port takes probes and
// long-header frames sent by broadcast, which are handed to the unit their MAC names; every
// unit has a socket of its own bound to its address and the same port, which takes the
// frames sent to that address and from which all of the unit's replies leave, to the address
// and port the request came from. Single-threaded: `pollOnce` or `run` on one thread.
class Simulator {
public:
    explicit Simulator(SimulatorOptions options);
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator();

    // Parses the units' descriptions, sets their initial or saved values and binds every
    // socket. False with `error` when a unit cannot be set up or a socket cannot be bound.
    bool start(const Fleet& fleet, std::string& error);

    // The port every socket is bound to (the one picked when started with port 0).
    std::uint16_t port() const { return port_; }

    // Waits at most `timeoutMs` for datagrams, answers every one that arrived and sends the
    // late answers that are due. Returns the number of datagrams received.
    int pollOnce(int timeoutMs);
    // Polls until `stop` is set; reacts to it within about 50 ms.
    void run(const std::atomic<bool>& stop);

    std::size_t unitCount() const { return units_.size(); }
    const SimulatedUnit& unit(std::size_t index) const { return *units_[index]; }
    const SimulatedUnit* findUnit(const MacBytes& mac) const;

private:
    using Clock = std::chrono::steady_clock;
    struct PendingReply {
        std::size_t unit = 0;
        std::string address;
        std::uint16_t port = 0;
        std::vector<std::uint8_t> datagram;
    };

    void log(const std::string& line) const;
    void receiveOn(std::size_t socketIndex);
    void handleListenerDatagram(std::span<const std::uint8_t> datagram,
                                const UdpEndpoint::Received& from);
    // `lossy`: a parameter frame, which the unit's loss fault may drop, with its replies.
    void deliver(std::size_t unitIndex, std::span<const std::uint8_t> datagram,
                 const UdpEndpoint::Received& from, bool lossy);
    void sendReplies(std::size_t unitIndex, std::vector<std::vector<std::uint8_t>> datagrams,
                     const UdpEndpoint::Received& to, bool lossy);
    // One draw of the unit's loss fault: true when the datagram is to be lost.
    bool loses(std::size_t unitIndex);
    void sendDueReplies();

    SimulatorOptions options_;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<SimulatedUnit>> units_;
    std::map<MacBytes, std::size_t> unitByMac_;
    // Socket 0 is the listener, socket i + 1 belongs to unit i; pollSet_ follows them.
    std::vector<UdpEndpoint> sockets_;
    std::vector<pollfd> pollSet_;
    std::multimap<Clock::time_point, PendingReply> pending_;
    DatagramRecorder recorder_;
    std::vector<std::uint8_t> receiveBuffer_;
    std::vector<std::mt19937> lossDraws_; // by unit, seeded from its fault and its MAC
};

} // namespace morvik::sim
