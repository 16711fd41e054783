#pragma once

#include "protocol/ByteOrder.h"
#include "protocol/MacAddress.h"
#include "protocol/ParameterFrame.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvik::sim {

// The part of a unit's reply that repeats the request: header kind (a long header carries the
// unit's MAC and its address-mode byte), the ID and password, and the request's tag.
struct ReplyHeader {
    HeaderKind kind = HeaderKind::Short;
    MacBytes mac{};
    std::uint8_t addressMode = 1;
    std::string loginId;  // at most 255 bytes are sent
    std::string password; // at most 255 bytes are sent
    std::array<std::uint8_t, 2> requestId{};
};

// The largest datagram a unit sends: what the tool's receive buffer holds.
inline constexpr std::size_t kMaxReplyDatagram = 1500;

// Bytes of a reply besides its body: header, ID, password, frameLength, requestId, command
// and checksum.
std::size_t replyOverhead(const ReplyHeader& header);

// A complete reply frame; with `corruptChecksum` the checksum field is off by one.
std::vector<std::uint8_t> buildUnitReply(const ReplyHeader& header, Command command,
                                         std::span<const std::uint8_t> body, ByteOrder order,
                                         bool corruptChecksum);

} // namespace morvik::sim
