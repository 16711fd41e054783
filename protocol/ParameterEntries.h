#pragma once

#include "protocol/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvik {

// One entry of a request body: the dotted address and the value bytes (empty for a read).
struct RequestEntry {
    std::string address;
    std::span<const std::uint8_t> value; // inside the body it was read from
};

// Bytes an entry takes: component count, components, two-byte value length, value.
constexpr std::size_t entrySize(std::size_t componentCount, std::size_t valueLength) {
    return 1 + componentCount + 2 + valueLength;
}

// The entries of a request body; nothing unless they fill the body exactly. Never reads past
// the body.
std::optional<std::vector<RequestEntry>> parseRequestEntries(std::span<const std::uint8_t> body,
                                                             ByteOrder order);

// Appends the entry of these address components (at most 255) and value (at most 0xFFFF
// bytes) to `out`.
void appendEntryBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> components,
                      std::span<const std::uint8_t> value, ByteOrder order);

} // namespace morvik
