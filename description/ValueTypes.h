#pragma once

#include "description/DeviceDescription.h"
#include "description/ValueList.h"
#include "protocol/ByteOrder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// Text of a parameter value for the value column, unit included. `bytes` holds the value as
// the reply carried it (normally exactly the row's size bytes; missing bytes count as zero).
std::string valueToText(const ParameterRow& row, const ValueList& definedValues,
                        const ValueList& enumeration, std::span<const std::uint8_t> bytes,
                        ByteOrder order);

// Value bytes that `text` (as the value column holds it, unit and all) gives for the row, in
// the product byte order. Nothing when the text gives no value that can be sent soundly (a
// "FLAG" text that names no entry, a "FLAG" row whose size is not 1, 2 or 4, pointer-like and
// unknown types).
std::optional<std::vector<std::uint8_t>> encodeValue(const ParameterRow& row,
                                                     const ValueList& definedValues,
                                                     const ValueList& enumeration,
                                                     std::string_view text, ByteOrder order);

// C-library style text-to-integer reading: leading white space, optional sign, digits up to
// the first non-digit, wrapping modulo 2^32; no digits gives 0.
std::uint32_t readDecimal(std::string_view text);

} // namespace morvik
