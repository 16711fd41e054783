#include "protocol/FrameChecksum.h"

#include "protocol/ByteOrder.h"

namespace morvik {

std::uint16_t checksumSum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

std::array<std::uint8_t, 2> frameChecksum(std::span<const std::uint8_t> bytes, int productNumber) {
    std::array<std::uint8_t, 2> out{};
    writeUnsigned(out.data(), checksumSum(bytes), 2, byteOrderForProduct(productNumber));
    return out;
}

} // namespace morvik
