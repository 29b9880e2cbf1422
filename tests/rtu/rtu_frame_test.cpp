// The link's CRC member and the sizing of RTU answers from their first bytes.
#include "modbus/protocol/crc16.h"
#include "rtu/CmdModbusRTU.h"
#include "rtu/rtu_frame.h"

#include <gtest/gtest.h>

using vane::modbus::crc16Modbus;
using vane::rtu::answerSize;

namespace {
QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
} // namespace

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
