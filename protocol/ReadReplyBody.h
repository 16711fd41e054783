#pragma once

#include "protocol/ByteOrder.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace morvik {

// What the body walk needs to know about the parameters of the current description.
class ParameterLayout {
public:
    virtual ~ParameterLayout() = default;
    // Index of the parameter with exactly this address, or -1.
    virtual int findParameter(std::string_view address) const = 0;
    // First and last index of the parameters covered by a range address ("0" or ending in
    // ".0"); both -1 when none is.
    virtual std::pair<int, int> findRange(std::string_view rangeAddress) const = 0;
    // Bytes the parameter's value takes in a message (never negative).
    virtual int parameterSize(int index) const = 0;
};

// True for "0" and for addresses whose last two characters are ".0".
bool isRangeAddress(std::string_view address);

enum class BodyWalkEnd {
    Complete,       // the expected bytes reached exactly zero
    LengthError,    // negative body length, entries overran it, or ran past the received bytes
    UnknownAddress, // a single entry named no parameter: the rest is ignored
};

// Walks the entries of a ReadReply body and hands every value to `onValue` with its parameter
// index: a range entry gives each covered parameter exactly its size in bytes, a single entry
// the value length bytes that the unit sent (which may differ from the parameter's size).
// `declaredLength` is frameLength - 5; `body` holds the body bytes that were received (possibly
// fewer). Never reads outside `body`: an entry or a range value that runs past it ends the walk
// with LengthError, after the values that fitted were handed over.
BodyWalkEnd walkReadReplyBody(
    std::span<const std::uint8_t> body, int declaredLength, ByteOrder order,
    const ParameterLayout& layout,
    const std::function<void(int index, std::span<const std::uint8_t> value)>& onValue);

} // namespace morvik
