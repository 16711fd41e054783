#include "protocol/ParameterEntries.h"

#include <array>

namespace morvik {

std::optional<std::vector<RequestEntry>> parseRequestEntries(std::span<const std::uint8_t> body,
                                                             ByteOrder order) {
    std::vector<RequestEntry> entries;
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t count = body[at];
        if (body.size() - at < entrySize(count, 0)) {
            return std::nullopt;
        }
        std::string address;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) {
                address += '.';
            }
            address += std::to_string(body[at + 1 + i]);
        }
        at += 1 + count;
        const std::size_t length = readUnsigned(body.subspan(at, 2), 2, order);
        at += 2;
        if (body.size() - at < length) {
            return std::nullopt;
        }
        entries.push_back({std::move(address), body.subspan(at, length)});
        at += length;
    }
    return entries;
}

void appendEntryBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> components,
                      std::span<const std::uint8_t> value, ByteOrder order) {
    out.push_back(static_cast<std::uint8_t>(components.size()));
    out.insert(out.end(), components.begin(), components.end());
    std::array<std::uint8_t, 2> length{};
    writeUnsigned(length.data(), static_cast<std::uint32_t>(value.size()), 2, order);
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), value.begin(), value.end());
}

} // namespace morvik
