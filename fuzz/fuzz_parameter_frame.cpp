#include "protocol/ParameterEntries.h"
#include "protocol/ParameterFrame.h"
#include "protocol/ReadReplyBody.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// A description of a few dozen parameters: several classes, multi-level addresses, sizes from
// zero to large, and prefixes that only a careless range match would confuse ("3.1" / "3.10" /
// "30.1").
class FixedLayout : public morvik::ParameterLayout {
public:
    FixedLayout() {
        const int sizes[] = {1, 2, 4, 0, 3, 16, 32, 1, 2, 64, 4, 8};
        int n = 0;
        auto add = [&](std::string address) {
            rows_.push_back({std::move(address), sizes[n++ % std::size(sizes)]});
        };
        for (int i = 1; i <= 5; ++i) {
            add("1." + std::to_string(i));
        }
        for (int port = 1; port <= 3; ++port) {
            for (int i = 1; i <= 4; ++i) {
                add("2." + std::to_string(port) + "." + std::to_string(i));
            }
        }
        for (int i = 1; i <= 12; ++i) {
            add("3." + std::to_string(i));
        }
        add("30.1");
        add("30.2");
        add("4.1");
        add("255.255");
    }

    int findParameter(std::string_view address) const override {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (rows_[i].first == address) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    std::pair<int, int> findRange(std::string_view rangeAddress) const override {
        const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
        int first = -1;
        int last = -1;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (std::string_view(rows_[i].first).substr(0, prefix.size()) == prefix) {
                first = first < 0 ? static_cast<int>(i) : first;
                last = static_cast<int>(i);
            }
        }
        return {first, last};
    }

    int parameterSize(int index) const override {
        return rows_.at(static_cast<std::size_t>(index)).second;
    }

private:
    std::vector<std::pair<std::string, int>> rows_;
};

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Lets the input also describe a request, which must come back unchanged through the parser.
void checkBuiltFrameParsesBack(std::span<const std::uint8_t> input) {
    if (input.size() < 3) {
        return;
    }
    const auto order = (input[0] & 1) ? morvik::ByteOrder::MostSignificantFirst
                                      : morvik::ByteOrder::LeastSignificantFirst;
    const auto kind = (input[0] & 2) ? morvik::HeaderKind::Long : morvik::HeaderKind::Short;
    std::size_t at = 3;
    auto takeText = [&](std::size_t length) {
        length = std::min(length, input.size() - at);
        std::string text(input.begin() + static_cast<std::ptrdiff_t>(at),
                         input.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        return text;
    };
    const std::string loginId = takeText(input[1]);
    const std::string password = takeText(input[2]);

    morvik::FrameBuilder builder(morvik::kRequestBufferSize, order);
    if (!builder.beginFrame(kind, morvik::MacBytes{1, 2, 3, 4, 5, 6}, loginId, password)) {
        return;
    }
    check(builder.putRequestId(static_cast<std::uint16_t>(at * 7919)));
    check(builder.putCommand(morvik::Command::WriteRequest));
    const std::size_t bodyStart = builder.size();
    std::vector<std::string> addresses;
    while (at + 2 <= input.size()) {
        const std::size_t componentCount = input[at] % 6 + 1;
        const std::size_t valueLength = input[at + 1];
        at += 2;
        std::string address;
        for (std::size_t i = 0; i < componentCount && at < input.size(); ++i) {
            address += (i ? "." : "") + std::to_string(input[at++]);
        }
        const std::string value = takeText(valueLength);
        if (address.empty() ||
            !builder.appendEntry(
                address,
                std::span(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()))) {
            break;
        }
        addresses.push_back(address);
    }
    const std::size_t bodyEnd = builder.size();
    const std::size_t length = builder.finishFrame();
    check(length == bodyEnd + 2 && length <= morvik::kRequestBufferSize);

    const auto parsed = morvik::parseFrame(builder.frame(), order);
    check(parsed.has_value());
    check(parsed->loginId == loginId.substr(0, loginId.find('\0')));
    check(parsed->password == password.substr(0, password.find('\0')));
    check(parsed->requestId == builder.requestIdBytes());
    check(parsed->bodyComplete && parsed->checksumMatches());
    const auto built = builder.frame().subspan(bodyStart, bodyEnd - bodyStart);
    check(std::equal(built.begin(), built.end(), parsed->body.begin(), parsed->body.end()));
    // The unit's reading of the body gives back every entry, in order.
    const auto entries = morvik::parseRequestEntries(parsed->body, order);
    check(entries.has_value() && entries->size() == addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        check((*entries)[i].address == addresses[i]);
    }
}

} // namespace

// Parameter frames arrive from any host that can reach the tool's socket.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FixedLayout layout;
    const std::span<const std::uint8_t> datagram(data, size);
    for (const auto order :
         {morvik::ByteOrder::LeastSignificantFirst, morvik::ByteOrder::MostSignificantFirst}) {
        const auto frame = morvik::parseFrame(datagram, order);
        if (!frame) {
            continue;
        }
        const auto* begin = datagram.data();
        const auto* end = begin + datagram.size();
        check(frame->body.empty() ||
              (frame->body.data() >= begin && frame->body.data() + frame->body.size() <= end));
        check(static_cast<long long>(frame->body.size()) <= std::max(frame->declaredBodyLength, 0));
        check(!frame->receivedChecksum || frame->declaredBodyLength < 0 || frame->bodyComplete);

        unsigned touched = 0;
        const auto walkEnd =
            morvik::walkReadReplyBody(frame->body, frame->declaredBodyLength, order, layout,
                                      [&](int index, std::span<const std::uint8_t> value) {
                                          check(index >= 0);
                                          for (const std::uint8_t byte : value) {
                                              touched += byte;
                                          }
                                      });
        (void)walkEnd;
        (void)touched;

        // A unit reads the entries of any request body without leaving it.
        if (const auto entries = morvik::parseRequestEntries(frame->body, order)) {
            for (const auto& entry : *entries) {
                check(entry.value.empty() || (entry.value.data() >= frame->body.data() &&
                                              entry.value.data() + entry.value.size() <=
                                                  frame->body.data() + frame->body.size()));
            }
        }
    }
    checkBuiltFrameParsesBack(datagram);
    return 0;
}
