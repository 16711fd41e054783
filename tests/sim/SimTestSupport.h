#pragma once

#include "protocol/ParameterFrame.h"
#include "protocol/ReadReplyBody.h"
#include "protocol/UdpEndpoint.h"
#include "sim/FleetFile.h"
#include "sim/ProductModel.h"
#include "sim/Simulator.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace morvik::sim::testing {

using Bytes = std::vector<std::uint8_t>;

inline const std::string kDemoDir = MORVIK_DEMO_DATA_DIR;

inline std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A directory of its own under /tmp, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvik-sim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The ParameterLayout that the tool's body walk needs, over a unit's product model.
class ModelLayout final : public ParameterLayout {
public:
    explicit ModelLayout(const ProductModel& model) : model_(model) {}
    int findParameter(std::string_view address) const override {
        return model_.findParameter(address);
    }
    std::pair<int, int> findRange(std::string_view rangeAddress) const override {
        const auto members = model_.rangeMembers(rangeAddress);
        if (members.empty()) {
            return {-1, -1};
        }
        return {members.front(), members.back()};
    }
    int parameterSize(int index) const override { return model_.row(index).size; }

private:
    const ProductModel& model_;
};

inline Fleet parseFleetOrFail(std::string_view json) {
    std::string error;
    auto fleet = parseFleet(json, error);
    EXPECT_TRUE(fleet.has_value()) << error;
    return fleet.value_or(Fleet{});
}

inline Fleet demoFleet() {
    std::string error;
    auto fleet = loadFleetFile(kDemoDir + "/fleet.json", error);
    EXPECT_TRUE(fleet.has_value()) << error;
    return fleet.value_or(Fleet{});
}

// A request as the tool builds it.
struct Request {
    HeaderKind kind = HeaderKind::Short;
    MacBytes mac{};
    std::string loginId = "admin";
    std::string password = "quorvane";
    std::uint16_t requestId = 0x1234;
    Command command = Command::ReadRequest;
    // Entries (address, value); empty value for reads. `rawBody` replaces them when set.
    std::vector<std::pair<std::string, Bytes>> entries{};
    std::optional<Bytes> rawBody{};
};

inline Bytes buildRequest(const Request& request, ByteOrder order) {
    FrameBuilder builder(16384, order);
    EXPECT_TRUE(builder.beginFrame(request.kind, request.mac, request.loginId, request.password));
    EXPECT_TRUE(builder.putRequestId(request.requestId));
    EXPECT_TRUE(builder.putCommand(request.command));
    if (request.rawBody) {
        EXPECT_TRUE(builder.appendBytes(*request.rawBody));
    } else if (request.command == Command::ReadRequest && request.entries.empty()) {
        EXPECT_TRUE(builder.appendBytes(kReadAllBody));
    } else if (request.command == Command::RebootRequest) {
        EXPECT_TRUE(builder.appendBytes(kRebootBody));
    } else {
        for (const auto& [address, value] : request.entries) {
            EXPECT_TRUE(builder.appendEntry(address, value));
        }
    }
    EXPECT_GT(builder.finishFrame(), 0U);
    const auto frame = builder.frame();
    return Bytes(frame.begin(), frame.end());
}

// Every value that a series of ReadReply datagrams carries, by parameter index, read with the
// tool's own body walk. Fails the test on a reply that the tool would not take whole.
inline std::map<int, Bytes> decodeReadReplies(const std::vector<Bytes>& datagrams,
                                              const ProductModel& model, ByteOrder order,
                                              int* duplicates = nullptr) {
    std::map<int, Bytes> values;
    ModelLayout layout(model);
    for (const auto& datagram : datagrams) {
        const auto frame = parseFrame(datagram, order);
        if (!frame) {
            ADD_FAILURE() << "a reply that is no frame";
            continue;
        }
        EXPECT_EQ(frame->command, static_cast<std::uint8_t>(Command::ReadReply));
        EXPECT_TRUE(frame->checksumMatches());
        const auto end = walkReadReplyBody(
            frame->body, frame->declaredBodyLength, order, layout,
            [&](int index, std::span<const std::uint8_t> value) {
                if (!values.emplace(index, Bytes(value.begin(), value.end())).second &&
                    duplicates != nullptr) {
                    ++*duplicates;
                }
            });
        EXPECT_EQ(end, BodyWalkEnd::Complete);
    }
    return values;
}

// A simulator on a free port, running on a thread of its own until destroyed.
class RunningSimulator {
public:
    explicit RunningSimulator(const Fleet& fleet, SimulatorOptions options = {}) {
        options.port = 0;
        if (options.dataDirectory == ".") {
            options.dataDirectory = kDemoDir;
        }
        simulator_ = std::make_unique<Simulator>(std::move(options));
        std::string error;
        started_ = simulator_->start(fleet, error);
        EXPECT_TRUE(started_) << error;
        if (started_) {
            thread_ = std::thread([this] { simulator_->run(stop_); });
        }
    }
    ~RunningSimulator() { stop(); }
    RunningSimulator(const RunningSimulator&) = delete;
    RunningSimulator& operator=(const RunningSimulator&) = delete;

    void stop() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool started() const { return started_; }
    std::uint16_t port() const { return simulator_->port(); }
    // Only once stopped: the simulator is not shared between threads.
    Simulator& simulator() { return *simulator_; }

private:
    std::unique_ptr<Simulator> simulator_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    bool started_ = false;
};

struct ReceivedDatagram {
    Bytes bytes;
    std::string address;
    std::uint16_t port = 0;
};

// The tool's side: a socket on an ephemeral port of all addresses, as the tool has.
class Client {
public:
    Client() {
        auto endpoint = UdpEndpoint::bind("0.0.0.0", 0);
        EXPECT_TRUE(endpoint.has_value());
        endpoint_ = std::move(*endpoint);
        endpoint_.enableBroadcast();
    }

    void send(std::span<const std::uint8_t> datagram, const std::string& address,
              std::uint16_t port) {
        EXPECT_TRUE(endpoint_.sendTo(datagram, port, address).has_value());
    }

    // Datagrams until `count` have come or `timeoutMs` passed; then anything arriving within
    // `graceMs` more, so that surplus answers are seen too.
    std::vector<ReceivedDatagram> receive(std::size_t count, int timeoutMs = 2000,
                                          int graceMs = 100) {
        std::vector<ReceivedDatagram> received;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        auto takeWhileWaiting = [&](std::chrono::steady_clock::time_point until) {
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      until - std::chrono::steady_clock::now())
                                      .count();
                if (left <= 0 || !endpoint_.waitReadable(static_cast<int>(left))) {
                    return;
                }
                // Larger than the tool's buffer, so that an oversized reply is seen, not lost.
                Bytes buffer(65536);
                if (auto from = endpoint_.receiveFrom(buffer)) {
                    buffer.resize(from->length);
                    received.push_back({std::move(buffer), from->sourceAddress, from->sourcePort});
                    if (received.size() >= count && until == deadline) {
                        return;
                    }
                }
            }
        };
        takeWhileWaiting(deadline);
        takeWhileWaiting(std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs));
        return received;
    }

private:
    UdpEndpoint endpoint_;
};

inline std::vector<Bytes> bytesOf(const std::vector<ReceivedDatagram>& datagrams) {
    std::vector<Bytes> out;
    for (const auto& datagram : datagrams) {
        out.push_back(datagram.bytes);
    }
    return out;
}

} // namespace morvik::sim::testing
