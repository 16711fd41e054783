#include "sim/UnitReply.h"

#include "protocol/FrameChecksum.h"
#include "protocol/ProbeCodec.h"

namespace morvik::sim {

namespace {

constexpr std::size_t kMaxCredentialText = 255;

std::string_view lengthLimited(const std::string& text) {
    return std::string_view(text).substr(0, kMaxCredentialText);
}

std::size_t headerLength(HeaderKind kind) {
    return kind == HeaderKind::Long ? 11 : 4;
}

void putNumber(std::vector<std::uint8_t>& out, std::uint32_t value, ByteOrder order) {
    std::array<std::uint8_t, 2> bytes{};
    writeUnsigned(bytes.data(), value, 2, order);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

std::size_t replyOverhead(const ReplyHeader& header) {
    return headerLength(header.kind) + 1 + lengthLimited(header.loginId).size() + 1 +
           lengthLimited(header.password).size() + 2 + 2 + 1 + 2;
}

std::vector<std::uint8_t> buildUnitReply(const ReplyHeader& header, Command command,
                                         std::span<const std::uint8_t> body, ByteOrder order,
                                         bool corruptChecksum) {
    std::vector<std::uint8_t> frame;
    frame.reserve(replyOverhead(header) + body.size());
    frame.insert(frame.end(), kFrameSignature.begin(), kFrameSignature.end());
    frame.push_back(static_cast<std::uint8_t>(header.kind));
    if (header.kind == HeaderKind::Long) {
        frame.insert(frame.end(), header.mac.begin(), header.mac.end());
        frame.push_back(header.addressMode);
    }
    for (const auto text : {lengthLimited(header.loginId), lengthLimited(header.password)}) {
        frame.push_back(static_cast<std::uint8_t>(text.size()));
        frame.insert(frame.end(), text.begin(), text.end());
    }
    putNumber(frame, static_cast<std::uint32_t>(5 + body.size()), order);
    frame.insert(frame.end(), header.requestId.begin(), header.requestId.end());
    frame.push_back(static_cast<std::uint8_t>(command));
    frame.insert(frame.end(), body.begin(), body.end());
    std::uint32_t checksum = checksumSum(frame);
    if (corruptChecksum) {
        checksum = (checksum + 1) & 0xFFFF;
    }
    putNumber(frame, checksum, order);
    return frame;
}

} // namespace morvik::sim
