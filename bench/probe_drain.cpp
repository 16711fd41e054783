// The floor for handling a probe burst: one probe, then nothing but recvfrom until the expected
// number of replies is in or the window ends. bench/cli_bench.sh runs it in turn with
// `morvik-cli --verbose probe` against the same simulated fleet and compares the time from the
// first to the last datagram.
//
//   probe_drain --port N [--broadcast ADDR] [--expect COUNT] [--window MS]
//
// Prints one line: "received=N first_to_last_ms=X.XXX". Only loopback broadcast addresses are
// accepted, so the probe never leaves this host.
#include "cli/Probe.h"

#include <arpa/inet.h>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Arguments {
    int port = 0;
    std::string broadcast = "127.255.255.255";
    int expect = 700;
    int windowMs = 2000;
};

bool parseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port") {
            arguments.port = std::atoi(value);
        } else if (name == "--broadcast") {
            arguments.broadcast = value;
        } else if (name == "--expect") {
            arguments.expect = std::atoi(value);
        } else if (name == "--window") {
            arguments.windowMs = std::atoi(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && arguments.port > 0 && arguments.port < 65536 && arguments.expect > 0 &&
           arguments.windowMs > 0;
}

// Whatever is asked on the command line, nothing goes past the loopback network.
bool isLoopback(const in_addr& address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::fprintf(stderr, "usage: probe_drain --port N [--broadcast 127.x.x.x] [--expect "
                             "COUNT] [--window MS]\n");
        return 2;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(arguments.port));
    if (inet_pton(AF_INET, arguments.broadcast.c_str(), &target.sin_addr) != 1 ||
        !isLoopback(target.sin_addr)) {
        std::fprintf(stderr, "probe_drain: %s is not a loopback address\n",
                     arguments.broadcast.c_str());
        return 2;
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::perror("probe_drain: socket");
        return 1;
    }
    // The same receive buffer as the tool's probe socket, taken the same way.
    const int bufferSize = morvik::cli::kProbeReceiveBuffer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferSize, sizeof bufferSize) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("probe_drain: bind");
        ::close(fd);
        return 1;
    }
    timeval timeout{};
    timeout.tv_sec = arguments.windowMs / 1000;
    timeout.tv_usec = (arguments.windowMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    const std::array<unsigned char, 4> probe{0x03, 0xA8, 0x16, 0xDA};
    if (::sendto(fd, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) < 0) {
        std::perror("probe_drain: sendto");
        ::close(fd);
        return 1;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(arguments.windowMs);

    std::array<unsigned char, 2048> buffer{};
    int received = 0;
    Clock::time_point first{};
    Clock::time_point last{};
    while (received < arguments.expect && Clock::now() < deadline) {
        sockaddr_in source{};
        socklen_t length = sizeof source;
        const ssize_t size = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&source), &length);
        if (size < 0) {
            break; // the window is over
        }
        last = Clock::now();
        if (received == 0) {
            first = last;
        }
        ++received;
    }
    ::close(fd);
    std::printf("received=%d first_to_last_ms=%.3f\n", received, milliseconds(last - first));
    return 0;
}
