#include "description/ValueTypes.h"

#include "description/LayoutScanner.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace morvik {

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

ValueType valueTypeOf(const std::string& typeName) {
    if (typeName == "char" || typeName == "unsigned char") {
        return ValueType::Byte;
    }
    if (typeName == "int" || typeName == "unsigned int") {
        return ValueType::Short;
    }
    if (typeName == "long") {
        return ValueType::SignedLong;
    }
    if (typeName == "unsigned long") {
        return ValueType::UnsignedLong;
    }
    if (typeName == "float") {
        return ValueType::Float;
    }
    if (typeName == "IP") {
        return ValueType::Ip;
    }
    if (typeName == "MAC") {
        return ValueType::Mac;
    }
    if (typeName == "*char" || typeName == "unsigned *char") {
        return ValueType::Text;
    }
    if (typeName == "FLAG") {
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

// Decimal floating-point text, independent of the process locale; no number gives 0.
float readFloat(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' ||
                                text[at] == '\r' || text[at] == '\v' || text[at] == '\f')) {
        ++at;
    }
    if (at < text.size() && text[at] == '+') {
        ++at;
    }
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    double value = 0.0;
    const auto read = std::from_chars(first, last, value);
    if (read.ec == std::errc::invalid_argument) {
        return 0.0F;
    }
    const bool negative = first != last && *first == '-';
    if (read.ec == std::errc::result_out_of_range) {
        const std::string_view number(first, static_cast<std::size_t>(read.ptr - first));
        const std::size_t exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                          number[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return static_cast<float>(negative ? -value : value);
    }
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        const float infinity = std::numeric_limits<float>::infinity();
        return value < 0 ? -infinity : infinity;
    }
    return static_cast<float>(value);
}

std::vector<std::uint8_t> numberBytes(std::uint32_t value, int width, ByteOrder order) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width));
    writeUnsigned(bytes.data(), value, width, order);
    return bytes;
}

// A defined value's name, else the text read as a decimal number.
std::uint32_t namedOrDecimal(const ValueList& definedValues, std::string_view text) {
    const ValueList::Entry* named = entryNamed(definedValues, text);
    return named != nullptr ? static_cast<std::uint32_t>(named->value) : readDecimal(text);
}

std::string numberText(const ValueType type, std::uint32_t number, const ValueList& definedValues,
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
        text = numberText(type, readUnsigned(bytes, 1, order), definedValues, 0xFFU);
        break;
    case ValueType::Short:
        text = numberText(type, readUnsigned(bytes, 2, order), definedValues, 0xFFFFFFFFU);
        break;
    case ValueType::SignedLong:
    case ValueType::UnsignedLong:
        text = numberText(type, readUnsigned(bytes, 4, order), definedValues, 0xFFFFFFFFU);
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

std::optional<std::vector<std::uint8_t>> encodeValue(const ParameterRow& row,
                                                     const ValueList& definedValues,
                                                     const ValueList& enumeration,
                                                     std::string_view shownText, ByteOrder order) {
    std::string text(shownText);
    if (!row.unit.empty()) {
        const std::size_t unitAt = text.find(row.unit);
        if (unitAt != std::string::npos) {
            text.erase(unitAt, row.unit.size());
            std::erase(text, ' ');
        }
    }
    switch (valueTypeOf(row.typeName)) {
    case ValueType::Byte:
        return numberBytes(namedOrDecimal(definedValues, text), 1, order);
    case ValueType::Short:
        return numberBytes(namedOrDecimal(definedValues, text), 2, order);
    case ValueType::SignedLong:
    case ValueType::UnsignedLong:
        return numberBytes(namedOrDecimal(definedValues, text), 4, order);
    case ValueType::Float:
        return numberBytes(std::bit_cast<std::uint32_t>(readFloat(text)), 4, order);
    case ValueType::Ip: {
        // Missing numbers are 0; each number keeps its low 8 bits.
        LayoutScanner input(text);
        const LayoutScanner::Result read = input.scan("%d.%d.%d.%d");
        std::uint32_t address = 0;
        for (std::size_t octet = 0; octet < 4; ++octet) {
            address = (address << 8) | (static_cast<std::uint32_t>(read.numbers[octet]) & 0xFFU);
        }
        return numberBytes(address, 4, order);
    }
    case ValueType::Mac: {
        // Read as the hexadecimal pairs the value column shows, so a shown MAC goes back
        // unchanged; missing numbers are 0.
        LayoutScanner input(text);
        const LayoutScanner::Result read = input.scan("%x-%x-%x-%x-%x-%x");
        std::vector<std::uint8_t> bytes(6);
        for (std::size_t index = 0; index < bytes.size(); ++index) {
            bytes[index] = static_cast<std::uint8_t>(read.numbers[index]);
        }
        return bytes;
    }
    case ValueType::Text: {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(row.size, 0)), 0);
        std::copy_n(text.begin(), std::min(text.size(), bytes.size()), bytes.begin());
        return bytes;
    }
    case ValueType::Flag: {
        const ValueList::Entry* named = entryNamed(enumeration, text);
        if (named == nullptr || !isFlagSize(row.size)) {
            return std::nullopt;
        }
        return numberBytes(static_cast<std::uint32_t>(named->value), row.size, order);
    }
    case ValueType::None:
        break;
    }
    return std::nullopt;
}

} // namespace morvik
