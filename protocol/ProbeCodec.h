#pragma once

#include "protocol/DeviceRecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// A probe reply is read into an area of this size; longer datagrams are not decoded.
inline constexpr std::size_t kProbeReplyCapacity = 100;

inline constexpr std::array<std::uint8_t, 3> kFrameSignature{0x03, 0xA8, 0x16};
inline constexpr std::uint8_t kShortHeader = 0xDA;
inline constexpr std::uint8_t kLongHeader = 0xDB;

std::array<std::uint8_t, 4> buildProbeRequest();

enum class ProbeVerdict { NotAReply, ChecksumValid, ChecksumMismatch };

struct ProbeDecodeResult {
    ProbeVerdict verdict = ProbeVerdict::NotAReply;
    DeviceRecord record; // filled unless verdict is NotAReply
};

// Decodes a probe reply of at most kProbeReplyCapacity bytes received from `sourceAddress`.
// Bytes past the end of the datagram read as zero (the reply area is zeroed before a read), but
// nothing beyond kProbeReplyCapacity is ever read: a reply whose checksum would lie outside the
// area, or a datagram longer than the area, is NotAReply.
ProbeDecodeResult decodeProbeReply(std::span<const std::uint8_t> datagram,
                                   std::string_view sourceAddress);

// What a unit puts into its probe reply; used by the simulator and the tests.
struct ProbeReplyFields {
    std::array<std::uint8_t, 6> mac{};
    bool longHeader = false;      // DB header carrying `addressMode`
    std::uint8_t addressMode = 1; // only sent with the long header
    std::uint8_t productId = 0;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::string name; // at most 255 bytes are sent
};

std::vector<std::uint8_t> buildProbeReply(const ProbeReplyFields& fields);

} // namespace morvik
