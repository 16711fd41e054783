// The floor for a fleet read: one ReadRequest of every class to each of COUNT units on
// consecutive loopback addresses, sent back to back, then nothing but recvfrom until the
// replies stop. bench/cli_bench.sh compares `morvik-cli read` of the same units with it.
//
//   read_drain --port N --first-ip 127.x.y.z --count COUNT --product P [--id ID --password PW]
//              [--quiet MS]
//
// Prints one line: "sent=N received=D first_send_to_last_ms=X.XXX". Only loopback addresses are
// accepted, so nothing leaves this host.
#include "protocol/ByteOrder.h"
#include "protocol/ParameterFrame.h"

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
    std::string firstIp;
    int count = 0;
    int product = 0;
    std::string loginId = "admin";
    std::string password = "quorvane";
    int quietMs = 300;
};

bool parseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port") {
            arguments.port = std::atoi(value);
        } else if (name == "--first-ip") {
            arguments.firstIp = value;
        } else if (name == "--count") {
            arguments.count = std::atoi(value);
        } else if (name == "--product") {
            arguments.product = std::atoi(value);
        } else if (name == "--id") {
            arguments.loginId = value;
        } else if (name == "--password") {
            arguments.password = value;
        } else if (name == "--quiet") {
            arguments.quietMs = std::atoi(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && arguments.port > 0 && arguments.port < 65536 && arguments.count > 0 &&
           arguments.count <= 10000 && arguments.quietMs > 0;
}

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    in_addr first{};
    if (!parseArguments(argc, argv, arguments) ||
        inet_pton(AF_INET, arguments.firstIp.c_str(), &first) != 1 ||
        (ntohl(first.s_addr) >> 24) != 127 ||
        ((ntohl(first.s_addr) + static_cast<std::uint32_t>(arguments.count) - 1) >> 24) != 127) {
        std::fprintf(stderr, "usage: read_drain --port N --first-ip 127.x.y.z --count COUNT "
                             "--product P [--id ID --password PW] [--quiet MS]\n");
        return 2;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::perror("read_drain: socket");
        return 1;
    }
    const int bufferSize = 8 * 1024 * 1024; // as the tool's parameter socket
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferSize, sizeof bufferSize) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("read_drain: bind");
        ::close(fd);
        return 1;
    }
    timeval timeout{};
    timeout.tv_sec = arguments.quietMs / 1000;
    timeout.tv_usec = (arguments.quietMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    const morvik::ByteOrder order = morvik::byteOrderForProduct(arguments.product);
    const Clock::time_point start = Clock::now();
    int sent = 0;
    for (int i = 0; i < arguments.count; ++i) {
        morvik::FrameBuilder builder(600, order);
        builder.beginFrame(morvik::HeaderKind::Short, {}, arguments.loginId, arguments.password);
        builder.putRequestId(static_cast<std::uint16_t>(i + 1));
        builder.putCommand(morvik::Command::ReadRequest);
        builder.appendBytes(morvik::kReadAllBody);
        builder.finishFrame();
        const auto frame = builder.frame();
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<std::uint16_t>(arguments.port));
        target.sin_addr.s_addr = htonl(ntohl(first.s_addr) + static_cast<std::uint32_t>(i));
        if (::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                     sizeof target) > 0) {
            ++sent;
        }
    }
    std::array<unsigned char, 2048> buffer{};
    int received = 0;
    Clock::time_point last = start;
    for (;;) {
        const ssize_t size = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (size < 0) {
            break; // quiet for --quiet ms: the replies are over
        }
        last = Clock::now();
        ++received;
    }
    ::close(fd);
    std::printf("sent=%d received=%d first_send_to_last_ms=%.3f\n", sent, received,
                milliseconds(last - start));
    return 0;
}
