#pragma once

// Units that misbehave on purpose, played on loopback (127.77.9.x) by one thread of this
// process: they answer the probe like any unit and then flood, repeat, forge or garble their
// answers to the tool's requests. For the end-to-end tests and the benchmarks of morvik-cli;
// nothing leaves 127.0.0.0/8.

#include "protocol/ByteOrder.h"
#include "protocol/MacAddress.h"
#include "protocol/ParameterFrame.h"
#include "protocol/ProbeCodec.h"
#include "protocol/UdpEndpoint.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace morvik::testing {

enum class Behaviour {
    Ack,                  // one valid WriteAck
    BadAck,               // one WriteAck failing its checksum
    BadThenGoodAck,       // a WriteAck failing its checksum, then a valid one for the same request
    ForgedAck,            // silent itself; another host sends a valid WriteAck in its name
    Flood,                // floods the tool's socket with junk for a while, never answers
    RepeatedAck,          // a valid WriteAck, repeated every 20 ms for a while
    Silent,               // never answers
    AckNamingAnotherUnit, // a valid long-header WriteAck that carries another unit's MAC
};

struct CraftedUnit {
    std::string name;
    std::string ip; // 127.77.9.x
    std::uint8_t macLast = 0;
    Behaviour behaviour = Behaviour::Silent;
    std::uint8_t productId = 7; // vela, version 1.2 of the demo data
    std::uint8_t major = 1;
    std::uint8_t minor = 2;
    bool byBroadcast = false; // address mode 2: reached by long-header broadcasts
};

// A WriteAck for the request with `requestId`, in the least-significant-first byte order of
// the demo product 07; with `longHeaderMac`, in the long header that names that MAC.
inline std::vector<std::uint8_t> writeAck(std::array<std::uint8_t, 2> requestId, bool validChecksum,
                                          const MacBytes* longHeaderMac = nullptr) {
    std::vector<std::uint8_t> frame{0x03, 0xA8, 0x16};
    if (longHeaderMac != nullptr) {
        frame.push_back(0xDB);
        frame.insert(frame.end(), longHeaderMac->begin(), longHeaderMac->end());
        frame.push_back(0x02);
    } else {
        frame.push_back(0xDA);
    }
    for (const std::uint8_t byte : {0x00, 0x00, 0x05, 0x00}) {
        frame.push_back(byte);
    }
    frame.push_back(requestId[0]);
    frame.push_back(requestId[1]);
    frame.push_back(0xB2);
    unsigned sum = 0;
    for (const std::uint8_t byte : frame) {
        sum += byte;
    }
    sum += validChecksum ? 0 : 1;
    frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
    return frame;
}

// The units, each on a socket of its own address, and a probe listener on all addresses, all
// on one port of their own; one thread answers for them.
class CraftedPeers {
    using Clock = std::chrono::steady_clock;

public:
    // `misbehaviour`: how long a flood or the repeats go on after the request that set them off;
    // `lifetime`: how long the peers answer at all.
    explicit CraftedPeers(std::vector<CraftedUnit> units,
                          std::chrono::milliseconds misbehaviour = std::chrono::seconds(8),
                          std::chrono::milliseconds lifetime = std::chrono::seconds(30))
        : units_(std::move(units)), misbehaviour_(misbehaviour), lifetime_(lifetime) {
        auto listener = UdpEndpoint::bind("0.0.0.0", 0, true);
        if (!listener) {
            error_ = "no probe listener";
            return;
        }
        port_ = listener->localPort();
        listener_ = std::move(*listener);
        for (const CraftedUnit& unit : units_) {
            auto socket = UdpEndpoint::bind(unit.ip, port_, true);
            if (!socket) {
                error_ = "cannot bind " + unit.ip;
                return;
            }
            sockets_.push_back(std::move(*socket));
        }
        auto forger = UdpEndpoint::bind("127.77.9.99", 0);
        if (!forger) {
            error_ = "cannot bind 127.77.9.99";
            return;
        }
        forger_ = std::move(*forger);
        thread_ = std::thread([this] { run(); });
    }
    ~CraftedPeers() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    CraftedPeers(const CraftedPeers&) = delete;
    CraftedPeers& operator=(const CraftedPeers&) = delete;

    bool ready() const { return error_.empty() && thread_.joinable(); }
    // Until the lifetime given to the constructor has passed.
    void waitUntilDone() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    const std::string& error() const { return error_; }
    std::uint16_t port() const { return port_; }
    int requestsReceived() const { return requests_; }

private:
    void run() {
        std::array<std::uint8_t, 1500> buffer{};
        const Clock::time_point end = Clock::now() + lifetime_;
        while (!stop_ && Clock::now() < end) {
            bool busy = false;
            if (listener_.waitReadable(0)) {
                busy = true;
                const auto received = listener_.receiveFrom(buffer);
                if (received) {
                    answerBroadcast(std::span(buffer.data(), received->length), *received);
                }
            }
            for (std::size_t i = 0; i < units_.size(); ++i) {
                if (sockets_[i].waitReadable(0)) {
                    busy = true;
                    const auto request = sockets_[i].receiveFrom(buffer);
                    if (request) {
                        ++requests_;
                        answerRequest(i, std::span(buffer.data(), request->length), *request);
                    }
                }
            }
            busy = keepMisbehaving() || busy;
            if (!busy) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    MacBytes macOf(std::size_t unit) const {
        return {0x02, 0x4D, 0x56, 0x00, 0x09, units_[unit].macLast};
    }

    // A probe, or a long-header request for the unit it names.
    void answerBroadcast(std::span<const std::uint8_t> datagram,
                         const UdpEndpoint::Received& from) {
        const auto request = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
        if (!request) {
            answerProbe(from);
            return;
        }
        for (std::size_t i = 0; i < units_.size(); ++i) {
            if (units_[i].byBroadcast && request->headerKind == HeaderKind::Long &&
                request->mac == macOf(i)) {
                ++requests_;
                answerRequest(i, datagram, from);
            }
        }
    }

    void answerProbe(const UdpEndpoint::Received& from) {
        for (std::size_t i = 0; i < units_.size(); ++i) {
            ProbeReplyFields fields;
            fields.mac = macOf(i);
            fields.longHeader = units_[i].byBroadcast;
            fields.addressMode = units_[i].byBroadcast ? 2 : 1;
            fields.productId = units_[i].productId;
            fields.major = units_[i].major;
            fields.minor = units_[i].minor;
            fields.name = units_[i].name;
            sockets_[i].sendTo(buildProbeReply(fields), from.sourcePort, from.sourceAddress);
        }
    }

    void answerRequest(std::size_t unit, std::span<const std::uint8_t> datagram,
                       const UdpEndpoint::Received& from) {
        const auto request = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
        if (!request) {
            return;
        }
        toolAddress_ = from.sourceAddress;
        toolPort_ = from.sourcePort;
        UdpEndpoint& socket = sockets_[unit];
        const MacBytes mac = macOf(unit);
        const MacBytes* header = units_[unit].byBroadcast ? &mac : nullptr;
        switch (units_[unit].behaviour) {
        case Behaviour::Ack:
            socket.sendTo(writeAck(request->requestId, true, header), toolPort_, toolAddress_);
            break;
        case Behaviour::AckNamingAnotherUnit: {
            MacBytes other = mac;
            other[5] ^= 0xFF;
            socket.sendTo(writeAck(request->requestId, true, &other), toolPort_, toolAddress_);
            break;
        }
        case Behaviour::BadAck:
            socket.sendTo(writeAck(request->requestId, false), toolPort_, toolAddress_);
            break;
        case Behaviour::BadThenGoodAck:
            socket.sendTo(writeAck(request->requestId, false), toolPort_, toolAddress_);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            socket.sendTo(writeAck(request->requestId, true), toolPort_, toolAddress_);
            break;
        case Behaviour::ForgedAck:
            forger_.sendTo(writeAck(request->requestId, true), toolPort_, toolAddress_);
            break;
        case Behaviour::Flood:
            floodUntil_ = Clock::now() + misbehaviour_;
            break;
        case Behaviour::RepeatedAck:
            repeated_ = writeAck(request->requestId, true);
            repeatingUnit_ = unit;
            repeatUntil_ = Clock::now() + misbehaviour_;
            break;
        case Behaviour::Silent:
            break;
        }
    }

    // True while a flood or repeats go on.
    bool keepMisbehaving() {
        const Clock::time_point now = Clock::now();
        if (now < floodUntil_) {
            static const std::vector<std::uint8_t> junk(64, 0x5A);
            for (int i = 0; i < 64; ++i) {
                forger_.sendTo(junk, toolPort_, toolAddress_);
            }
            return true;
        }
        if (now < repeatUntil_ && now >= nextRepeat_) {
            sockets_[repeatingUnit_].sendTo(repeated_, toolPort_, toolAddress_);
            nextRepeat_ = now + std::chrono::milliseconds(20);
        }
        return false;
    }

    std::vector<CraftedUnit> units_;
    std::chrono::milliseconds misbehaviour_;
    std::chrono::milliseconds lifetime_;
    std::string error_;
    UdpEndpoint listener_;
    std::vector<UdpEndpoint> sockets_;
    UdpEndpoint forger_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
    std::string toolAddress_;
    std::uint16_t toolPort_ = 0;
    Clock::time_point floodUntil_{};
    Clock::time_point repeatUntil_{};
    Clock::time_point nextRepeat_{};
    std::vector<std::uint8_t> repeated_;
    std::size_t repeatingUnit_ = 0;
};

} // namespace morvik::testing
