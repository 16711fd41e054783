#pragma once

#include "protocol/UdpEndpoint.h"

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace morvik {

// A pane's UDP socket: bound to port 0 on all addresses (units answer to the port a request
// came from), with its readable notifications delivered on the GUI thread. Each notification
// calls the owner's handler directly, and the owner reads exactly one datagram; while more are
// waiting the notification comes again, so every datagram gets its own call, in arrival
// order, even while a message box opened by an earlier call is still on screen.
class CDeviceSocket : public QObject {
    Q_OBJECT
public:
    // Enough room for the burst of replies that a probe of hundreds of units brings at once.
    static constexpr int kReceiveBufferBytes = 2 * 1024 * 1024;

    explicit CDeviceSocket(QObject* parent = nullptr);

    // Opens the socket; false when it could not be made, after which sends and receives fail
    // without a word, as they would on a broken network.
    bool create();
    bool isOpen() const { return endpoint_.isOpen(); }
    UdpEndpoint& endpoint() { return endpoint_; }
    std::uint16_t localPort() const { return endpoint_.localPort(); }

    // The readable notification, so that a pause can hold it (nullptr before create()).
    QSocketNotifier* notifier() const { return notifier_; }

    bool enableBroadcast() { return endpoint_.enableBroadcast(); }
    std::optional<std::size_t> sendTo(std::span<const std::uint8_t> datagram, std::uint16_t port,
                                      const std::string& address) {
        return endpoint_.sendTo(datagram, port, address);
    }
    std::optional<UdpEndpoint::Received> receiveFrom(std::span<std::uint8_t> buffer) {
        return endpoint_.receiveFrom(buffer);
    }

signals:
    // A datagram can be read: the owner's handler (connected directly) reads one.
    void socketData();

private:
    UdpEndpoint endpoint_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace morvik
