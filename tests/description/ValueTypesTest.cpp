#include "description/ValueTypes.h"

#include <bit>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
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
    std::optional<Bytes> bytes;
    ValueList definedValues = {};
    ValueList enumeration = {};
};

TEST(ValueTypes, TextsEncodeToValueBytes) {
    const std::vector<EncodeCase> cases = {
        {"int -1", rowOf("int", 2), "-1", kLow, Bytes{0xFF, 0xFF}},
        {"int, high byte first", rowOf("int", 2), "4660", kHigh, Bytes{0x12, 0x34}},
        {"int keeps 16 bits", rowOf("unsigned int", 2), "65537", kLow, Bytes{0x01, 0x00}},
        {"long", rowOf("long", 4), "-2", kHigh, Bytes{0xFF, 0xFF, 0xFF, 0xFE}},
        {"unsigned long", rowOf("unsigned long", 4), "4294967295", kLow,
         Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
        {"char keeps 8 bits", rowOf("char", 1), "300", kLow, Bytes{0x2C}},
        {"not a number is 0", rowOf("int", 2), "abc", kLow, Bytes{0, 0}},
        {"C-style number reading", rowOf("int", 2), "  +12x7", kLow, Bytes{12, 0}},
        {"defined value name", rowOf("int", 2), "Disable", kLow, Bytes{0, 0},
         listOf({{"Disable", 0}})},
        {"defined value name of a char", rowOf("char", 1), "All", kLow, Bytes{0xFF},
         listOf({{"All", -1}})},
        {"names are case-sensitive", rowOf("int", 2), "disable", kLow, Bytes{0, 0},
         listOf({{"Disable", 7}})},
        {"unit stripped", rowOf("int", 2, "ms"), "250  ms", kLow, Bytes{0xFA, 0x00}},
        {"blanks removed with the unit", rowOf("long", 4, "ms"), "1 000 ms", kHigh,
         Bytes{0x00, 0x00, 0x03, 0xE8}},
        {"unit absent, nothing removed", rowOf("int", 2, "ms"), " 7 5", kLow, Bytes{7, 0}},
        {"multi-word name with unit loses its blanks", rowOf("int", 2, "s"), "No limit  s", kLow,
         Bytes{0, 0}, listOf({{"No limit", 9}})},
        {"IP, low byte first", rowOf("IP", 4), "4.3.2.1", kLow, Bytes{1, 2, 3, 4}},
        {"IP, high byte first", rowOf("IP", 4), "1.2.3.4", kHigh, Bytes{1, 2, 3, 4}},
        {"IP numbers keep 8 bits", rowOf("IP", 4), "256.257.-1.10", kHigh, Bytes{0, 1, 255, 10}},
        {"missing IP numbers are 0", rowOf("IP", 4), "192.168", kHigh, Bytes{192, 168, 0, 0}},
        {"MAC as shown", rowOf("MAC", 6), "00-1a-b2-03-ff-10", kHigh,
         Bytes{0x00, 0x1A, 0xB2, 0x03, 0xFF, 0x10}},
        {"MAC upper case", rowOf("MAC", 6), "0A-0B-0C-0D-0E-0F", kLow,
         Bytes{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}},
        {"missing MAC numbers are 0", rowOf("MAC", 6), "12-34", kLow,
         Bytes{0x12, 0x34, 0, 0, 0, 0}},
        {"float", rowOf("float", 4), "1.5", kLow, Bytes{0x00, 0x00, 0xC0, 0x3F}},
        {"float, high byte first", rowOf("float", 4), " -12.5", kHigh,
         Bytes{0xC1, 0x48, 0x00, 0x00}},
        {"float nearest single", rowOf("float", 4), "0.1", kHigh, Bytes{0x3D, 0xCC, 0xCC, 0xCD}},
        {"float overflow", rowOf("float", 4), "1e39", kHigh, Bytes{0x7F, 0x80, 0x00, 0x00}},
        {"float far overflow", rowOf("float", 4), "-1e999", kHigh, Bytes{0xFF, 0x80, 0x00, 0x00}},
        {"float not a number is 0", rowOf("float", 4), "x", kHigh, Bytes{0, 0, 0, 0}},
        {"text padded", rowOf("*char", 8), "abc", kLow, Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0}},
        {"text cut", rowOf("unsigned *char", 8), "abcdefghij", kLow,
         Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}},
        {"text of size 0", rowOf("*char", 0), "abc", kLow, Bytes{}},
        {"FLAG name", rowOf("FLAG", 2), "On", kHigh, Bytes{0x00, 0x01}, {}, kOffOn},
        {"FLAG of size 4", rowOf("FLAG", 4), "On", kLow, Bytes{1, 0, 0, 0}, {}, kOffOn},
        {"FLAG unit stripped", rowOf("FLAG", 1, "x"), "On  x", kLow, Bytes{1}, {}, kOffOn},
        {"FLAG without the name", rowOf("FLAG", 1), "Maybe", kLow, std::nullopt, {}, kOffOn},
        {"FLAG number is no name", rowOf("FLAG", 1), "1", kLow, std::nullopt, {}, kOffOn},
        {"FLAG of size 3", rowOf("FLAG", 3), "On", kLow, std::nullopt, {}, kOffOn},
        {"pointer-like type", rowOf("*long", 4), "5", kLow, std::nullopt},
        {"unknown type", rowOf("Int", 2), "5", kLow, std::nullopt},
    };
    for (const EncodeCase& c : cases) {
        EXPECT_EQ(encodeValue(c.row, c.definedValues, c.enumeration, c.text, c.order), c.bytes)
            << c.name;
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
    };
    for (ByteOrder order : {kLow, kHigh}) {
        for (const Case& c : cases) {
            const std::string shown =
                valueToText(c.row, c.definedValues, c.enumeration, c.bytes, order);
            EXPECT_EQ(encodeValue(c.row, c.definedValues, c.enumeration, shown, order), c.bytes)
                << c.row.typeName << " shown as " << shown;
        }
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
            EXPECT_EQ(encodeValue(row, kNoValues, kNoValues, shown, order), bytes) << shown;
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
