#include "protocol/ReadReplyBody.h"

#include <algorithm>
#include <optional>

namespace morvik {

namespace {

// The dotted text of an entry's address, into `text` (kept between entries: a reply has
// hundreds of them).
void addressText(std::span<const std::uint8_t> components, std::string& text) {
    text.clear();
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) {
            text += '.';
        }
        const unsigned number = components[i];
        if (number >= 100) {
            text += static_cast<char>('0' + number / 100);
        }
        if (number >= 10) {
            text += static_cast<char>('0' + number / 10 % 10);
        }
        text += static_cast<char>('0' + number % 10);
    }
}

} // namespace

bool isRangeAddress(std::string_view address) {
    return address == "0" || address.ends_with(".0");
}

BodyWalkEnd walkReadReplyBody(
    std::span<const std::uint8_t> body, int declaredLength, ByteOrder order,
    const ParameterLayout& layout,
    const std::function<void(int index, std::span<const std::uint8_t> value)>& onValue) {
    if (declaredLength < 0) {
        return BodyWalkEnd::LengthError;
    }
    // Kept wide: a long run of entries cannot wrap it.
    long long expected = declaredLength;
    std::size_t position = 0;
    std::string address;
    auto take = [&](std::size_t count) -> std::optional<std::span<const std::uint8_t>> {
        if (count > body.size() - position) {
            return std::nullopt;
        }
        const auto bytes = body.subspan(position, count);
        position += count;
        return bytes;
    };

    while (expected > 0) {
        const auto count = take(1);
        if (!count) {
            return BodyWalkEnd::LengthError;
        }
        const std::size_t componentCount = (*count)[0];
        const auto components = take(componentCount);
        if (!components) {
            return BodyWalkEnd::LengthError;
        }
        const auto lengthField = take(2);
        if (!lengthField) {
            return BodyWalkEnd::LengthError;
        }
        const std::size_t valueLength = readUnsigned(*lengthField, 2, order);
        addressText(*components, address);

        if (isRangeAddress(address)) {
            // Each covered parameter takes its own size, whatever the entry's value length says.
            const auto [first, last] = layout.findRange(address);
            for (int index = std::max(first, 0); first >= 0 && index <= last; ++index) {
                const auto value =
                    take(static_cast<std::size_t>(std::max(layout.parameterSize(index), 0)));
                if (!value) {
                    return BodyWalkEnd::LengthError;
                }
                onValue(index, *value);
            }
        } else {
            const int index = layout.findParameter(address);
            if (index < 0) {
                return BodyWalkEnd::UnknownAddress;
            }
            const auto value = take(valueLength);
            if (!value) {
                return BodyWalkEnd::LengthError;
            }
            onValue(index, *value);
        }

        expected -= static_cast<long long>(3 + componentCount + valueLength);
    }
    return expected == 0 ? BodyWalkEnd::Complete : BodyWalkEnd::LengthError;
}

} // namespace morvik
