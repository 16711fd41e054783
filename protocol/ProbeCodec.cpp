#include "protocol/ProbeCodec.h"

#include "protocol/ByteOrder.h"
#include "protocol/FrameChecksum.h"
#include "protocol/MacAddress.h"

#include <algorithm>
#include <string>

namespace morvik {

namespace {

// Offset of the product identifier: after the MAC, and after the address-mode byte too when
// the long header carries one.
constexpr std::size_t kShortFieldsOffset = 10;
constexpr std::size_t kLongFieldsOffset = 11;
constexpr std::size_t kAddressModeOffset = 10;

bool hasFrameHeader(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 &&
           std::equal(kFrameSignature.begin(), kFrameSignature.end(), bytes.begin()) &&
           (bytes[3] == kShortHeader || bytes[3] == kLongHeader);
}

// Product ids are written with at least two digits, as prodid.ini writes them.
std::string twoDigitText(int number) {
    std::string text = std::to_string(number);
    if (text.size() < 2) {
        text.insert(0, 2 - text.size(), '0');
    }
    return text;
}

std::string versionText(int major, int minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

} // namespace

std::array<std::uint8_t, 4> buildProbeRequest() {
    return {kFrameSignature[0], kFrameSignature[1], kFrameSignature[2], kShortHeader};
}

ProbeDecodeResult decodeProbeReply(std::span<const std::uint8_t> datagram,
                                   std::string_view sourceAddress) {
    ProbeDecodeResult result;
    if (datagram.size() > kProbeReplyCapacity) {
        return result;
    }
    // A short reply reads as if the missing bytes were zero.
    std::array<std::uint8_t, kProbeReplyCapacity> area{};
    std::copy(datagram.begin(), datagram.end(), area.begin());
    if (!hasFrameHeader(area)) {
        return result;
    }

    const bool longHeader = area[3] == kLongHeader;
    const std::size_t o = longHeader ? kLongFieldsOffset : kShortFieldsOffset;
    const int addressMode = longHeader ? area[kAddressModeOffset] : 1;
    const std::uint8_t productId = area[o];
    const std::size_t nameLength = area[o + 3];
    const std::size_t nameOffset = o + 4;
    const std::size_t checksumOffset = nameOffset + nameLength;
    // A name this long would put the checksum outside what a unit may send.
    if (checksumOffset + 2 > kProbeReplyCapacity) {
        return result;
    }

    const auto nameBytes = std::span(area).subspan(nameOffset, nameLength);
    const auto nameEnd = std::find(nameBytes.begin(), nameBytes.end(), std::uint8_t{0});
    MacBytes mac{};
    std::copy_n(area.begin() + 4, mac.size(), mac.begin());

    DeviceRecord& record = result.record;
    record.name.assign(nameBytes.begin(), nameEnd);
    record.ip = std::string(sourceAddress);
    record.mac = formatMacText(mac);
    record.productId = twoDigitText(productId);
    record.version = versionText(area[o + 1], area[o + 2]);
    record.addressMode = std::to_string(addressMode);

    const std::uint16_t expected = checksumSum(std::span(area).first(checksumOffset));
    const std::uint16_t received = static_cast<std::uint16_t>(readUnsigned(
        std::span(area).subspan(checksumOffset, 2), 2, byteOrderForProduct(productId)));
    result.verdict =
        expected == received ? ProbeVerdict::ChecksumValid : ProbeVerdict::ChecksumMismatch;
    return result;
}

std::vector<std::uint8_t> buildProbeReply(const ProbeReplyFields& fields) {
    std::vector<std::uint8_t> reply(kFrameSignature.begin(), kFrameSignature.end());
    reply.push_back(fields.longHeader ? kLongHeader : kShortHeader);
    reply.insert(reply.end(), fields.mac.begin(), fields.mac.end());
    if (fields.longHeader) {
        reply.push_back(fields.addressMode);
    }
    reply.push_back(fields.productId);
    reply.push_back(fields.major);
    reply.push_back(fields.minor);
    const std::size_t nameLength = std::min<std::size_t>(fields.name.size(), 255);
    reply.push_back(static_cast<std::uint8_t>(nameLength));
    reply.insert(reply.end(), fields.name.begin(),
                 fields.name.begin() + static_cast<std::ptrdiff_t>(nameLength));
    const auto checksum = frameChecksum(reply, fields.productId);
    reply.insert(reply.end(), checksum.begin(), checksum.end());
    return reply;
}

} // namespace morvik
