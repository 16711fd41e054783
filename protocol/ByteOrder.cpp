#include "protocol/ByteOrder.h"

namespace morvik {

std::uint32_t readUnsigned(std::span<const std::uint8_t> bytes, int width, ByteOrder order) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int index = order == ByteOrder::MostSignificantFirst ? i : width - 1 - i;
        const std::uint8_t byte = static_cast<std::size_t>(index) < bytes.size()
                                      ? bytes[static_cast<std::size_t>(index)]
                                      : 0;
        value = (value << 8) | byte;
    }
    return value;
}

void writeUnsigned(std::uint8_t* out, std::uint32_t value, int width, ByteOrder order) {
    for (int i = 0; i < width; ++i) {
        const auto byte = static_cast<std::uint8_t>(value >> (8 * i));
        const int index = order == ByteOrder::MostSignificantFirst ? width - 1 - i : i;
        out[index] = byte;
    }
}

} // namespace morvik
