#pragma once

#include <string>

namespace morvik {

// One discovered unit, held as the six texts that the device list shows and stores.
struct DeviceRecord {
    std::string name;        // device name from the probe reply
    std::string ip;          // dotted source address of the reply
    std::string mac;         // "02:00:00:0A:1B:2C", upper case
    std::string productId;   // "%02d"
    std::string version;     // "%d.%d"
    std::string addressMode; // "%d"; "2" = addressed by broadcast with its MAC

    friend bool operator==(const DeviceRecord&, const DeviceRecord&) = default;
};

} // namespace morvik
