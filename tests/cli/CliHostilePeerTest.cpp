// morvik-cli against peers that misbehave on purpose: units played by this test on loopback
// (127.77.9.x), which answer the probe like any unit and then flood, repeat, forge or garble
// their answers. Nothing leaves 127.0.0.0/8.

#include "CliHarness.h"
#include "protocol/ProbeCodec.h"
#include "protocol/UdpEndpoint.h"

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

namespace morvik::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

enum class Behaviour {
    Ack,            // one valid WriteAck
    BadAck,         // one WriteAck failing its checksum
    BadThenGoodAck, // a WriteAck failing its checksum, then a valid one for the same request
    ForgedAck,      // silent itself; another host sends a valid WriteAck in its name
    Flood,          // floods the tool's socket with junk for 8 s, never answers
    RepeatedAck,    // a valid WriteAck, repeated every 20 ms for 8 s
    Silent,         // never answers
};

struct CraftedUnit {
    std::string name;
    std::string ip; // 127.77.9.x
    std::uint8_t macLast = 0;
    Behaviour behaviour = Behaviour::Silent;
    std::uint8_t productId = 7; // vela, version 1.2 of the demo data
    std::uint8_t major = 1;
    std::uint8_t minor = 2;
};

// A WriteAck for the request with `requestId`, in the least-significant-first byte order of
// the demo product 07.
std::vector<std::uint8_t> writeAck(std::array<std::uint8_t, 2> requestId, bool validChecksum) {
    std::vector<std::uint8_t> frame{0x03, 0xA8, 0x16,         0xDA,         0x00, 0x00,
                                    0x05, 0x00, requestId[0], requestId[1], 0xB2};
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
public:
    explicit CraftedPeers(std::vector<CraftedUnit> units) : units_(std::move(units)) {
        auto listener = UdpEndpoint::bind("0.0.0.0", 0, true);
        if (!listener) {
            ADD_FAILURE() << "no probe listener";
            return;
        }
        port_ = listener->localPort();
        listener_ = std::move(*listener);
        for (const CraftedUnit& unit : units_) {
            auto socket = UdpEndpoint::bind(unit.ip, port_, true);
            if (!socket) {
                ADD_FAILURE() << "cannot bind " << unit.ip;
                return;
            }
            sockets_.push_back(std::move(*socket));
        }
        auto forger = UdpEndpoint::bind("127.77.9.99", 0);
        if (!forger) {
            ADD_FAILURE() << "cannot bind the forger";
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

    std::uint16_t port() const { return port_; }
    int requestsReceived() const { return requests_; }

private:
    void run() {
        std::array<std::uint8_t, 1500> buffer{};
        const Clock::time_point end = Clock::now() + std::chrono::seconds(30);
        while (!stop_ && Clock::now() < end) {
            bool busy = false;
            if (listener_.waitReadable(0)) {
                busy = true;
                const auto probe = listener_.receiveFrom(buffer);
                if (probe) {
                    answerProbe(*probe);
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

    void answerProbe(const UdpEndpoint::Received& from) {
        for (std::size_t i = 0; i < units_.size(); ++i) {
            ProbeReplyFields fields;
            fields.mac = {0x02, 0x4D, 0x56, 0x00, 0x09, units_[i].macLast};
            fields.productId = units_[i].productId;
            fields.major = units_[i].major;
            fields.minor = units_[i].minor;
            fields.name = units_[i].name;
            sockets_[i].sendTo(buildProbeReply(fields), from.sourcePort, from.sourceAddress);
        }
    }

    void answerRequest(std::size_t unit, std::span<const std::uint8_t> datagram,
                       const UdpEndpoint::Received& from) {
        const auto request = parseReply(datagram, ByteOrder::LeastSignificantFirst);
        if (!request) {
            return;
        }
        toolAddress_ = from.sourceAddress;
        toolPort_ = from.sourcePort;
        UdpEndpoint& socket = sockets_[unit];
        switch (units_[unit].behaviour) {
        case Behaviour::Ack:
            socket.sendTo(writeAck(request->requestId, true), toolPort_, toolAddress_);
            break;
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
            floodUntil_ = Clock::now() + std::chrono::seconds(8);
            break;
        case Behaviour::RepeatedAck:
            repeated_ = writeAck(request->requestId, true);
            repeatingUnit_ = unit;
            repeatUntil_ = Clock::now() + std::chrono::seconds(8);
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

// morvik-cli against the crafted peers, with the data of `dataDirectory`.
ProcessResult runAgainst(const CraftedPeers& peers, const std::string& dataDirectory,
                         const Strings& arguments, std::chrono::milliseconds* wall = nullptr) {
    Strings all{"--data-dir",  dataDirectory,     "--port",         std::to_string(peers.port()),
                "--broadcast", "127.255.255.255", "--host-address", "127.0.0.1",
                "--id",        "admin",           "--password",     "secret"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const Clock::time_point start = Clock::now();
    ProcessResult result = runProcess(MORVIK_CLI_PATH, all, {}, std::chrono::seconds(30));
    if (wall != nullptr) {
        *wall = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
    return result;
}

TEST(CliHostilePeers, AWriteIsOkOnlyForAValidAcknowledgementFromTheUnitItself) {
    struct Case {
        const char* what;
        Behaviour behaviour;
        std::string result;
        int exitCode;
        std::string message; // on standard error
    };
    const Case cases[] = {
        {"a valid acknowledgement", Behaviour::Ack, "ok", 0, ""},
        {"an acknowledgement failing its checksum", Behaviour::BadAck, "checksum error", 1,
         "Error: 02:4D:56:00:09:01 (crafted, 127.77.9.1): cal : "},
        {"a garbled acknowledgement, then a valid one", Behaviour::BadThenGoodAck, "ok", 0,
         "Error: 02:4D:56:00:09:01 (crafted, 127.77.9.1): cal : "},
        {"an acknowledgement forged by another host", Behaviour::ForgedAck, "no answer", 1,
         "no answer from 02:4D:56:00:09:01"},
    };
    CliHarness data({}, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftedPeers peers({{"crafted", "127.77.9.1", 1, c.behaviour}});
        ProcessResult run;
        run = runAgainst(peers, data.directory(),
                         {"set", "crafted", "0.6.1=Quay", "--yes", "--timeout", "600", "--json"});
        const auto document = json::parse(run.out);
        ASSERT_TRUE(document && document->isArray() && document->asArray().size() == 1)
            << run.out << run.err;
        EXPECT_EQ(textOf(document->asArray()[0], "result"), c.result) << run.err;
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (!c.message.empty()) {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
    }
}

TEST(CliHostilePeers, FloodsAndRepeatsNeverExtendTheWait) {
    struct Case {
        const char* what;
        std::vector<CraftedUnit> units;
        Strings results;
    };
    const Case cases[] = {
        {"junk flooding the tool's socket",
         {{"flooder", "127.77.9.1", 1, Behaviour::Flood}},
         {"no answer"}},
        {"a chatty unit repeating its answer beside a silent one",
         {{"chatty", "127.77.9.1", 1, Behaviour::RepeatedAck},
          {"silent", "127.77.9.2", 2, Behaviour::Silent}},
         {"ok", "no answer"}},
    };
    CliHarness data({}, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftedPeers peers(c.units);
        Strings arguments{"set"};
        for (const CraftedUnit& unit : c.units) {
            arguments.push_back(unit.name);
        }
        for (const char* more : {"0.6.1=Quay", "--yes", "--timeout", "1000", "--json"}) {
            arguments.emplace_back(more);
        }
        std::chrono::milliseconds wall{};
        const ProcessResult run = runAgainst(peers, data.directory(), arguments, &wall);
        EXPECT_FALSE(run.timedOut);
        // The peers go on for 8 s; the tool waits 1 s after the last progress (with room for
        // the probe, start-up and a busy machine).
        EXPECT_LT(wall.count(), 4000) << run.err;
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const auto document = json::parse(run.out);
        ASSERT_TRUE(document && document->isArray()) << run.out << run.err;
        ASSERT_EQ(document->asArray().size(), c.results.size());
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            EXPECT_EQ(textOf(document->asArray()[i], "result"), c.results[i]) << run.err;
        }
    }
}

TEST(CliHostilePeers, ADescriptionWithoutParametersIsAnErrorBeforeAnythingIsSent) {
    CliHarness data({}, false);
    std::ofstream(data.file("prodid.ini"), std::ios::app) << "\n[90]\nName : Hollow \nID : 33\n";
    for (const std::string& content : {std::string("junk\n"), std::string()}) {
        SCOPED_TRACE(content.empty() ? "an empty description" : "a junk description");
        std::ofstream(data.file("Hollow_1.0.dcf"), std::ios::trunc) << content;
        CraftedUnit hollow{"hollow", "127.77.9.1", 1, Behaviour::Ack};
        hollow.productId = 33;
        hollow.major = 1;
        hollow.minor = 0;
        CraftedPeers peers({hollow});
        std::chrono::milliseconds wall{};
        const ProcessResult run =
            runAgainst(peers, data.directory(), {"read", "hollow", "--timeout", "3000"}, &wall);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("the description of product 33 version 1.0 has no parameters: "
                               "nothing was sent"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(peers.requestsReceived(), 0);
        EXPECT_LT(wall.count(), 2500) << "it waited for an answer";
    }
}

} // namespace
} // namespace morvik::testing
