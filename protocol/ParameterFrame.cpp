#include "protocol/ParameterFrame.h"

#include "protocol/FrameChecksum.h"
#include "protocol/ParameterEntries.h"
#include "protocol/ProbeCodec.h"

#include <algorithm>

namespace morvik {

namespace {

constexpr std::size_t kShortHeaderSize = 4;
constexpr std::size_t kLongHeaderSize = 11;
constexpr std::uint8_t kRequestAddressMode = 0x02;
constexpr std::size_t kMaxTextLength = 255;
constexpr std::size_t kChecksumSize = 2;
// frameLength counts itself, the request ID and the command besides the body.
constexpr int kFrameLengthOverhead = 5;

// Reads the fields of a received frame front to back; every read fails once the datagram ends.
class FieldReader {
public:
    explicit FieldReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }

    std::optional<std::span<const std::uint8_t>> take(std::size_t count) {
        if (count > remaining()) {
            return std::nullopt;
        }
        const auto field = bytes_.subspan(position_, count);
        position_ += count;
        return field;
    }

    // A length byte and that many characters; the text ends early at a zero byte.
    std::optional<std::string> takeText() {
        const auto length = take(1);
        if (!length) {
            return std::nullopt;
        }
        const auto characters = take((*length)[0]);
        if (!characters) {
            return std::nullopt;
        }
        const auto end = std::find(characters->begin(), characters->end(), std::uint8_t{0});
        return std::string(characters->begin(), end);
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

} // namespace

FrameBuilder::FrameBuilder(std::size_t capacity, ByteOrder order)
    : buffer_(capacity, 0), order_(order) {}

bool FrameBuilder::beginFrame(HeaderKind kind, const MacBytes& mac, std::string_view loginId,
                              std::string_view password) {
    const std::size_t headerSize = kind == HeaderKind::Long ? kLongHeaderSize : kShortHeaderSize;
    const std::size_t lengthOffset = headerSize + 2 + loginId.size() + password.size();
    if (loginId.size() > kMaxTextLength || password.size() > kMaxTextLength ||
        lengthOffset + 2 + kChecksumSize > buffer_.size()) {
        return false;
    }
    // The buffer starts zeroed for every frame, as a fresh request buffer would.
    std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
    finished_ = 0;
    requestId_ = {};

    auto out = buffer_.begin();
    out = std::copy(kFrameSignature.begin(), kFrameSignature.end(), out);
    *out++ = static_cast<std::uint8_t>(kind);
    if (kind == HeaderKind::Long) {
        out = std::copy(mac.begin(), mac.end(), out);
        *out++ = kRequestAddressMode;
    }
    *out++ = static_cast<std::uint8_t>(loginId.size());
    out = std::copy(loginId.begin(), loginId.end(), out);
    *out++ = static_cast<std::uint8_t>(password.size());
    out = std::copy(password.begin(), password.end(), out);

    lengthOffset_ = lengthOffset;
    end_ = lengthOffset + 2;
    return true;
}

bool FrameBuilder::putRequestId(std::uint16_t requestId) {
    if (end_ != lengthOffset_ + 2 || end_ + 2 + kChecksumSize > buffer_.size()) {
        return false;
    }
    writeUnsigned(&buffer_[end_], requestId, 2, order_);
    requestId_ = {buffer_[end_], buffer_[end_ + 1]};
    end_ += 2;
    return true;
}

bool FrameBuilder::putCommand(Command command) {
    const std::uint8_t code = static_cast<std::uint8_t>(command);
    return appendBytes(std::span(&code, 1));
}

bool FrameBuilder::appendBytes(std::span<const std::uint8_t> bytes) {
    if (end_ == 0 || bytes.size() + kChecksumSize > buffer_.size() - end_) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(end_));
    end_ += bytes.size();
    finished_ = 0;
    return true;
}

bool FrameBuilder::appendEntry(std::string_view address, std::span<const std::uint8_t> value) {
    const std::vector<std::uint8_t> components = addressComponents(address);
    if (components.empty() || components.size() > 0xFF || value.size() > 0xFFFF) {
        return false;
    }
    const std::size_t bytes = entrySize(components.size(), value.size());
    if (end_ == 0 || bytes + kChecksumSize > buffer_.size() - end_) {
        return false;
    }
    auto out = buffer_.begin() + static_cast<std::ptrdiff_t>(end_);
    *out++ = static_cast<std::uint8_t>(components.size());
    out = std::copy(components.begin(), components.end(), out);
    writeUnsigned(&*out, static_cast<std::uint32_t>(value.size()), 2, order_);
    out += 2;
    std::copy(value.begin(), value.end(), out);
    end_ += bytes;
    finished_ = 0;
    return true;
}

std::size_t FrameBuilder::finishFrame() {
    const std::size_t commandEnd = lengthOffset_ + kFrameLengthOverhead;
    if (end_ == 0 || end_ < commandEnd || end_ + kChecksumSize > buffer_.size() ||
        end_ - lengthOffset_ > 0xFFFF) {
        return 0;
    }
    writeUnsigned(&buffer_[lengthOffset_], static_cast<std::uint32_t>(end_ - lengthOffset_), 2,
                  order_);
    const std::uint16_t checksum = checksumSum(std::span(buffer_).first(end_));
    writeUnsigned(&buffer_[end_], checksum, 2, order_);
    finished_ = end_ + kChecksumSize;
    return finished_;
}

std::vector<std::uint8_t> addressComponents(std::string_view address) {
    std::vector<std::uint8_t> components;
    unsigned component = 0;
    bool componentHasDigits = false;
    for (const char c : address) {
        if (c >= '0' && c <= '9') {
            // Kept modulo 256 as it grows, so any number of digits stays exact and bounded.
            component = (component * 10 + static_cast<unsigned>(c - '0')) % 256;
            componentHasDigits = true;
        } else if (c == '.' && componentHasDigits) {
            components.push_back(static_cast<std::uint8_t>(component));
            component = 0;
            componentHasDigits = false;
        } else {
            return {};
        }
    }
    if (!componentHasDigits) {
        return {};
    }
    components.push_back(static_cast<std::uint8_t>(component));
    return components;
}

std::vector<std::uint8_t> withUnicastReadPadding(std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> datagram(frame.begin(), frame.end());
    datagram.push_back(0);
    return datagram;
}

std::optional<ParsedFrame> parseFrame(std::span<const std::uint8_t> datagram, ByteOrder order) {
    FieldReader reader(datagram);
    const auto signature = reader.take(kFrameSignature.size());
    if (!signature || !std::equal(signature->begin(), signature->end(), kFrameSignature.begin())) {
        return std::nullopt;
    }
    const auto kind = reader.take(1);
    if (!kind || ((*kind)[0] != kShortHeader && (*kind)[0] != kLongHeader)) {
        return std::nullopt;
    }

    ParsedFrame frame;
    frame.headerKind = static_cast<HeaderKind>((*kind)[0]);
    if (frame.headerKind == HeaderKind::Long) {
        const auto mac = reader.take(frame.mac.size());
        // Replies may carry anything in the address-mode byte; it is not looked at.
        if (!mac || !reader.take(1)) {
            return std::nullopt;
        }
        std::copy(mac->begin(), mac->end(), frame.mac.begin());
    }

    auto loginId = reader.takeText();
    if (!loginId) {
        return std::nullopt;
    }
    auto password = reader.takeText();
    if (!password) {
        return std::nullopt;
    }
    frame.loginId = std::move(*loginId);
    frame.password = std::move(*password);

    const auto frameLength = reader.take(2);
    const auto requestId = reader.take(2);
    const auto command = reader.take(1);
    if (!frameLength || !requestId || !command) {
        return std::nullopt;
    }
    frame.frameLength = static_cast<std::uint16_t>(readUnsigned(*frameLength, 2, order));
    frame.requestId = {(*requestId)[0], (*requestId)[1]};
    frame.command = (*command)[0];
    frame.declaredBodyLength = static_cast<int>(frame.frameLength) - kFrameLengthOverhead;

    const std::size_t wanted = static_cast<std::size_t>(std::max(frame.declaredBodyLength, 0));
    const std::size_t available = std::min(wanted, reader.remaining());
    frame.body = *reader.take(available);
    frame.bodyComplete = frame.declaredBodyLength >= 0 && available == wanted;
    frame.computedChecksum = checksumSum(datagram.first(reader.position()));
    // With a negative body length the checksum is looked for right after the command.
    if (available == wanted) {
        if (const auto checksum = reader.take(kChecksumSize)) {
            frame.receivedChecksum = static_cast<std::uint16_t>(readUnsigned(*checksum, 2, order));
        }
    }
    return frame;
}

} // namespace morvik
