#include "sim/Simulator.h"

#include "protocol/ProbeCodec.h"
#include "sim/UnitStateFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace morvik::sim {

namespace {

// Big enough for any UDP datagram, so that nothing that arrives is cut.
constexpr std::size_t kReceiveBufferBytes = 65536;
// Datagrams taken from one socket per round, so that a busy unit cannot starve the others.
constexpr int kMaxDatagramsPerSocketRound = 64;
constexpr int kRunPollIntervalMs = 50;

bool isLongHeaderFrame(std::span<const std::uint8_t> datagram) {
    return datagram.size() >= 11 &&
           std::equal(kFrameSignature.begin(), kFrameSignature.end(), datagram.begin()) &&
           datagram[3] == kLongHeader;
}

} // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), receiveBuffer_(kReceiveBufferBytes) {}

Simulator::~Simulator() = default;

void Simulator::log(const std::string& line) const {
    if (options_.log) {
        options_.log(line);
    }
}

const SimulatedUnit* Simulator::findUnit(const MacBytes& mac) const {
    const auto found = unitByMac_.find(mac);
    return found == unitByMac_.end() ? nullptr : units_[found->second].get();
}

bool Simulator::start(const Fleet& fleet, std::string& error) {
    if (!units_.empty() || !sockets_.empty()) {
        error = "a simulator is started once";
        return false;
    }
    if (!options_.recordPath.empty() && !recorder_.open(options_.recordPath, error)) {
        return false;
    }
    if (!options_.stateDirectory.empty()) {
        std::error_code failure;
        std::filesystem::create_directories(options_.stateDirectory, failure);
        if (failure) {
            error = "cannot make the state directory " + options_.stateDirectory + ": " +
                    failure.message();
            return false;
        }
    }
    ProductCatalog catalog(options_.dataDirectory, options_.log);
    for (const auto& spec : fleet.units) {
        if (!options_.allowNonLoopback && !isLoopbackAddress(spec.ip)) {
            error = formatMacText(spec.mac) + ": " + spec.ip + " is not a loopback address";
            return false;
        }
        if (!unitByMac_.emplace(spec.mac, units_.size()).second) {
            error = formatMacText(spec.mac) + " is given twice";
            return false;
        }
        auto unit = std::make_unique<SimulatedUnit>(
            spec, catalog.modelFor(spec.productId, spec.major, spec.minor));
        if (!unit->applyInitialValues(error)) {
            return false;
        }
        if (!options_.stateDirectory.empty()) {
            std::string problem;
            if (const auto saved = loadUnitState(options_.stateDirectory, spec, problem)) {
                const int leftOut = unit->restoreState(*saved);
                log(unit->macText() + ": saved state restored" +
                    (leftOut > 0 ? ", " + std::to_string(leftOut) + " values left out" : ""));
            } else if (!problem.empty()) {
                log(problem);
            }
        }
        // Each unit draws on its own, so that one unit's traffic does not change what another
        // loses.
        std::uint32_t macSeed = 0;
        for (const std::uint8_t byte : spec.mac) {
            macSeed = macSeed * 131U + byte;
        }
        std::seed_seq seed{spec.faults.lossSeed, macSeed};
        lossDraws_.emplace_back(seed);
        units_.push_back(std::move(unit));
    }

    auto listener = UdpEndpoint::bind("0.0.0.0", options_.port, true);
    if (!listener) {
        error = "cannot bind 0.0.0.0:" + std::to_string(options_.port) + ": " +
                std::generic_category().message(errno);
        return false;
    }
    port_ = listener->localPort();
    sockets_.push_back(std::move(*listener));
    for (const auto& unit : units_) {
        auto socket = UdpEndpoint::bind(unit->spec().ip, port_, true);
        if (!socket) {
            error = "cannot bind " + unit->spec().ip + ":" + std::to_string(port_) + " for " +
                    unit->macText() + ": " + std::generic_category().message(errno);
            return false;
        }
        sockets_.push_back(std::move(*socket));
    }
    for (const auto& socket : sockets_) {
        pollSet_.push_back({socket.descriptor(), POLLIN, 0});
    }
    log("listening on port " + std::to_string(port_) + " with " + std::to_string(units_.size()) +
        " units");
    return true;
}

int Simulator::pollOnce(int timeoutMs) {
    int timeout = timeoutMs;
    if (!pending_.empty()) {
        const auto untilDue =
            std::chrono::ceil<std::chrono::milliseconds>(pending_.begin()->first - Clock::now())
                .count();
        const int wait = static_cast<int>(std::clamp<long long>(untilDue, 0, 60000));
        timeout = timeout < 0 ? wait : std::min(timeout, wait);
    }
    int received = 0;
    const auto probe = buildProbeRequest();
    const int ready = ::poll(pollSet_.data(), pollSet_.size(), timeout);
    if (ready > 0) {
        for (std::size_t i = 0; i < pollSet_.size(); ++i) {
            if ((pollSet_[i].revents & (POLLIN | POLLERR)) != 0) {
                for (int n = 0; n < kMaxDatagramsPerSocketRound; ++n) {
                    const auto from = sockets_[i].receiveFrom(receiveBuffer_);
                    if (!from) {
                        break;
                    }
                    ++received;
                    const std::span<const std::uint8_t> datagram(receiveBuffer_.data(),
                                                                 from->length);
                    if (!options_.allowNonLoopback && !isLoopbackAddress(from->sourceAddress)) {
                        recorder_.record("-", from->sourceAddress, from->sourcePort, datagram);
                        log("ignored a datagram from " + from->sourceAddress +
                            ": units talk to loopback peers only");
                        continue;
                    }
                    if (i == 0) {
                        handleListenerDatagram(datagram, *from);
                    } else {
                        recorder_.record(units_[i - 1]->macText(), from->sourceAddress,
                                         from->sourcePort, datagram);
                        deliver(i - 1, datagram, *from,
                                !std::ranges::equal(datagram, probe) ||
                                    units_[i - 1]->spec().faults.lossIncludesProbes);
                    }
                }
            }
        }
    }
    sendDueReplies();
    return received;
}

void Simulator::run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        pollOnce(kRunPollIntervalMs);
    }
}

void Simulator::handleListenerDatagram(std::span<const std::uint8_t> datagram,
                                       const UdpEndpoint::Received& from) {
    const auto probe = buildProbeRequest();
    if (std::ranges::equal(datagram, probe)) {
        recorder_.record("-", from.sourceAddress, from.sourcePort, datagram);
        log("probe from " + from.sourceAddress + ":" + std::to_string(from.sourcePort));
        for (std::size_t i = 0; i < units_.size(); ++i) {
            deliver(i, datagram, from, units_[i]->spec().faults.lossIncludesProbes);
        }
        return;
    }
    if (isLongHeaderFrame(datagram)) {
        MacBytes mac{};
        std::copy_n(datagram.begin() + 4, mac.size(), mac.begin());
        const auto found = unitByMac_.find(mac);
        if (found != unitByMac_.end()) {
            recorder_.record(units_[found->second]->macText(), from.sourceAddress, from.sourcePort,
                             datagram);
            deliver(found->second, datagram, from, true);
            return;
        }
    }
    recorder_.record("-", from.sourceAddress, from.sourcePort, datagram);
    log("ignored a datagram of " + std::to_string(datagram.size()) + " bytes from " +
        from.sourceAddress + ": no probe and no long header naming a unit");
}

bool Simulator::loses(std::size_t unitIndex) {
    const int percent = units_[unitIndex]->spec().faults.lossPercent;
    if (percent <= 0) {
        return false;
    }
    return std::uniform_int_distribution<int>(0, 99)(lossDraws_[unitIndex]) < percent;
}

void Simulator::deliver(std::size_t unitIndex, std::span<const std::uint8_t> datagram,
                        const UdpEndpoint::Received& from, bool lossy) {
    SimulatedUnit& unit = *units_[unitIndex];
    if (lossy && loses(unitIndex)) {
        log(unit.macText() + " <- " + from.sourceAddress + ":" + std::to_string(from.sourcePort) +
            ": lost on the way (lossPercent fault)");
        return;
    }
    auto response = unit.handleDatagram(datagram);
    log(unit.macText() + " <- " + from.sourceAddress + ":" + std::to_string(from.sourcePort) +
        ": " + response.note);
    if (response.stateChanged && !options_.stateDirectory.empty()) {
        std::string error;
        if (!saveUnitState(options_.stateDirectory, unit, error)) {
            log("cannot save the state of " + unit.macText() + ": " + error);
        }
    }
    sendReplies(unitIndex, std::move(response.datagrams), from, lossy);
}

void Simulator::sendReplies(std::size_t unitIndex, std::vector<std::vector<std::uint8_t>> datagrams,
                            const UdpEndpoint::Received& to, bool lossy) {
    const UnitFaults& faults = units_[unitIndex]->spec().faults;
    const int copies = faults.duplicateAnswer ? 2 : 1;
    const auto due = Clock::now() + std::chrono::milliseconds(faults.lateAnswerMs);
    for (auto& datagram : datagrams) {
        if (lossy && loses(unitIndex)) {
            log(units_[unitIndex]->macText() + " -> " + to.sourceAddress + ": reply of " +
                std::to_string(datagram.size()) + " bytes lost (lossPercent fault)");
            continue;
        }
        for (int copy = 0; copy < copies; ++copy) {
            pending_.emplace(due, PendingReply{unitIndex, to.sourceAddress, to.sourcePort,
                                               copy + 1 < copies ? datagram : std::move(datagram)});
        }
    }
    sendDueReplies();
}

void Simulator::sendDueReplies() {
    const auto now = Clock::now();
    while (!pending_.empty() && pending_.begin()->first <= now) {
        const PendingReply& reply = pending_.begin()->second;
        sockets_[reply.unit + 1].sendTo(reply.datagram, reply.port, reply.address);
        pending_.erase(pending_.begin());
    }
}

} // namespace morvik::sim
