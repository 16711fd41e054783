#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvik {

// A non-blocking IPv4 datagram socket. The tool's sockets are bound to port 0 on all addresses:
// units answer to the port a request came from, so the tool never listens on the device port.
class UdpEndpoint {
public:
    UdpEndpoint() = default;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;
    UdpEndpoint(UdpEndpoint&& other) noexcept;
    UdpEndpoint& operator=(UdpEndpoint&& other) noexcept;
    ~UdpEndpoint();

    // Bound to `address` (dotted, "0.0.0.0" for all) and `port` (0 = any free port). With
    // `reuseAddress` several sockets may share a port (the simulator's probe listener).
    static std::optional<UdpEndpoint> bind(std::string_view address = "0.0.0.0",
                                           std::uint16_t port = 0, bool reuseAddress = false);

    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    std::uint16_t localPort() const;

    bool enableBroadcast();
    bool setReceiveBufferSize(int bytes);

    // Sends to `address` (dotted decimal, else resolved as a host name); nothing when the
    // address cannot be resolved or the send fails.
    std::optional<std::size_t> sendTo(std::span<const std::uint8_t> datagram, std::uint16_t port,
                                      std::string_view address);

    // Sends to `address` (network order) out of the interface `interfaceIndex` only, from
    // `sourceAddress` (network order): a limited broadcast reaches that interface's network
    // whatever the routing table says.
    std::optional<std::size_t> sendThrough(std::span<const std::uint8_t> datagram,
                                           std::uint16_t port, std::uint32_t address,
                                           unsigned interfaceIndex, std::uint32_t sourceAddress);

    struct Received {
        std::size_t length = 0;
        std::string sourceAddress; // dotted
        std::uint16_t sourcePort = 0;
    };
    // Reads one datagram into `buffer`. A datagram longer than the buffer is discarded whole
    // and gives nothing, as does an empty socket or an error.
    std::optional<Received> receiveFrom(std::span<std::uint8_t> buffer);

    // Waits until a datagram is readable or `timeoutMs` passes (-1 = forever).
    bool waitReadable(int timeoutMs) const;

private:
    explicit UdpEndpoint(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// True when `address` ("%d.%d.%d.%d", each number's low 8 bits) lies on this host's own
// network: the subnet of the interface that carries `hostAddressOverride` when one is given
// (none: false), else of the interface that the host's own name resolves to, else, where the
// name resolves to loopback or to no interface, of any up, non-loopback IPv4 interface.
bool isOnLocalSubnet(std::string_view address, std::string_view hostAddressOverride = {});

} // namespace morvik
