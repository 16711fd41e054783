#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace morvik::sim {

// Appends one line per received datagram to a file, flushed at once so that a test can read
// what a unit received while the simulator runs:
//   <unit MAC or "-"> <source address>:<source port> <datagram as lower-case hex>
class DatagramRecorder {
public:
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    void record(std::string_view unit, std::string_view sourceAddress, std::uint16_t sourcePort,
                std::span<const std::uint8_t> datagram);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace morvik::sim
