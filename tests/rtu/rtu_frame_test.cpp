// CRC-16/MODBUS and the sizing of RTU answers from their first bytes.
#include "rtu/CmdModbusRTU.h"
#include "rtu/rtu_frame.h"

#include <gtest/gtest.h>

using vane::rtu::answerSize;
using vane::rtu::crc16Modbus;

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

TEST(Crc16Modbus, LinkMemberTakesAOneByteLength)
{
    CmdModbusRTU link;
    EXPECT_EQ(link.CRC_Check(hex("010300000001"), 6), 0x0A84);
    const QByteArray long300(300, '\x5a');
    // 300 taken as one byte is 44.
    EXPECT_EQ(link.CRC_Check(long300, static_cast<unsigned char>(300)), crc16Modbus(long300, 44));
}

TEST(RtuAnswerSize, ExceptionAnswersTakeFiveBytes)
{
    EXPECT_EQ(answerSize(hex("0183"), 3, 13), 5);
    EXPECT_EQ(answerSize(hex("018f02"), 15, 8), 5);
}

TEST(RtuAnswerSize, ReadAnswersFollowTheExpectedSizeOrTheirByteCount)
{
    EXPECT_EQ(answerSize(hex("010304"), 3, 0), 9);
    EXPECT_EQ(answerSize(hex("0101fa"), 1, 0), 255);
    // The transaction's expectation wins over a wrong byte count for the function it asked.
    EXPECT_EQ(answerSize(hex("010304"), 3, 13), 13);
    // An answer with another function code sizes itself.
    EXPECT_EQ(answerSize(hex("010402"), 3, 13), 7);
}

TEST(RtuAnswerSize, WriteAnswersTakeEightBytes)
{
    for (const char* start : {"0105", "0106", "010f", "0110"})
        EXPECT_EQ(answerSize(hex(start), 1, 0), 8) << start;
}

TEST(RtuAnswerSize, TooFewBytesAskForTheShortestAnswerUnknownFunctionsForAGap)
{
    EXPECT_EQ(answerSize(QByteArray(), 3, 0), 5);
    EXPECT_EQ(answerSize(hex("01"), 3, 13), 5);
    EXPECT_EQ(answerSize(hex("0103"), 3, 0), 5);
    EXPECT_EQ(answerSize(hex("0107"), 3, 0), 0);
    EXPECT_EQ(answerSize(hex("012b0e"), 3, 13), 0);
}
