// Long answers on slow serial lines: a relay delivers every byte at the wire rate of the line,
// so an answer takes as long to arrive as it would on a real cable.
#include "rtu/Serivane.h"

#include "tests/support/fake_device.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/slow_pty_relay.h"

#include <gtest/gtest.h>

using namespace vanetest;

namespace {

CLabelVariable registersRecord(int count, int first)
{
    QList<unsigned short> values;
    for (int i = 0; i < count; ++i)
        values << static_cast<unsigned short>(first + i);
    CLabelVariable record;
    record.value = QVariant::fromValue(values);
    return record;
}

std::vector<uint16_t> registerRun(int count, int first)
{
    std::vector<uint16_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(static_cast<uint16_t>(first + i));
    return values;
}

QString connection(const SlowPtyRelay& relay)
{
    return QStringLiteral("%1,%2,8,1,N").arg(QString::fromStdString(relay.pathB())).arg(relay.baud());
}

// 125 registers make a 255-byte answer: about 266 ms on the wire at 9600 baud, several
// times what the bare answer wait would allow once the answer has begun.
TEST(SlowLine, At9600BaudTheLongestReadAndWriteAreCollectedWhole)
{
    SlowPtyRelay relay(9600);
    ASSERT_TRUE(relay.isReady());
    LibmodbusRtuPeer peer(relay.pathA(), 1, 9600);
    ASSERT_TRUE(peer.isOpen());
    peer.setHoldingRegisters(1000, registerRun(125, 0x4000));
    peer.setInputRegisters(2000, registerRun(125, 0x5000));
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(connection(relay)), 0);

    LogCapture log;
    for (int round = 0; round < 2; ++round) {
        CLabelVariable held = driver.ReadVariable(QStringLiteral("4x1000"), UInt16, 125);
        ASSERT_EQ(held.status, 0);
        EXPECT_EQ(held.atUInt16(0), 0x4000);
        EXPECT_EQ(held.atUInt16(124), 0x4000 + 124);
        CLabelVariable input = driver.ReadVariable(QStringLiteral("3x2000"), UInt16, 125);
        ASSERT_EQ(input.status, 0);
        EXPECT_EQ(input.atUInt16(124), 0x5000 + 124);
    }
    // The longest request: 123 registers, 255 bytes out.
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x3000"), UInt16, registersRecord(123, 0x6000), 123).status, 0);
    EXPECT_EQ(peer.holdingRegisters(3000, 123), registerRun(123, 0x6000));
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
    EXPECT_EQ(peer.requestCount(), 5);
}

// At 1200 baud one character takes 8.3 ms: far longer pauses between bytes than a 2 ms gap.
TEST(SlowLine, At1200BaudAnswersAreNotCutApart)
{
    SlowPtyRelay relay(1200);
    ASSERT_TRUE(relay.isReady());
    LibmodbusRtuPeer peer(relay.pathA(), 1, 1200);
    ASSERT_TRUE(peer.isOpen());
    peer.setHoldingRegisters(0, registerRun(40, 0x0A00));
    peer.setCoils(0, std::vector<bool>(100, true));
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(connection(relay)), 0);

    LogCapture log;
    CLabelVariable held = driver.ReadVariable(QStringLiteral("4x0"), UInt16, 40);
    ASSERT_EQ(held.status, 0);
    EXPECT_EQ(held.atUInt16(39), 0x0A00 + 39);
    CLabelVariable coils = driver.ReadVariable(QStringLiteral("0x0"), Bool, 100);
    ASSERT_EQ(coils.status, 0);
    EXPECT_TRUE(coils.atbool(99));
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x100"), UInt16, registersRecord(30, 7), 30).status, 0);
    EXPECT_EQ(peer.holdingRegisters(100, 30), registerRun(30, 7));
    // One after the other: no piece of an answer is left over for the next request.
    for (int i = 0; i < 3; ++i) {
        CLabelVariable one = driver.ReadVariable(QStringLiteral("4x%1").arg(i), UInt16, 1);
        ASSERT_EQ(one.status, 0);
        EXPECT_EQ(one.atUInt16(0), 0x0A00 + i);
    }
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
}

// A device that answers in pieces with pauses of several characters, at 1200 baud.
TEST(SlowLine, PausesWithinAnAnswerOfKnownSizeDoNotEndIt)
{
    SlowPtyRelay relay(1200);
    ASSERT_TRUE(relay.isReady());
    auto device = FakeDevice::openSerial(relay.pathA(), Framing::Rtu, [](const QByteArray& request) {
        const QByteArray answer = rtuPatternAnswer(request);
        return Replies{Reply::send(answer.left(3)), Reply::send(answer.mid(3, 4), 60), Reply::send(answer.mid(7), 60)};
    });
    ASSERT_TRUE(device && device->isReady());
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(connection(relay)), 0);
    CLabelVariable held = driver.ReadVariable(QStringLiteral("4x10"), UInt16, 4);
    ASSERT_EQ(held.status, 0);
    EXPECT_EQ(held.atUInt16(3), patternRegister(13));
}

} // namespace
