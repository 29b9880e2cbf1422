// Modbus TCP frames over a serial line: the driver's serial transport against a fake device on
// the far end of a pty pair, and against one behind a line paced at its baud rate.

#include "tcp/Netvane.h"
#include "tcp_test_env.h"

#include "tests/support/event_wait.h"
#include "tests/support/fake_device.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"
#include "tests/support/slow_pty_relay.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <termios.h>

using namespace tcptest;
using namespace vanetest;

namespace {

Replies patternReplies(const QByteArray& request) { return {Reply::send(mbapPatternAnswer(request))}; }

class SerialFakeDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        device = FakeDevice::openSerial(pty.pathB(), Framing::Mbap, patternReplies);
        ASSERT_TRUE(device->isReady());
        ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathA()) + ",19200,8,1,N"), 0);
    }

    PtyPair pty;
    std::unique_ptr<FakeDevice> device;
    Netvane driver;
};

} // namespace

TEST_F(SerialFakeDevice, ReadsAndWritesGetTheirAnswersWithinTheExchange)
{
    driver.SetConnectPar("12");
    CLabelVariable record = driver.ReadVariable("4x50", UInt16, 3);
    ASSERT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(),
              (QList<unsigned short>{patternRegister(50), patternRegister(51), patternRegister(52)}));
    const QByteArray request = device->lastRequest();
    EXPECT_EQ(request.mid(2).toHex(), QByteArray("000000060c0300320003"));

    record = driver.ReadVariable("0x4", Bool, 5);
    ASSERT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<bool>>(),
              (QList<bool>{patternBit(4), patternBit(5), patternBit(6), patternBit(7), patternBit(8)}));

    CLabelVariable values;
    values.value = QVariant::fromValue(QList<int>{-5});
    EXPECT_EQ(driver.WriteVariable("4x8", Int32, values, 1).status, 0);
    EXPECT_EQ(device->lastRequest().mid(2).toHex(), QByteArray("0000000b0c1000080002" "04fffffffb"));
    EXPECT_EQ(device->requestCount(), 3);
}

TEST_F(SerialFakeDevice, FaultyAnswersAreJudgedAsOnTheSocket)
{
    LogCapture log;
    device->setHandler([](const QByteArray& request) {
        return Replies{Reply::send(mbapExceptionAnswer(request, IllegalDataAddress))};
    });
    EXPECT_EQ(driver.ReadVariable("4x1", Int16, 1).status, 7);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().at(0).startsWith("lib[ModbusTCP]返回的功能码错误 :0 ID=1 4x1 len = 2 msg : "));

    // An answer split with a pause longer than the line's frame gap is still one answer.
    device->setHandler([](const QByteArray& request) {
        const QByteArray answer = mbapPatternAnswer(request);
        return Replies{Reply::send(answer.left(8)), Reply::send(answer.mid(8), 20)};
    });
    log.clear();
    const CLabelVariable record = driver.ReadVariable("4x2", Int16, 2);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<short>>(), (QList<short>{short(patternRegister(2)), short(patternRegister(3))}));

    device->setHandler([](const QByteArray& request) { return Replies{Reply::send(mbapPatternAnswer(request) + char(1))}; });
    EXPECT_EQ(driver.ReadVariable("4x2", Int16, 1).status, 7);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().at(0).startsWith("lib[ModbusTCP]报文返回长度错误 :0 ID=1 4x2 len = 2 msg : 010302"));
}

TEST_F(SerialFakeDevice, SilenceGivesStatus8AndTheLateAnswerIsDiscarded)
{
    device->setHandler([](const QByteArray& request) { return Replies{Reply::send(mbapPatternAnswer(request), 2100)}; });
    LogCapture log;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(driver.ReadVariable("4x9", Int16, 1).status, 8);
    EXPECT_GE(clock.elapsed(), 1400); // the answer must have begun within its wait
    EXPECT_EQ(log.warnings(), QStringList{"lib[ModbusTCP]返回的报文长度为0 :0 ID=1 4x9 len = 2 msg : "});

    const int descriptor = descriptorOpenOn(pty.pathA());
    ASSERT_NE(descriptor, -1);
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(descriptor); }));
    device->setHandler(patternReplies);
    const CLabelVariable record = driver.ReadVariable("4x60", UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(60)});
}

TEST_F(SerialFakeDevice, DisconnectedPortSendsNothing)
{
    EXPECT_EQ(driver.DisConnectDrive(), 0);
    EXPECT_EQ(driver.ReadVariable("4x1", Int16, 1).status, 8);
    EXPECT_EQ(device->requestCount(), 0);
    EXPECT_EQ(driver.DisConnectDrive(), -1);
    EXPECT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathA()) + ",19200,8,1,N"), 0);
    EXPECT_EQ(driver.ReadVariable("4x1", Int16, 1).status, 0);
}

TEST(SerialConnect, PortThatCannotBeOpenedIsReportedToTheHost)
{
    LogCapture log;
    Netvane driver;
    EXPECT_EQ(driver.ConnectDrive("/nonexistent/ttyVane,9600,8,1,N"), -1);
    EXPECT_EQ(log.debugLines(), QStringList{"/nonexistent/ttyVane打开失败!"});
    EXPECT_EQ(driver.ReadVariable("4x1", Int16, 1).status, 8);
}

TEST(SerialAtWireRate, AnswerTricklingInAt1200BaudIsCollectedWhole)
{
    // At 1200 baud a character takes 8.3 ms: the frame gap must be longer than that.
    SlowPtyRelay line(1200);
    ASSERT_TRUE(line.isReady());
    auto device = FakeDevice::openSerial(line.pathB(), Framing::Mbap, patternReplies);
    ASSERT_TRUE(device->isReady());
    Netvane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(line.pathA()) + ",1200,8,1,N"), 0);
    // The driver's end of the line runs at the string's speed.
    termios settings{};
    ASSERT_EQ(::tcgetattr(descriptorOpenOn(line.pathA()), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B1200));
    for (int start : {70, 71}) {
        const CLabelVariable record = driver.ReadVariable(QString("4x%1").arg(start), UInt16, 2);
        ASSERT_EQ(record.status, 0);
        EXPECT_EQ(record.value.value<QList<unsigned short>>(),
                  (QList<unsigned short>{patternRegister(start), patternRegister(start + 1)}));
    }
    EXPECT_EQ(device->requestCount(), 2);
}

TEST(SerialAtWireRate, TheLongestAnswerWithAPauseInsideIsCollectedWhole)
{
    // At 9600 baud the 259 bytes of 125 registers take 270 ms on the wire; USB adapters hand such
    // an answer over in pieces, with pauses of 10 to 20 ms between them.
    SlowPtyRelay line(9600);
    ASSERT_TRUE(line.isReady());
    auto device = FakeDevice::openSerial(line.pathB(), Framing::Mbap, [&line](const QByteArray& request) {
        const QByteArray answer = mbapPatternAnswer(request);
        const int half = answer.size() / 2;
        // The second half leaves 16 ms after the line has carried the first.
        const int pauseMs = static_cast<int>(half * line.characterTimeNs() / 1000000) + 16;
        return Replies{Reply::send(answer.left(half)), Reply::send(answer.mid(half), pauseMs)};
    });
    ASSERT_TRUE(device->isReady());
    Netvane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(line.pathA()) + ",9600,8,1,N"), 0);
    const CLabelVariable record = driver.ReadVariable("4x100", UInt16, 125);
    ASSERT_EQ(record.status, 0);
    QList<unsigned short> expected;
    for (int i = 0; i < 125; ++i)
        expected << patternRegister(100 + i);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), expected);
}
