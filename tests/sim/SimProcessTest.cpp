// The morvik-sim program as scripts use it: started, waited for, probed, stopped by a signal.

#include "SimTestSupport.h"
#include "protocol/ProbeCodec.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace morvik::sim::testing {
namespace {

// A child process with its standard output (and optionally error) on pipes.
class Process {
public:
    explicit Process(const std::vector<std::string>& arguments) {
        int out[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
    }
    ~Process() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(output_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line of standard output, or nothing within `timeoutMs`.
    std::optional<std::string> readLine(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (const auto end = buffered_.find('\n'); end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd readable{output_, POLLIN, 0};
            if (left <= 0 || ::poll(&readable, 1, static_cast<int>(left)) <= 0) {
                return std::nullopt;
            }
            char chunk[512];
            const ssize_t got = ::read(output_, chunk, sizeof chunk);
            if (got <= 0) {
                return std::nullopt;
            }
            buffered_.append(chunk, static_cast<std::size_t>(got));
        }
    }
    std::string readAll() {
        std::string all = buffered_;
        char chunk[4096];
        for (ssize_t got; (got = ::read(output_, chunk, sizeof chunk)) > 0;) {
            all.append(chunk, static_cast<std::size_t>(got));
        }
        return all;
    }

    void signal(int number) { ::kill(pid_, number); }
    // Exit status, or -1 when it did not end normally within `timeoutMs`.
    int wait(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
};

const std::string kSimulator = MORVIK_SIM_EXECUTABLE;

TEST(SimProcess, StartsProbesAndStopsOnSigterm) {
    ScratchDirectory scratch;
    {
        std::ofstream fleet(scratch.file("fleet.json"));
        fleet << R"({"units": [{"name": "proc", "mac": "02:4D:56:00:02:01", "ip": "127.77.2.1",
                    "productId": 55, "version": "1.0", "loginId": "operator",
                    "password": "lyra2pass"}]})";
    }
    Process simulator({kSimulator, "--data-dir", kDemoDir, "--fleet", scratch.file("fleet.json"),
                       "--port", "0", "--record", scratch.file("record.txt")});
    const auto ready = simulator.readLine(10000);
    ASSERT_TRUE(ready.has_value());
    ASSERT_TRUE(ready->starts_with("ready port=")) << *ready;
    const auto port = static_cast<std::uint16_t>(std::stoi(ready->substr(11)));
    ASSERT_GT(port, 0);

    Client client;
    const auto probe = buildProbeRequest();
    client.send(probe, "127.255.255.255", port);
    const auto replies = client.receive(1);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].address, "127.77.2.1");
    const auto decoded = decodeProbeReply(replies[0].bytes, replies[0].address);
    EXPECT_EQ(decoded.verdict, ProbeVerdict::ChecksumValid);
    EXPECT_EQ(decoded.record.name, "proc");
    EXPECT_EQ(decoded.record.productId, "55");

    simulator.signal(SIGTERM);
    EXPECT_EQ(simulator.wait(5000), 0);
    std::ifstream record(scratch.file("record.txt"));
    std::string line;
    ASSERT_TRUE(std::getline(record, line));
    EXPECT_TRUE(line.ends_with(" 03a816da")) << line;
}

TEST(SimProcess, UsageAndFleetMistakesEndWithTheirStatus) {
    {
        Process help({kSimulator, "--help"});
        const std::string text = help.readAll();
        EXPECT_EQ(help.wait(5000), 0);
        EXPECT_NE(text.find("SYNOPSIS"), std::string::npos);
        EXPECT_NE(text.find("FLEET FILE"), std::string::npos);
    }
    {
        Process noFleet({kSimulator, "--data-dir", kDemoDir});
        EXPECT_EQ(noFleet.wait(5000), 2);
    }
    {
        Process badPort({kSimulator, "--fleet", "x.json", "--port", "70000"});
        EXPECT_EQ(badPort.wait(5000), 2);
    }
    {
        ScratchDirectory scratch;
        std::ofstream(scratch.file("fleet.json")) << R"({"units": [{"mac": "nope"}]})";
        Process badFleet({kSimulator, "--fleet", scratch.file("fleet.json"), "--port", "0"});
        EXPECT_EQ(badFleet.wait(5000), 1);
    }
}

} // namespace
} // namespace morvik::sim::testing
