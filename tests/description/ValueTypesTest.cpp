#include "description/ValueTypes.h"

#include "description/ValueComparison.h"

#include <bit>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <variant>
#include <vector>

namespace morvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr ByteOrder kLow = ByteOrder::LeastSignificantFirst; // product codes below 50
constexpr ByteOrder kHigh = ByteOrder::MostSignificantFirst; // product codes 50 and above

ParameterRow rowOf(std::string type, std::int32_t size, std::string unit = "") {
    ParameterRow row;
    row.address = "1.1.1";
    row.typeName = std::move(type);
    row.size = size;
    row.unit = std::move(unit);
    return row;
}

ValueList listOf(std::initializer_list<ValueList::Entry> entries) {
    ValueList list;
    for (const auto& entry : entries) {
        list.add(entry.name, entry.value);
    }
    return list;
}

const ValueList kNoValues;
const ValueList kOffOn = listOf({{"Off", 0}, {"On", 1}});

struct ShowCase {
    const char* name;
    ParameterRow row;
    Bytes bytes;
    ByteOrder order;
    std::string shown;
    ValueList definedValues = {};
    ValueList enumeration = {};
};

TEST(ValueTypes, ValuesShowAsText) {
    const std::vector<ShowCase> cases = {
        {"int, low byte first", rowOf("int", 2), {0x34, 0x12}, kLow, "4660"},
        {"int, high byte first", rowOf("int", 2), {0x34, 0x12}, kHigh, "13330"},
        {"int is shown unsigned", rowOf("int", 2), {0xFF, 0xFF}, kLow, "65535"},
        {"unsigned int", rowOf("unsigned int", 2), {0x00, 0x80}, kHigh, "128"},
        {"long is signed", rowOf("long", 4), {0xFF, 0xFF, 0xFF, 0xFF}, kLow, "-1"},
        {"unsigned long", rowOf("unsigned long", 4), {0xFF, 0xFF, 0xFF, 0xFF}, kHigh, "4294967295"},
        {"long, high byte first", rowOf("long", 4), {0x00, 0x01, 0x00, 0x02}, kHigh, "65538"},
        {"char is 0 to 255", rowOf("char", 1), {0xC8}, kLow, "200"},
        {"unsigned char", rowOf("unsigned char", 1), {0x07}, kHigh, "7"},
        {"IP, low byte first", rowOf("IP", 4), {1, 2, 3, 4}, kLow, "4.3.2.1"},
        {"IP, high byte first", rowOf("IP", 4), {1, 2, 3, 4}, kHigh, "1.2.3.4"},
        {"MAC in message order",
         rowOf("MAC", 6),
         {0x00, 0x1A, 0xB2, 0x03, 0xFF, 0x10},
         kLow,
         "00-1a-b2-03-ff-10"},
        {"float", rowOf("float", 4), {0x00, 0x00, 0xC0, 0x3F}, kLow, "1.500000"},
        {"float, high byte first",
         rowOf("float", 4),
         {0xC1, 0x48, 0x00, 0x00},
         kHigh,
         "-12.500000"},
        {"text up to its zero byte",
         rowOf("*char", 8),
         {'a', 'b', 'c', 0, 'x', 0, 0, 0},
         kLow,
         "abc"},
        {"text cut to its size", rowOf("unsigned *char", 3), {'a', 'b', 'c'}, kLow, "abc"},
        {"text without zero byte", rowOf("*char", 2), {'a', 'b', 'c', 'd'}, kLow, "ab"},
        {"FLAG of size 2", rowOf("FLAG", 2), {0x00, 0x01}, kHigh, "On", {}, kOffOn},
        {"FLAG of size 2, low byte first", rowOf("FLAG", 2), {0x01, 0x00}, kLow, "On", {}, kOffOn},
        {"FLAG without a match", rowOf("FLAG", 1), {0x05}, kLow, "Unknown", {}, kOffOn},
        {"FLAG of size 3 reads 0", rowOf("FLAG", 3), {1, 1, 1}, kLow, "Off", {}, kOffOn},
        {"defined value 0", rowOf("int", 2), {0, 0}, kLow, "Disable", listOf({{"Disable", 0}})},
        {"first defined value wins",
         rowOf("long", 4),
         {5, 0, 0, 0},
         kLow,
         "A",
         listOf({{"A", 5}, {"B", 5}})},
        {"defined -1 of a long",
         rowOf("long", 4),
         {0xFF, 0xFF, 0xFF, 0xFF},
         kLow,
         "Auto",
         listOf({{"Auto", -1}})},
        {"char matches on the low 8 bits",
         rowOf("char", 1),
         {0xFF},
         kLow,
         "All",
         listOf({{"All", -1}})},
        {"unsigned char matches on the low 8 bits",
         rowOf("unsigned char", 1),
         {0x01},
         kLow,
         "One",
         listOf({{"One", 257}})},
        {"unit after two blanks", rowOf("int", 2, "ms"), {0xFA, 0x00}, kLow, "250  ms"},
        {"unit after a name",
         rowOf("int", 2, "sec"),
         {0, 0},
         kLow,
         "Off  sec",
         listOf({{"Off", 0}})},
        {"pointer-like type", rowOf("*int", 2), {1, 2}, kLow, ""},
        {"unknown type keeps its unit", rowOf("double", 8, "V"), {1, 2}, kLow, "  V"},
        {"missing bytes count as zero", rowOf("int", 1), {0x05}, kLow, "5"},
        {"missing bytes count as zero, high byte first", rowOf("int", 1), {0x05}, kHigh, "1280"},
        {"missing MAC bytes", rowOf("MAC", 2), {0xAB}, kLow, "ab-00-00-00-00-00"},
        {"empty IP", rowOf("IP", 0), {}, kLow, "0.0.0.0"},
    };
    for (const ShowCase& c : cases) {
        EXPECT_EQ(valueToText(c.row, c.definedValues, c.enumeration, c.bytes, c.order), c.shown)
            << c.name;
    }
}

struct EncodeCase {
    const char* name;
    ParameterRow row;
    std::string text;
    ByteOrder order;
    std::variant<Bytes, ValueRefusal> result;
    ValueList definedValues = {};
    ValueList enumeration = {};
};

void expectEncoding(const EncodeCase& c) {
    const EncodedValue encoded =
        encodeValue(c.row, c.definedValues, c.enumeration, c.text, c.order);
    if (const Bytes* bytes = std::get_if<Bytes>(&c.result)) {
        EXPECT_FALSE(encoded.refusal.has_value()) << c.name;
        EXPECT_EQ(encoded.bytes, *bytes) << c.name;
    } else {
        EXPECT_EQ(encoded.refusal, std::get<ValueRefusal>(c.result)) << c.name;
        EXPECT_TRUE(encoded.bytes.empty()) << c.name;
    }
}

const ValueList kLimits = listOf({{"No limit", 9}, {"Disabled", 255}});

TEST(ValueTypes, TextsEncodeToValueBytes) {
    const std::vector<EncodeCase> cases = {
        {"int -1", rowOf("int", 2), "-1", kLow, Bytes{0xFF, 0xFF}},
        {"int, high byte first", rowOf("int", 2), "4660", kHigh, Bytes{0x12, 0x34}},
        {"int beyond 16 bits", rowOf("unsigned int", 2), "65537", kLow, ValueRefusal::OutOfRange},
        {"long", rowOf("long", 4), "-2", kHigh, Bytes{0xFF, 0xFF, 0xFF, 0xFE}},
        {"unsigned long", rowOf("unsigned long", 4), "4294967295", kLow,
         Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
        {"char beyond 8 bits", rowOf("char", 1), "300", kLow, ValueRefusal::OutOfRange},
        {"not a number", rowOf("int", 2), "abc", kLow, ValueRefusal::NotANumber},
        {"number with trailing letters", rowOf("int", 2), "  +12x7", kLow,
         ValueRefusal::NotANumber},
        {"empty text of a number", rowOf("long", 4), "", kLow, ValueRefusal::NotANumber},
        {"sign alone", rowOf("char", 1), "-", kLow, ValueRefusal::NotANumber},
        {"defined value name", rowOf("int", 2), "Disable", kLow, Bytes{0, 0},
         listOf({{"Disable", 0}})},
        {"defined value name of a char", rowOf("char", 1), "All", kLow, Bytes{0xFF},
         listOf({{"All", -1}})},
        {"names are case-sensitive", rowOf("int", 2), "disable", kLow, ValueRefusal::NotANumber,
         listOf({{"Disable", 7}})},
        {"unit stripped", rowOf("int", 2, "ms"), "250  ms", kLow, Bytes{0xFA, 0x00}},
        {"seconds with their unit", rowOf("int", 2, "s"), "30  s", kHigh, Bytes{0x00, 30}},
        {"grouped digits with their unit", rowOf("long", 4, "ms"), "1 500  ms", kHigh,
         Bytes{0x00, 0x00, 0x05, 0xDC}},
        {"unit after one blank", rowOf("long", 4, "ms"), "1 000 ms", kHigh,
         Bytes{0x00, 0x00, 0x03, 0xE8}},
        {"unit of digits stays part of a number typed without it", rowOf("int", 2, "10"), "2010",
         kLow, Bytes{0xDA, 0x07}},
        {"unit of digits after its two blanks", rowOf("int", 2, "10"), "20  10", kLow,
         Bytes{20, 0}},
        {"blanks inside a number without a unit", rowOf("int", 2, "ms"), " 7 5", kLow,
         Bytes{75, 0}},
        {"multi-word name with unit", rowOf("int", 2, "s"), "No limit  s", kLow, Bytes{9, 0},
         kLimits},
        {"name holding the unit's letter", rowOf("unsigned char", 1, "s"), "Disabled  s", kLow,
         Bytes{255}, kLimits},
        {"name typed without its unit", rowOf("int", 2, "s"), "No limit", kHigh, Bytes{0, 9},
         kLimits},
        {"lowest int", rowOf("int", 2), "-32768", kLow, Bytes{0x00, 0x80}},
        {"below the lowest int", rowOf("int", 2), "-32769", kLow, ValueRefusal::OutOfRange},
        {"lowest char", rowOf("char", 1), "-128", kLow, Bytes{0x80}},
        {"below the lowest char", rowOf("unsigned char", 1), "-129", kLow,
         ValueRefusal::OutOfRange},
        {"beyond 32 bits", rowOf("unsigned long", 4), "4294967296", kLow, ValueRefusal::OutOfRange},
        {"below the lowest long", rowOf("long", 4), "-2147483649", kLow, ValueRefusal::OutOfRange},
        {"far beyond 64 bits", rowOf("long", 4), "99999999999999999999999", kLow,
         ValueRefusal::OutOfRange},
        {"IP, low byte first", rowOf("IP", 4), "4.3.2.1", kLow, Bytes{1, 2, 3, 4}},
        {"IP, high byte first", rowOf("IP", 4), "1.2.3.4", kHigh, Bytes{1, 2, 3, 4}},
        {"IP number over 255", rowOf("IP", 4), "999.1.1.1", kHigh, ValueRefusal::NotAnAddress},
        {"IP number 256", rowOf("IP", 4), "1.2.3.256", kHigh, ValueRefusal::NotAnAddress},
        {"negative IP number", rowOf("IP", 4), "1.-2.3.4", kHigh, ValueRefusal::NotAnAddress},
        {"IP with three numbers", rowOf("IP", 4), "192.168.1", kHigh, ValueRefusal::NotAnAddress},
        {"IP with five numbers", rowOf("IP", 4), "1.2.3.4.5", kHigh, ValueRefusal::NotAnAddress},
        {"IP with an empty number", rowOf("IP", 4), "1..3.4", kHigh, ValueRefusal::NotAnAddress},
        {"IP with its unit", rowOf("IP", 4, "addr"), "10.0.0.1  addr", kHigh, Bytes{10, 0, 0, 1}},
        {"MAC as shown", rowOf("MAC", 6), "00-1a-b2-03-ff-10", kHigh,
         Bytes{0x00, 0x1A, 0xB2, 0x03, 0xFF, 0x10}},
        {"MAC upper case", rowOf("MAC", 6), "0A-0B-0C-0D-0E-0F", kLow,
         Bytes{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}},
        {"MAC as the device list shows it", rowOf("MAC", 6), "02:1A:2B:3C:4D:5E", kLow,
         Bytes{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {"MAC with five pairs", rowOf("MAC", 6), "12-34-56-78-9a", kLow, ValueRefusal::NotAMac},
        {"MAC with seven pairs", rowOf("MAC", 6), "12-34-56-78-9a-bc-de", kLow,
         ValueRefusal::NotAMac},
        {"MAC with a letter beyond f", rowOf("MAC", 6), "12-34-56-78-9a-bg", kLow,
         ValueRefusal::NotAMac},
        {"MAC of decimal numbers", rowOf("MAC", 6), "2-26-43-60-77-94", kLow,
         ValueRefusal::NotAMac},
        {"float", rowOf("float", 4), "1.5", kLow, Bytes{0x00, 0x00, 0xC0, 0x3F}},
        {"float, high byte first", rowOf("float", 4), " -12.5", kHigh,
         Bytes{0xC1, 0x48, 0x00, 0x00}},
        {"float with a plus sign", rowOf("float", 4, "V"), "+1.5  V", kLow,
         Bytes{0x00, 0x00, 0xC0, 0x3F}},
        {"float nearest single", rowOf("float", 4), "0.1", kHigh, Bytes{0x3D, 0xCC, 0xCC, 0xCD}},
        // Just below the midpoint of two singles: rounding through double first lands on the
        // midpoint and then on the even neighbour, the wrong one.
        {"float rounded once", rowOf("float", 4), "1.00000017881393432617187499", kHigh,
         Bytes{0x3F, 0x80, 0x00, 0x01}},
        {"float overflow", rowOf("float", 4), "1e39", kHigh, ValueRefusal::OutOfRange},
        {"float far overflow", rowOf("float", 4), "-1e999", kHigh, ValueRefusal::OutOfRange},
        {"float below the smallest", rowOf("float", 4), "1e-50", kHigh, Bytes{0, 0, 0, 0}},
        {"float far below the smallest", rowOf("float", 4),
         "-0.000000000000000000000000000000000000000000000000001", kHigh, Bytes{0x80, 0, 0, 0}},
        {"float below the smallest, scaled up", rowOf("float", 4), "0.00001e-45", kHigh,
         Bytes{0, 0, 0, 0}},
        {"float beyond the largest, scaled down", rowOf("float", 4), "1000000e33", kHigh,
         ValueRefusal::OutOfRange},
        {"smallest float", rowOf("float", 4), "1.4e-45", kHigh, Bytes{0, 0, 0, 1}},
        {"float not a number", rowOf("float", 4), "x", kHigh, ValueRefusal::NotANumber},
        {"float with trailing text", rowOf("float", 4), "1.5x", kHigh, ValueRefusal::NotANumber},
        {"float with a decimal comma", rowOf("float", 4), "1,5", kHigh, ValueRefusal::NotANumber},
        {"text padded", rowOf("*char", 8), "abc", kLow, Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0}},
        {"text filling its size", rowOf("*char", 3), "abc", kLow, Bytes{'a', 'b', 'c'}},
        {"text beyond its size", rowOf("unsigned *char", 8), "abcdefghij", kLow,
         ValueRefusal::TooLong},
        {"text of size 0", rowOf("*char", 0), "abc", kLow, ValueRefusal::TooLong},
        {"text keeps its blanks, loses its unit", rowOf("*char", 5, "x"), "a b  x", kLow,
         Bytes{'a', ' ', 'b', 0, 0}},
        {"FLAG name", rowOf("FLAG", 2), "On", kHigh, Bytes{0x00, 0x01}, {}, kOffOn},
        {"FLAG of size 4", rowOf("FLAG", 4), "On", kLow, Bytes{1, 0, 0, 0}, {}, kOffOn},
        {"FLAG unit stripped", rowOf("FLAG", 1, "x"), "On  x", kLow, Bytes{1}, {}, kOffOn},
        {"FLAG name of two words with a unit",
         rowOf("FLAG", 1, "x"),
         "Half duplex  x",
         kLow,
         Bytes{2},
         {},
         listOf({{"Full duplex", 1}, {"Half duplex", 2}})},
        {"FLAG without the name",
         rowOf("FLAG", 1),
         "Maybe",
         kLow,
         ValueRefusal::UnknownName,
         {},
         kOffOn},
        {"FLAG number is no name",
         rowOf("FLAG", 1),
         "1",
         kLow,
         ValueRefusal::UnknownName,
         {},
         kOffOn},
        {"FLAG of size 3", rowOf("FLAG", 3), "On", kLow, ValueRefusal::NoValueBytes, {}, kOffOn},
        {"pointer-like type", rowOf("*long", 4), "5", kLow, ValueRefusal::NoValueBytes},
        {"unknown type", rowOf("Int", 2), "5", kLow, ValueRefusal::NoValueBytes},
    };
    for (const EncodeCase& c : cases) {
        expectEncoding(c);
    }
}

// A refusal names the parameter, the text and why, so the user can mend it.
TEST(ValueTypes, RefusalMessagesNameParameterValueAndReason) {
    ParameterRow row = rowOf("char", 1);
    row.parameterName = "Retry count";
    const EncodedValue encoded = encodeValue(row, kNoValues, kNoValues, "300", kLow);
    ASSERT_TRUE(encoded.refusal.has_value());
    const std::string message = refusalMessage(row, "300", *encoded.refusal);
    for (const char* part :
         {"Retry count", "1.1.1", "\"300\"", "-128 to 255", "Nothing was sent"}) {
        EXPECT_NE(message.find(part), std::string::npos) << message << " lacks " << part;
    }
}

// What the list shows for a value must give back the same bytes when it is written.
TEST(ValueTypes, ShownTextsEncodeBackToTheirBytes) {
    struct Case {
        ParameterRow row;
        Bytes bytes;
        ValueList definedValues = {};
        ValueList enumeration = {};
    };
    const std::vector<Case> cases = {
        {rowOf("IP", 4), {1, 2, 3, 4}},
        {rowOf("IP", 4, "addr"), {192, 168, 0, 254}},
        {rowOf("MAC", 6), {0x00, 0x1A, 0xB2, 0x03, 0xFF, 0x10}},
        {rowOf("int", 2, "ms"), {0x34, 0x12}},
        {rowOf("long", 4), {0xFE, 0xFF, 0xFF, 0xFF}},
        {rowOf("unsigned long", 4, "s"), {0xFF, 0xFF, 0xFF, 0xFF}},
        {rowOf("char", 1), {0x90}, listOf({{"High", 0x90}})},
        {rowOf("*char", 6), {'h', 'i', 0, 0, 0, 0}},
        {rowOf("FLAG", 1), {0x01}, {}, kOffOn},
        {rowOf("int", 2), {0, 0}, listOf({{"Disable", 0}})},
        {rowOf("int", 2, "s"), {9, 0}, kLimits},
        {rowOf("unsigned char", 1, "s"), {255}, kLimits},
        {rowOf("FLAG", 1, "x"), {0x02}, {}, listOf({{"Full duplex", 1}, {"Half duplex", 2}})},
        {rowOf("*char", 6, "x"), {'a', ' ', 'b', 0, 0, 0}},
    };
    for (ByteOrder order : {kLow, kHigh}) {
        for (const Case& c : cases) {
            const std::string shown =
                valueToText(c.row, c.definedValues, c.enumeration, c.bytes, order);
            const EncodedValue encoded =
                encodeValue(c.row, c.definedValues, c.enumeration, shown, order);
            EXPECT_TRUE(encoded) << c.row.typeName << " shown as " << shown;
            EXPECT_EQ(encoded.bytes, c.bytes) << c.row.typeName << " shown as " << shown;
        }
    }
}

// Texts that give a row the same bytes are one value; a text that gives none equals only itself.
TEST(ValueTypes, TextsOfOneValueAreTheSameValue) {
    const struct Case {
        ParameterRow row;
        const char* first;
        const char* second;
        bool same;
    } cases[] = {
        {rowOf("unsigned int", 2, "bytes"), "1500", "1500  bytes", true},
        {rowOf("IP", 4), "192.168.010.021", "192.168.10.21", true},
        {rowOf("MAC", 6), "02-1a-2b-3c-4d-5e", "02:1A:2B:3C:4D:5E", true},
        {rowOf("float", 4, "V"), "1.5", "1.500000  V", true},
        {rowOf("unsigned int", 2), "1500", "1501", false},
        {rowOf("*char", 4), "a b", "a_b", false},
        {rowOf("*char", 4), "too long", "too long", true},
        {rowOf("IP", 4), "", "0.0.0.0", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sameValue(c.row, c.first, c.second), c.same) << c.first << " | " << c.second;
    }
}

TEST(ValueTypes, ShownFloatsEncodeBackToTheirBytes) {
    const ParameterRow row = rowOf("float", 4, "V");
    for (ByteOrder order : {kLow, kHigh}) {
        for (float value :
             {1.5F, -12.5F, 1234.25F, 0.0F, 3.0e38F, std::numeric_limits<float>::infinity()}) {
            Bytes bytes(4);
            writeUnsigned(bytes.data(), std::bit_cast<std::uint32_t>(value), 4, order);
            const std::string shown = valueToText(row, kNoValues, kNoValues, bytes, order);
            const EncodedValue encoded = encodeValue(row, kNoValues, kNoValues, shown, order);
            EXPECT_TRUE(encoded) << shown;
            EXPECT_EQ(encoded.bytes, bytes) << shown;
        }
    }
}

TEST(ValueTypes, ReadDecimalFollowsTheCLibrary) {
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    for (const Case& c :
         {Case{"", 0}, Case{"x1", 0}, Case{"  \t42abc", 42}, Case{"-1", 0xFFFFFFFFU}, Case{"+7", 7},
          Case{"- 7", 0}, Case{"4294967296", 0}, Case{"4294967297", 1},
          Case{"-2147483648", 0x80000000U}}) {
        EXPECT_EQ(readDecimal(c.text), c.value) << c.text;
    }
}

} // namespace
} // namespace morvik
