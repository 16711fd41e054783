#include "protocol/ProbeCodec.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Probe replies come from anyone on the network segment.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> datagram(data, size);
    const morvik::ProbeDecodeResult result = morvik::decodeProbeReply(datagram, "127.0.0.1");
    if (result.verdict == morvik::ProbeVerdict::NotAReply) {
        return 0;
    }
    // A decoded reply fitted the reply area, and its texts have their fixed shapes.
    if (size > morvik::kProbeReplyCapacity || result.record.mac.size() != 17 ||
        result.record.name.size() > morvik::kProbeReplyCapacity ||
        result.record.productId.size() < 2 || result.record.productId.size() > 3) {
        __builtin_trap();
    }
    return 0;
}
