// CRC-16/MODBUS, as both links frame and check serial answers with it.
#include "modbus/protocol/crc16.h"

#include <gtest/gtest.h>

#include <algorithm>

using vane::modbus::crc16Modbus;

namespace {
QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
} // namespace

TEST(Crc16Modbus, MatchesPublishedValues)
{
    EXPECT_EQ(crc16Modbus(hex("010300000001"), 6), 0x0A84);
    // The catalogue check value of CRC-16/MODBUS.
    EXPECT_EQ(crc16Modbus(QByteArray("123456789"), 9), 0x4B37);
    // A frame followed by its CRC, low byte first, leaves a remainder of 0.
    EXPECT_EQ(crc16Modbus(hex("010300000001840a"), 8), 0x0000);
    EXPECT_EQ(crc16Modbus(hex("0103020001"), 5), crc16Modbus(hex("0103020001ffff"), 5));
    EXPECT_EQ(crc16Modbus(hex("11"), 0), 0xFFFF);
    EXPECT_EQ(crc16Modbus(QByteArray(), 0), 0xFFFF);
}

TEST(Crc16Modbus, CoversExactlyTheGivenLengthAndReadsZerosPastTheEnd)
{
    EXPECT_EQ(crc16Modbus(hex("0103"), 4), crc16Modbus(hex("01030000"), 4));
    EXPECT_NE(crc16Modbus(hex("0103"), 4), crc16Modbus(hex("0103"), 2));
    // High bytes must not be sign-extended whatever the signedness of char.
    EXPECT_EQ(crc16Modbus(hex("ff"), 1), 0x00FF);
    EXPECT_EQ(crc16Modbus(hex("80ff"), 2), crc16Modbus(hex("80ff00"), 2));
}

TEST(Crc16Modbus, EqualsTheBitwiseRuleForEveryLengthAndStart)
{
    const auto bitwise = [](const QByteArray& bytes, int from, int length) {
        unsigned int crc = 0xFFFF;
        for (int i = from; i < from + length; ++i) {
            crc ^= static_cast<unsigned char>(bytes[i]);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        }
        return static_cast<unsigned short>(crc);
    };
    QByteArray bytes(300, '\0');
    unsigned int seed = 12345;
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    for (int from = 0; from < 8; ++from)
        for (int length = 0; from + length <= bytes.size(); ++length) {
            const unsigned short expected = bitwise(bytes, from, length);
            ASSERT_EQ(crc16Modbus(bytes.constData() + from, length), expected) << from << "+" << length;
            // Going on from the CRC of a first part.
            const int part = std::min(length, 3);
            const unsigned short start = crc16Modbus(bytes.constData() + from, part);
            ASSERT_EQ(crc16Modbus(bytes.constData() + from + part, length - part, start), expected) << from << "+" << length;
        }
}
