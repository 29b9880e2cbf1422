// Tag addresses: a two-character area prefix at the start, then the offset in decimal digits.
#include <gtest/gtest.h>

#include <limits>

#include "modbus/protocol/tag_address.h"

using vane::modbus::offsetOf;
using vane::modbus::parseTagAddress;
using vane::modbus::Table;
using vane::modbus::withinTable;

TEST(TagAddress, PrefixesInEitherCase)
{
    const struct {
        const char* text;
        Table table;
        qint64 offset;
    } cases[] = {
        {"0x7", Table::Coils, 7},
        {"0X7", Table::Coils, 7},
        {"1x0", Table::DiscreteInputs, 0},
        {"1X3", Table::DiscreteInputs, 3},
        {"3x65535", Table::InputRegisters, 65535},
        {"4x100", Table::HoldingRegisters, 100},
        {"4X100", Table::HoldingRegisters, 100},
        {"4x007", Table::HoldingRegisters, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto tag = parseTagAddress(QString::fromLatin1(c.text));
        EXPECT_EQ(tag.table, c.table);
        EXPECT_EQ(tag.offset, c.offset);
    }
}

TEST(TagAddress, NoOffsetAfterThePrefix)
{
    const auto tag = parseTagAddress(QStringLiteral("4x"));
    EXPECT_EQ(tag.table, Table::HoldingRegisters);
    EXPECT_EQ(tag.offset, -1);
    EXPECT_EQ(parseTagAddress(QString()).offset, -1);
    EXPECT_EQ(parseTagAddress(QString()).table, Table::None);
}

TEST(TagAddress, AnythingButDigitsAfterAKnownPrefixHasNoArea)
{
    for (const char* text : {"4x1a", "5x100", "x100", " 4x100", "4x 100", "4x100 ", "4x+5", "ab4x100", "0x10x", "4x-5"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseTagAddress(QString::fromLatin1(text)).table, Table::None);
    }
}

TEST(TagAddress, NegativeOffsetTextConverts)
{
    // Reported as a bad address before the area is looked at.
    EXPECT_EQ(offsetOf(QStringLiteral("4x-5")), -5);
}

TEST(TagAddress, OffsetsTooLargeForAnIntAreMissing)
{
    EXPECT_EQ(offsetOf(QStringLiteral("4x99999999999")), -1);
    EXPECT_EQ(offsetOf(QStringLiteral("4x2147483648")), -1);
    EXPECT_EQ(offsetOf(QStringLiteral("4x2147483647")), 2147483647);
    EXPECT_EQ(parseTagAddress(QStringLiteral("4x99999999999")).offset, -1);
}

TEST(TagAddress, RangeIsOffsetPlusCountWithoutOverflow)
{
    EXPECT_TRUE(withinTable(65534, 1));
    EXPECT_FALSE(withinTable(65535, 1));
    EXPECT_TRUE(withinTable(0, 65535));
    EXPECT_FALSE(withinTable(0, 65536));
    EXPECT_TRUE(withinTable(65535, 0));
    EXPECT_FALSE(withinTable(1, std::numeric_limits<int>::max()));
    EXPECT_FALSE(withinTable(std::numeric_limits<int>::max(), std::numeric_limits<int>::max()));
}
