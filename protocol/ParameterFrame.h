#pragma once

#include "protocol/ByteOrder.h"
#include "protocol/MacAddress.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

enum class Command : std::uint8_t {
    ReadRequest = 0xA0,
    ReadReply = 0xA2,
    WriteRequest = 0xB0,
    WriteAck = 0xB2,
    ErrorReply = 0xC0,
    RebootRequest = 0xF0,
    RebootAck = 0xFF,
};

enum class HeaderKind : std::uint8_t { Short = 0xDA, Long = 0xDB };

inline constexpr std::size_t kRequestBufferSize = 600; // read and write requests
inline constexpr std::size_t kRebootBufferSize = 100;
inline constexpr std::size_t kChunkThreshold = 520; // a request body stops after passing this
inline constexpr std::size_t kReceiveBufferSize = 1500;

// Body of a read of every parameter: one entry with the address "0".
inline constexpr std::array<std::uint8_t, 4> kReadAllBody{0x01, 0x00, 0x00, 0x00};
inline constexpr std::array<std::uint8_t, 3> kRebootBody{0x00, 0x00, 0x00};

// Builds one parameter frame in a buffer of fixed capacity. Every operation that would not fit
// writes nothing and returns false, so a frame never grows past its buffer. Appends keep two
// bytes free for the checksum, so a frame whose appends all succeeded can always be finished.
class FrameBuilder {
public:
    FrameBuilder(std::size_t capacity, ByteOrder order);

    // Signature, header kind, (long header: MAC and the byte 02), ID and password with their
    // length bytes; leaves room for frameLength. False when the ID or the password is longer than
    // 255 characters or the header does not fit.
    bool beginFrame(HeaderKind kind, const MacBytes& mac, std::string_view loginId,
                    std::string_view password);
    std::size_t lengthOffset() const { return lengthOffset_; } // L

    bool putRequestId(std::uint16_t requestId);
    std::array<std::uint8_t, 2> requestIdBytes() const { return requestId_; } // as sent
    bool putCommand(Command command);

    bool appendBytes(std::span<const std::uint8_t> bytes);
    // One ParameterEntry: component count, components (each modulo 256), value length (the
    // number of value bytes, product byte order) and the value.
    bool appendEntry(std::string_view address, std::span<const std::uint8_t> value);

    std::size_t size() const { return end_; } // bytes written so far, before the checksum
    bool pastChunkThreshold() const { return end_ > kChunkThreshold; }

    // Writes frameLength and the checksum; returns the total length, or 0 when the checksum
    // does not fit or the frame has no request ID and command yet.
    std::size_t finishFrame();

    std::span<const std::uint8_t> frame() const { return {buffer_.data(), finished_}; }
    ByteOrder byteOrder() const { return order_; }

private:
    std::vector<std::uint8_t> buffer_;
    ByteOrder order_;
    std::size_t end_ = 0;
    std::size_t lengthOffset_ = 0;
    std::size_t finished_ = 0;
    std::array<std::uint8_t, 2> requestId_{};
};

// Components of a dotted address, each stored modulo 256; empty when the text is no address:
// empty text, an empty component ("3..1", "3.", ".3") or any character other than digits and
// points. Such an address cannot be put into an entry.
std::vector<std::uint8_t> addressComponents(std::string_view address);

// A read request sent straight to a unit's address carries one zero byte after its checksum,
// outside frameLength and the checksum; broadcast reads, writes and reboots do not.
std::vector<std::uint8_t> withUnicastReadPadding(std::span<const std::uint8_t> frame);

// A received frame (reply, or request on the simulator's side), bounded by the datagram.
struct ParsedFrame {
    HeaderKind headerKind = HeaderKind::Short;
    MacBytes mac{};       // long header only
    std::string loginId;  // ends early at a zero byte
    std::string password; // ends early at a zero byte
    std::uint16_t frameLength = 0;
    std::array<std::uint8_t, 2> requestId{}; // as received
    std::uint8_t command = 0;
    int declaredBodyLength = 0; // frameLength - 5; may be negative
    // The body bytes that lie inside the datagram: at most declaredBodyLength of them. A view
    // into the datagram, valid while it is.
    std::span<const std::uint8_t> body;
    // The whole declared body lies inside the datagram; false for a negative body length.
    bool bodyComplete = false;
    // Read right after the body (right after the command when the body length is negative);
    // absent when the datagram ends before its two bytes.
    std::optional<std::uint16_t> receivedChecksum;
    std::uint16_t computedChecksum = 0; // over bytes 0 up to the end of the (available) body
    bool checksumMatches() const {
        return receivedChecksum && *receivedChecksum == computedChecksum;
    }
};

// Reads a request or a reply. Accepts a datagram whose signature, header kind, ID, password,
// frameLength, requestId and command lie inside it; anything else gives nothing. Never reads past
// the datagram.
std::optional<ParsedFrame> parseFrame(std::span<const std::uint8_t> datagram, ByteOrder order);

} // namespace morvik
