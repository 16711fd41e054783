#include "controls/CellTextFitting.h"
#include "controls/DeviceTreeCompare.h"
#include "controls/DeviceTreeRow.h"
#include "support/CaseNames.h"

#include <QFont>
#include <QFontMetrics>
#include <gtest/gtest.h>
#include <ostream>

namespace morvik {
namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

struct OrderCase {
    const char* first;
    const char* second;
    int expected; // -1: first sorts before second ascending
};

void PrintTo(const OrderCase& c, std::ostream* out) {
    *out << '"' << c.first << "\" vs \"" << c.second << '"';
}

class DeviceTreeOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(DeviceTreeOrder, ComparesAsTheDeviceListSorts) {
    const OrderCase& c = GetParam();
    EXPECT_EQ(
        sign(compareDeviceTreeTexts(QString::fromLatin1(c.first), QString::fromLatin1(c.second))),
        c.expected);
    EXPECT_EQ(
        sign(compareDeviceTreeTexts(QString::fromLatin1(c.second), QString::fromLatin1(c.first))),
        -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DeviceTreeOrder,
    ::testing::Values(
        // Same prefix: the first number decides.
        OrderCase{"Unit 9", "Unit 10", -1}, OrderCase{"Unit 10", "Unit 100", -1},
        OrderCase{"Unit 007", "Unit 8", -1},
        // Equal numbers: as text, ignoring case.
        OrderCase{"Unit 9a", "unit 9B", -1}, OrderCase{"Unit 9a", "Unit 9b", -1},
        // Only the first number counts: addresses sharing it compare as text.
        OrderCase{"192.168.0.10", "192.168.0.9", -1}, OrderCase{"10.0.0.1", "9.0.0.1", 1},
        OrderCase{"127.77.0.2", "127.77.0.10", 1},
        // Different prefixes, compared exactly: as text, ignoring case.
        OrderCase{"unit 10", "Unit 9", -1}, OrderCase{"alpha 2", "Beta 1", -1},
        // No digits at all: as text, ignoring case.
        OrderCase{"dock", "DOCK", 0}, OrderCase{"dock", "Lab", -1},
        // Digits on one side only: the prefixes differ.
        OrderCase{"lab", "lab2", -1},
        // Numbers far beyond any integer type still order by value.
        OrderCase{"u 99999999999999999999999", "u 100000000000000000000000", -1},
        OrderCase{"02:4D:56:00:00:0A", "02:4D:56:00:00:09", 1}),
    [](const auto& info) {
        return morvik::testing::caseName(std::string(info.param.first) + " vs " +
                                         info.param.second);
    });

TEST(CellTextFitting, KeepsATextThatFitsWithItsMargin) {
    const QFontMetrics metrics{QFont()};
    const QString text = QStringLiteral("vela1-dock");
    const int width = metrics.horizontalAdvance(text);
    EXPECT_EQ(fitCellText(text, metrics, width + 8), text);
}

TEST(CellTextFitting, DropsOneCharacterMoreThanFitsAndAddsDots) {
    const QFontMetrics metrics{QFont()};
    const QString text = QStringLiteral("orion16-rack-north");
    // Room for exactly "orion16-rac": the cell shows "orion16-ra...".
    const int room = metrics.horizontalAdvance(QStringLiteral("orion16-rac"));
    EXPECT_EQ(fitCellText(text, metrics, room + 8), QStringLiteral("orion16-ra..."));
    EXPECT_EQ(fitCellText(text, metrics, 9), QStringLiteral("..."));
    EXPECT_EQ(fitCellText(text, metrics, 0), QStringLiteral("..."));
}

TEST(DeviceTreeRow, ReadsMissingFieldsAsEmptyAndPadsOnWrite) {
    DeviceTreeRow row(QStringLiteral("dock"));
    row.setField(1, QStringLiteral("127.77.0.1"));
    row.setField(2, QStringLiteral("02:4D:56:00:00:01"));
    EXPECT_EQ(row.fieldCount(), 3);
    EXPECT_EQ(row.field(3), QString());
    EXPECT_EQ(row.field(-1), QString());
    row.setField(4, QStringLiteral("1.2"));
    EXPECT_EQ(row.fieldCount(), 5);
    EXPECT_EQ(row.field(3), QString());
    EXPECT_EQ(row.field(4), QStringLiteral("1.2"));
    EXPECT_EQ(row.field(0), QStringLiteral("dock"));
    row.setField(1, QStringLiteral("127.77.0.9"));
    EXPECT_EQ(row.field(1), QStringLiteral("127.77.0.9"));
    EXPECT_EQ(row.field(2), QStringLiteral("02:4D:56:00:00:01"));
}

} // namespace
} // namespace morvik
