#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace morvik {

// Low 16 bits of the sum of all bytes, each taken unsigned.
std::uint16_t checksumSum(std::span<const std::uint8_t> bytes);

// The two checksum bytes of a frame in wire order: the sum of `bytes` (everything before the
// checksum field), written in the byte order that `productNumber` decides.
std::array<std::uint8_t, 2> frameChecksum(std::span<const std::uint8_t> bytes, int productNumber);

} // namespace morvik
