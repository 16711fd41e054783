#include "description/ValueTypes.h"

#include "protocol/MacAddress.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace morvik {

using namespace std::string_view_literals;

namespace {

enum class ValueType {
    Byte,
    Short,
    SignedLong,
    UnsignedLong,
    Float,
    Ip,
    Mac,
    Text,
    Flag,
    None, // pointer-like types and names outside the type table
};

// Asked for every value of every reply: the views compare lengths before bytes.
ValueType valueTypeOf(std::string_view typeName) {
    if (typeName == "char"sv || typeName == "unsigned char"sv) {
        return ValueType::Byte;
    }
    if (typeName == "int"sv || typeName == "unsigned int"sv) {
        return ValueType::Short;
    }
    if (typeName == "long"sv) {
        return ValueType::SignedLong;
    }
    if (typeName == "unsigned long"sv) {
        return ValueType::UnsignedLong;
    }
    if (typeName == "float"sv) {
        return ValueType::Float;
    }
    if (typeName == "IP"sv) {
        return ValueType::Ip;
    }
    if (typeName == "MAC"sv) {
        return ValueType::Mac;
    }
    if (typeName == "*char"sv || typeName == "unsigned *char"sv) {
        return ValueType::Text;
    }
    if (typeName == "FLAG"sv) {
        return ValueType::Flag;
    }
    return ValueType::None;
}

bool isFlagSize(std::int32_t size) {
    return size == 1 || size == 2 || size == 4;
}

const ValueList::Entry* entryWithValue(const ValueList& list, std::int32_t value,
                                       std::uint32_t mask = 0xFFFFFFFFU) {
    for (const ValueList::Entry& entry : list.entries()) {
        if ((static_cast<std::uint32_t>(entry.value) & mask) ==
            (static_cast<std::uint32_t>(value) & mask)) {
            return &entry;
        }
    }
    return nullptr;
}

const ValueList::Entry* entryNamed(const ValueList& list, std::string_view name) {
    for (const ValueList::Entry& entry : list.entries()) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

std::string floatText(float value) {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                       std::chars_format::fixed, 6);
    return written.ec == std::errc{} ? std::string(buffer, written.ptr) : std::string();
}

std::vector<std::uint8_t> numberBytes(std::uint32_t value, int width, ByteOrder order) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width));
    writeUnsigned(bytes.data(), value, width, order);
    return bytes;
}

int widthOf(ValueType type) {
    switch (type) {
    case ValueType::Byte:
        return 1;
    case ValueType::Short:
        return 2;
    default:
        return 4;
    }
}

// The numbers a whole-number type takes: what its width holds read as signed or as unsigned,
// so -1 gives the same bytes as the highest unsigned value, as the shown texts need.
std::pair<std::int64_t, std::int64_t> numberRange(ValueType type) {
    const int bits = 8 * widthOf(type);
    return {-(std::int64_t{1} << (bits - 1)), (std::int64_t{1} << bits) - 1};
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text without the "two blanks and unit" that the value column puts after every value of
// a row with a unit. Nothing else is taken away: a name may hold blanks and the unit's letters.
std::string_view withoutShownUnit(std::string_view text, std::string_view unit) {
    if (unit.empty() || text.size() < unit.size() + 2 || !text.ends_with(unit)) {
        return text;
    }
    const std::string_view before = text.substr(0, text.size() - unit.size());
    return before.ends_with("  ") ? before.substr(0, before.size() - 2) : text;
}

// Text to be read as a number: a unit typed right after it ("250ms", "250 ms") is dropped too,
// then every blank, so that "1 500" is fifteen hundred. A unit that could be the end of a
// number itself ("10") is dropped only after its two blanks.
std::string numberText(std::string_view text, std::string_view unit) {
    std::string_view kept = text;
    while (!kept.empty() && isBlank(kept.back())) {
        kept.remove_suffix(1);
    }
    const bool unitLooksLikeANumber =
        unit.find_first_not_of("0123456789.+-") == std::string_view::npos;
    if (!unit.empty() && !unitLooksLikeANumber && kept.size() > unit.size() &&
        kept.ends_with(unit)) {
        kept.remove_suffix(unit.size());
    }
    std::string number;
    for (const char c : kept) {
        if (!isBlank(c)) {
            number += c;
        }
    }
    return number;
}

// An optional sign and decimal digits, nothing else; nothing for any other text. Numbers far
// beyond 32 bits are held just above them, so that a range check refuses them.
std::optional<std::int64_t> readWholeNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::int64_t kBeyond = std::int64_t{1} << 33;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - '0'), kBeyond);
    }
    return negative ? -value : value;
}

// Whether a decimal number that no float holds lies below the smallest one rather than beyond
// the largest: its first significant digit stands right of the point.
bool isBelowOne(std::string_view number) {
    if (!number.empty() && number.front() == '-') {
        number.remove_prefix(1);
    }
    const std::size_t exponentAt = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, exponentAt);
    std::int64_t exponent = 0;
    if (exponentAt != std::string_view::npos) {
        std::string_view digits = number.substr(exponentAt + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        for (const char c : digits) {
            exponent = std::min<std::int64_t>(exponent * 10 + (c - '0'), 1'000'000'000);
        }
        exponent = negative ? -exponent : exponent;
    }
    const std::size_t point = mantissa.find('.');
    const auto integerDigits =
        static_cast<std::int64_t>(point == std::string_view::npos ? mantissa.size() : point);
    std::int64_t zerosBefore = 0;
    for (const char c : mantissa) {
        if (c == '.') {
            continue;
        }
        if (c != '0') {
            return integerDigits - 1 - zerosBefore + exponent < 0;
        }
        ++zerosBefore;
    }
    return true;
}

// Four decimal numbers of 0 to 255 joined by points, the first the most significant octet.
std::optional<std::uint32_t> readIpAddress(std::string_view text) {
    std::uint32_t address = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (text.empty() || text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') {
            value = value * 10U + static_cast<unsigned>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255U) {
            return std::nullopt;
        }
        text.remove_prefix(digits);
        address = (address << 8) | value;
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    return address;
}

std::string shownNumber(const ValueType type, std::uint32_t number, const ValueList& definedValues,
                        std::uint32_t mask) {
    if (const ValueList::Entry* named =
            entryWithValue(definedValues, static_cast<std::int32_t>(number), mask)) {
        return named->name;
    }
    if (type == ValueType::SignedLong) {
        return std::to_string(static_cast<std::int32_t>(number));
    }
    return std::to_string(number);
}

} // namespace

std::uint32_t readDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' ||
                                text[at] == '\r' || text[at] == '\v' || text[at] == '\f')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    std::uint32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10U + static_cast<std::uint32_t>(text[at] - '0');
    }
    return negative ? 0U - value : value;
}

std::string valueToText(const ParameterRow& row, const ValueList& definedValues,
                        const ValueList& enumeration, std::span<const std::uint8_t> bytes,
                        ByteOrder order) {
    std::string text;
    const ValueType type = valueTypeOf(row.typeName);
    switch (type) {
    case ValueType::Byte:
        // Both byte types match defined values on the low 8 bits, so bytes 128 to 255 find
        // their names too.
        text = shownNumber(type, readUnsigned(bytes, 1, order), definedValues, 0xFFU);
        break;
    case ValueType::Short:
        text = shownNumber(type, readUnsigned(bytes, 2, order), definedValues, 0xFFFFFFFFU);
        break;
    case ValueType::SignedLong:
    case ValueType::UnsignedLong:
        text = shownNumber(type, readUnsigned(bytes, 4, order), definedValues, 0xFFFFFFFFU);
        break;
    case ValueType::Float:
        text = floatText(std::bit_cast<float>(readUnsigned(bytes, 4, order)));
        break;
    case ValueType::Ip: {
        const std::uint32_t address = readUnsigned(bytes, 4, order);
        text = std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFFU) + '.' +
               std::to_string((address >> 8) & 0xFFU) + '.' + std::to_string(address & 0xFFU);
        break;
    }
    case ValueType::Mac: {
        char buffer[18];
        auto byteAt = [&](std::size_t index) {
            return index < bytes.size() ? static_cast<unsigned>(bytes[index]) : 0U;
        };
        std::snprintf(buffer, sizeof buffer, "%02x-%02x-%02x-%02x-%02x-%02x", byteAt(0), byteAt(1),
                      byteAt(2), byteAt(3), byteAt(4), byteAt(5));
        text = buffer;
        break;
    }
    case ValueType::Text: {
        const std::size_t limit =
            std::min(bytes.size(), static_cast<std::size_t>(std::max(row.size, 0)));
        const auto end = std::find(
            bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit), std::uint8_t{0});
        text.assign(bytes.begin(), end);
        break;
    }
    case ValueType::Flag: {
        const std::uint32_t number =
            isFlagSize(row.size) ? readUnsigned(bytes, row.size, order) : 0;
        const ValueList::Entry* named =
            entryWithValue(enumeration, static_cast<std::int32_t>(number));
        text = named != nullptr ? named->name : "Unknown";
        break;
    }
    case ValueType::None:
        break;
    }
    if (!row.unit.empty()) {
        text += "  ";
        text += row.unit;
    }
    return text;
}

EncodedValue encodeValue(const ParameterRow& row, const ValueList& definedValues,
                         const ValueList& enumeration, std::string_view shownText,
                         ByteOrder order) {
    const std::string_view text = withoutShownUnit(shownText, row.unit);
    const auto refused = [](ValueRefusal why) { return EncodedValue{{}, why}; };
    const auto accepted = [](std::vector<std::uint8_t> bytes) {
        return EncodedValue{std::move(bytes), std::nullopt};
    };
    const ValueType type = valueTypeOf(row.typeName);
    switch (type) {
    case ValueType::Byte:
    case ValueType::Short:
    case ValueType::SignedLong:
    case ValueType::UnsignedLong: {
        const int width = widthOf(type);
        if (const ValueList::Entry* named = entryNamed(definedValues, text)) {
            return accepted(numberBytes(static_cast<std::uint32_t>(named->value), width, order));
        }
        const auto number = readWholeNumber(numberText(text, row.unit));
        if (!number) {
            return refused(ValueRefusal::NotANumber);
        }
        const auto [lowest, highest] = numberRange(type);
        if (*number < lowest || *number > highest) {
            return refused(ValueRefusal::OutOfRange);
        }
        return accepted(numberBytes(static_cast<std::uint32_t>(*number), width, order));
    }
    case ValueType::Float: {
        std::string number = numberText(text, row.unit);
        if (number.size() > 1 && number[0] == '+' && number[1] != '-' && number[1] != '+') {
            number.erase(0, 1);
        }
        float value = 0.0F;
        const char* last = number.data() + number.size();
        const auto read = std::from_chars(number.data(), last, value);
        if (read.ec == std::errc::result_out_of_range && read.ptr == last) {
            // Below the smallest float the nearest one is zero; beyond the largest there is
            // no nearest one.
            if (!isBelowOne(number)) {
                return refused(ValueRefusal::OutOfRange);
            }
            value = number.front() == '-' ? -0.0F : 0.0F;
        } else if (read.ec != std::errc{} || read.ptr != last) {
            return refused(ValueRefusal::NotANumber);
        }
        return accepted(numberBytes(std::bit_cast<std::uint32_t>(value), 4, order));
    }
    case ValueType::Ip: {
        const auto address = readIpAddress(numberText(text, row.unit));
        if (!address) {
            return refused(ValueRefusal::NotAnAddress);
        }
        return accepted(numberBytes(*address, 4, order));
    }
    case ValueType::Mac: {
        const auto mac = parseMacText(numberText(text, row.unit));
        if (!mac) {
            return refused(ValueRefusal::NotAMac);
        }
        return accepted(std::vector<std::uint8_t>(mac->begin(), mac->end()));
    }
    case ValueType::Text: {
        // A text the row cannot hold whole would reach the unit cut: not what was typed.
        const std::size_t size = static_cast<std::size_t>(std::max(row.size, 0));
        if (text.size() > size) {
            return refused(ValueRefusal::TooLong);
        }
        std::vector<std::uint8_t> bytes(size, 0);
        std::copy(text.begin(), text.end(), bytes.begin());
        return accepted(std::move(bytes));
    }
    case ValueType::Flag: {
        if (!isFlagSize(row.size)) {
            return refused(ValueRefusal::NoValueBytes);
        }
        const ValueList::Entry* named = entryNamed(enumeration, text);
        if (named == nullptr) {
            return refused(ValueRefusal::UnknownName);
        }
        return accepted(numberBytes(static_cast<std::uint32_t>(named->value), row.size, order));
    }
    case ValueType::None:
        break;
    }
    return refused(ValueRefusal::NoValueBytes);
}

std::string refusalReason(const ParameterRow& row, ValueRefusal refusal) {
    const ValueType type = valueTypeOf(row.typeName);
    switch (refusal) {
    case ValueRefusal::NotANumber:
        return type == ValueType::Float ? "it is not a decimal number"
                                        : "it is neither a whole number nor a name of its values";
    case ValueRefusal::OutOfRange: {
        if (type == ValueType::Float) {
            return "it is outside the range of a single-precision float";
        }
        const auto [lowest, highest] = numberRange(type);
        return "a " + row.typeName + " holds numbers from " + std::to_string(lowest) + " to " +
               std::to_string(highest);
    }
    case ValueRefusal::NotAnAddress:
        return "an IP address is four numbers of 0 to 255 joined by points";
    case ValueRefusal::NotAMac:
        return "a MAC address is six hexadecimal pairs joined by \":\" or \"-\"";
    case ValueRefusal::UnknownName:
        return "it is none of the names of its values";
    case ValueRefusal::TooLong:
        return "it holds at most " + std::to_string(std::max(row.size, 0)) + " characters";
    case ValueRefusal::NoValueBytes:
        return "its type (" + row.typeName + ", size " + std::to_string(row.size) +
               ") carries no value that can be written";
    }
    return {};
}

std::string refusalMessage(const ParameterRow& row, std::string_view text, ValueRefusal refusal) {
    const std::string name = row.parameterName.empty() ? row.address : row.parameterName;
    return "Can't write \"" + std::string(text) + "\" to " + name + " (" + row.address +
           "): " + refusalReason(row, refusal) + ". Nothing was sent.";
}

} // namespace morvik
