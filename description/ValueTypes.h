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

// Why a text was refused as a value of a row.
enum class ValueRefusal {
    NotANumber,   // neither a name of the row nor a number
    OutOfRange,   // a number the type cannot hold
    NotAnAddress, // "IP": not four numbers of 0 to 255 joined by points
    NotAMac,      // "MAC": not six hexadecimal pairs joined by ":" or "-"
    UnknownName,  // "FLAG": no enumeration name
    TooLong,      // text longer than the row's size
    NoValueBytes, // the row's type carries no value ("FLAG" of a size other than 1, 2 or 4,
                  // pointer-like and unknown types)
};

// The value bytes of a text, or why it gives none.
struct EncodedValue {
    std::vector<std::uint8_t> bytes;
    std::optional<ValueRefusal> refusal;

    explicit operator bool() const { return !refusal.has_value(); }
};

// Value bytes that `text` (as the value column holds it, unit and all) gives for the row, in
// the product byte order. The text is read as the user means it: a trailing "two blanks and
// the unit" is dropped, a defined-value or enumeration name is matched exactly (its blanks
// kept) before anything else, and only then is the text read as a number, blanks left out
// ("1 500  ms"). A text that is no value of the row's type is refused, never turned into
// another value.
EncodedValue encodeValue(const ParameterRow& row, const ValueList& definedValues,
                         const ValueList& enumeration, std::string_view text, ByteOrder order);

// Why the row refuses a text, in words that finish "... is refused: <reason>".
std::string refusalReason(const ParameterRow& row, ValueRefusal refusal);

// The whole message for a refused text: names the parameter and the value.
std::string refusalMessage(const ParameterRow& row, std::string_view text, ValueRefusal refusal);

// C-library style text-to-integer reading: leading white space, optional sign, digits up to
// the first non-digit, wrapping modulo 2^32; no digits gives 0.
std::uint32_t readDecimal(std::string_view text);

} // namespace morvik
