#pragma once

#include <cstdint>
#include <span>

namespace morvik {

// Multi-byte numbers on the wire follow the product: codes of 50 and above put the most
// significant byte first, lower codes the least significant byte first.
enum class ByteOrder { LeastSignificantFirst, MostSignificantFirst };

inline constexpr int kBigEndianProductThreshold = 50;

constexpr ByteOrder byteOrderForProduct(int productNumber) {
    return productNumber >= kBigEndianProductThreshold ? ByteOrder::MostSignificantFirst
                                                       : ByteOrder::LeastSignificantFirst;
}

// Reads `width` (1..4) bytes as an unsigned number; bytes beyond `bytes` count as zero.
std::uint32_t readUnsigned(std::span<const std::uint8_t> bytes, int width, ByteOrder order);

// Writes the low `width` (1..4) bytes of `value` into `out[0..width)`.
void writeUnsigned(std::uint8_t* out, std::uint32_t value, int width, ByteOrder order);

} // namespace morvik
