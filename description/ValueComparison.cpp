#include "description/ValueComparison.h"

#include "description/ValueTypes.h"

namespace morvik {

bool sameValue(const ParameterRow& row, std::string_view first, std::string_view second) {
    if (first == second) {
        return true;
    }
    // Both texts go through the same byte order, so the order cannot make two values equal or
    // tell two equal ones apart.
    constexpr ByteOrder kAnyOrder = ByteOrder::LeastSignificantFirst;
    const EncodedValue a = encodeValue(row, row.definedValues, row.enumeration, first, kAnyOrder);
    if (!a) {
        return false;
    }
    const EncodedValue b = encodeValue(row, row.definedValues, row.enumeration, second, kAnyOrder);
    return b && a.bytes == b.bytes;
}

} // namespace morvik
