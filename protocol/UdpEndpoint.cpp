#include "protocol/UdpEndpoint.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace morvik {

namespace {

// Dotted text first; anything else is a host name.
std::optional<in_addr> resolveAddress(std::string_view address) {
    const std::string text(address);
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) == 1) {
        return parsed;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const in_addr result = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return result;
}

// The first address that this host's own name resolves to.
std::optional<in_addr> primaryHostAddress() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return std::nullopt;
    }
    return resolveAddress(name.data());
}

// "%d.%d.%d.%d", keeping the low 8 bits of each number; missing numbers count as zero.
in_addr unitAddress(std::string_view text) {
    const std::string copy(text);
    std::array<int, 4> parts{};
    std::sscanf(copy.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
    const std::uint32_t hostOrder = (static_cast<std::uint32_t>(parts[0] & 0xFF) << 24) |
                                    (static_cast<std::uint32_t>(parts[1] & 0xFF) << 16) |
                                    (static_cast<std::uint32_t>(parts[2] & 0xFF) << 8) |
                                    static_cast<std::uint32_t>(parts[3] & 0xFF);
    in_addr address{};
    address.s_addr = htonl(hostOrder);
    return address;
}

// What inet_ntop writes for IPv4, without its printf: every datagram of a probe burst is
// named by its source.
std::string dottedText(const in_addr& address) {
    const std::uint32_t hostOrder = ntohl(address.s_addr);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((hostOrder >> shift) & 0xFF);
        if (shift > 0) {
            text += '.';
        }
    }
    return text;
}

} // namespace

UdpEndpoint::UdpEndpoint(UdpEndpoint&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

UdpEndpoint& UdpEndpoint::operator=(UdpEndpoint&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

UdpEndpoint::~UdpEndpoint() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<UdpEndpoint> UdpEndpoint::bind(std::string_view address, std::uint16_t port,
                                             bool reuseAddress) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    UdpEndpoint endpoint(fd);
    if (reuseAddress) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    const std::string text(address);
    if (inet_pton(AF_INET, text.c_str(), &local.sin_addr) != 1) {
        return std::nullopt;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return std::nullopt;
    }
    return endpoint;
}

std::uint16_t UdpEndpoint::localPort() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

bool UdpEndpoint::enableBroadcast() {
    const int on = 1;
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool UdpEndpoint::setReceiveBufferSize(int bytes) {
    if (fd_ < 0) {
        return false;
    }
    // SO_RCVBUFFORCE passes the system limit when we may; otherwise take what is allowed.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) {
        return true;
    }
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

std::optional<std::size_t> UdpEndpoint::sendTo(std::span<const std::uint8_t> datagram,
                                               std::uint16_t port, std::string_view address) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    const auto resolved = resolveAddress(address);
    if (!resolved) {
        return std::nullopt;
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr = *resolved;
    const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    if (sent < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(sent);
}

std::optional<UdpEndpoint::Received> UdpEndpoint::receiveFrom(std::span<std::uint8_t> buffer) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    sockaddr_in remote{};
    socklen_t length = sizeof remote;
    // MSG_TRUNC reports the datagram's real length, so a longer one is recognised and dropped.
    const ssize_t received = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                                        reinterpret_cast<sockaddr*>(&remote), &length);
    if (received < 0 || static_cast<std::size_t>(received) > buffer.size()) {
        return std::nullopt;
    }
    Received result;
    result.length = static_cast<std::size_t>(received);
    result.sourceAddress = dottedText(remote.sin_addr);
    result.sourcePort = ntohs(remote.sin_port);
    return result;
}

bool UdpEndpoint::waitReadable(int timeoutMs) const {
    if (fd_ < 0) {
        return false;
    }
    pollfd waiting{fd_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&waiting, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0;
    }
}

bool isOnLocalSubnet(std::string_view address, std::string_view hostAddressOverride) {
    std::optional<in_addr> host;
    if (!hostAddressOverride.empty()) {
        host = resolveAddress(hostAddressOverride);
    } else {
        host = primaryHostAddress();
    }
    if (!host) {
        return false;
    }
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return false;
    }
    bool local = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
            entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const in_addr interfaceAddress =
            reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (interfaceAddress.s_addr != host->s_addr) {
            continue;
        }
        const std::uint32_t mask =
            reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
        local = (unitAddress(address).s_addr & mask) == (host->s_addr & mask);
        break;
    }
    freeifaddrs(interfaces);
    return local;
}

} // namespace morvik
