#pragma once

#include "protocol/DeviceRecord.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvik {

// The units selected in the device list, in selection order.
class UnitSelection {
public:
    virtual ~UnitSelection() = default;
    virtual std::vector<DeviceRecord> selectedUnits() const = 0;
};

// The parameter socket: sends to units and answers the subnet question. Replies come back to
// ParameterSession::handleUnitReply from whoever owns the socket.
class Transport {
public:
    virtual ~Transport() = default;
    virtual void sendTo(std::span<const std::uint8_t> datagram, const std::string& address) = 0;
    virtual void broadcast(std::span<const std::uint8_t> datagram) = 0;
    virtual bool isOnLocalSubnet(const std::string& address) = 0;
};

// The pause between the units of a read.
class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void pause(std::chrono::milliseconds duration) = 0;
};

// The text that every one of `units` carries in `field`; nothing when they differ, empty for
// no units.
std::optional<std::string> commonText(const std::vector<DeviceRecord>& units,
                                      std::string DeviceRecord::*field);

// The product code of a product id text: the number that "%02d" scanning yields (at most two
// characters, an optional sign included); 0 when there is none.
int productCodeOf(const std::string& productId);

} // namespace morvik
