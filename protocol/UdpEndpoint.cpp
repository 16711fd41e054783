#include "protocol/UdpEndpoint.h"

#include "protocol/LocalInterfaces.h"
#include "text/Ipv4Text.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace morvik {

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
    const auto bound = parseIpv4(address);
    if (!bound) {
        return std::nullopt;
    }
    local.sin_addr.s_addr = *bound;
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
    const auto resolved = resolveIpv4(address);
    if (!resolved) {
        return std::nullopt;
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = *resolved;
    const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    if (sent < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(sent);
}

std::optional<std::size_t> UdpEndpoint::sendThrough(std::span<const std::uint8_t> datagram,
                                                    std::uint16_t port, std::uint32_t address,
                                                    unsigned interfaceIndex,
                                                    std::uint32_t sourceAddress) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    iovec payload{const_cast<std::uint8_t*>(datagram.data()), datagram.size()};
    // The outgoing interface and source address of this one datagram: unlike SO_BINDTODEVICE
    // this needs no privilege, and unlike a socket per interface the replies still come to
    // the one socket, on its one port.
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &remote;
    message.msg_namelen = sizeof remote;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(interfaceIndex);
    info.ipi_spec_dst.s_addr = sourceAddress;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    const ssize_t sent = ::sendmsg(fd_, &message, 0);
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
    result.sourceAddress = dottedAddress(remote.sin_addr.s_addr);
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
    return isInAnySubnet(unitAddressFromText(address),
                         currentLocalSubnetBasis(hostAddressOverride));
}

} // namespace morvik
