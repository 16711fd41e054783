#include "sim/DatagramRecorder.h"

#include "sim/FleetFile.h"

#include <cerrno>
#include <cstring>

namespace morvik::sim {

bool DatagramRecorder::open(const std::string& path, std::string& error) {
    file_.reset(std::fopen(path.c_str(), "a"));
    if (file_ == nullptr) {
        error = "cannot open " + path + " for recording: " + std::strerror(errno);
        return false;
    }
    return true;
}

void DatagramRecorder::record(std::string_view unit, std::string_view sourceAddress,
                              std::uint16_t sourcePort, std::span<const std::uint8_t> datagram) {
    if (file_ == nullptr) {
        return;
    }
    const std::string line = std::string(unit) + " " + std::string(sourceAddress) + ":" +
                             std::to_string(sourcePort) + " " + formatHexBytes(datagram) + "\n";
    std::fwrite(line.data(), 1, line.size(), file_.get());
    std::fflush(file_.get());
}

} // namespace morvik::sim
