// The RTU link on a serial port: opening at connect or around each exchange, line settings,
// reception outside exchanges, release of the transport objects, and its Qt shape.
#include "rtu/CmdModbusRTU.h"

#include "tests/support/event_wait.h"
#include "tests/support/fake_device.h"
#include "tests/support/link_objects.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"
#include "tests/support/result_code.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>

#include <gtest/gtest.h>

#include <poll.h>

#include <memory>
#include <mutex>
#include <vector>

using namespace vanetest;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

class RtuSerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        device = FakeDevice::openSerial(pty.pathA(), Framing::Rtu,
                                        [](const QByteArray& request) { return Replies{Reply::send(rtuPatternAnswer(request))}; });
        ASSERT_TRUE(device && device->isReady());
    }

    QString port() const { return QString::fromStdString(pty.pathB()); }
    // How often this process holds the link's end of the line open.
    int openEnds() const { return vanetest::descriptorsOpenOn(pty.pathB()); }
    static bool readable(int fd)
    {
        pollfd waiting{fd, POLLIN, 0};
        return ::poll(&waiting, 1, 0) == 1;
    }
    int readOneRegister(int offset = 0)
    {
        QByteArray out;
        const int result = code(link.ReadHoldingRegisters4x(1, offset, 2, "4x", &out));
        if (result == 0) {
            EXPECT_EQ(out, registerBytes({patternRegister(offset)}));
        }
        return result;
    }

    PtyPair pty;
    std::unique_ptr<FakeDevice> device;
    CmdModbusRTU link;
};

// Opening, reopening and closing the port are tested with the shared link.
TEST_F(RtuSerialLink, EmptyOpenModeOpensAtConnectAndReportsItsStatus)
{
    EXPECT_EQ(code(link.Connection_status()), -3);
    ASSERT_EQ(link.serialConnectDrive(port(), 9600, 8, 1, "N", ""), 0);
    EXPECT_EQ(code(link.Connection_status()), 0);
    EXPECT_EQ(readOneRegister(3), 0);
    EXPECT_EQ(openEnds(), 1);
}

TEST_F(RtuSerialLink, OpenModeOpensThePortAroundEachExchangeOnly)
{
    ASSERT_EQ(link.serialConnectDrive(port(), 9600, 8, 1, "N", "s"), 0);
    EXPECT_EQ(openEnds(), 0);
    ASSERT_NE(frameTimerOf(link), nullptr);
    for (int offset = 0; offset < 3; ++offset) {
        EXPECT_EQ(readOneRegister(offset), 0);
        EXPECT_EQ(openEnds(), 0);
    }
    // A failed exchange closes it too.
    device->setHandler([](const QByteArray&) { return Replies(); });
    EXPECT_EQ(readOneRegister(), -2);
    EXPECT_EQ(openEnds(), 0);

    // An empty open mode later opens the port at once, but the stored mode still closes it
    // after the next exchange and opens it around every later one.
    device->setHandler([](const QByteArray& request) { return Replies{Reply::send(rtuPatternAnswer(request))}; });
    ASSERT_EQ(link.serialConnectDrive(port(), 9600, 8, 1, "N", ""), 0);
    EXPECT_EQ(openEnds(), 1);
    EXPECT_EQ(readOneRegister(7), 0);
    EXPECT_EQ(openEnds(), 0);
    EXPECT_EQ(readOneRegister(8), 0);
    EXPECT_EQ(openEnds(), 0);
    EXPECT_EQ(device->requestCount(), 6);
}

TEST_F(RtuSerialLink, APortThatCannotBeOpenedFailsQuietly)
{
    const QString missing = port() + QStringLiteral("-missing");
    LogCapture log;
    EXPECT_EQ(link.serialConnectDrive(missing, 9600, 8, 1, "N", ""), -1);
    ASSERT_NE(serialPortOf(link), nullptr);
    // A port object counts as a transport: the exchange runs and finds nothing.
    EXPECT_EQ(code(link.Connection_status()), 0);
    EXPECT_EQ(readOneRegister(), -2);
    QByteArray reply = hex("aa");
    EXPECT_EQ(code(link.SendData(hex("010300000001840a"), reply, 50)), -1);
    EXPECT_EQ(reply, hex("aa"));
    // Only our own warning, nothing from Qt about a closed device.
    EXPECT_EQ(log.warnings(), QStringList{QStringLiteral("lib[ModbusRTU]返回的报文长度为0 :0 ID=1 4x len = 2 msg : ")});

    // Per-exchange opening reports nothing at connect; each exchange fails to open.
    EXPECT_EQ(link.serialConnectDrive(missing, 9600, 8, 1, "N", "s"), 0);
    ASSERT_NE(frameTimerOf(link), nullptr);
    EXPECT_EQ(code(link.SendData(hex("010300000001840a"), reply, 50)), -1);

    // The next connect that opens creates what is missing and works.
    CmdModbusRTU fresh;
    EXPECT_EQ(fresh.serialConnectDrive(missing, 9600, 8, 1, "N", ""), -1);
    EXPECT_EQ(fresh.serialConnectDrive(port(), 9600, 8, 1, "N", ""), 0);
    EXPECT_NE(frameTimerOf(fresh), nullptr);
    QByteArray out;
    EXPECT_EQ(code(fresh.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(device->requestCount(), 1);
}

TEST_F(RtuSerialLink, BytesOutsideAnExchangeAreDroppedByTheNext)
{
    ASSERT_EQ(link.serialConnectDrive(port(), 1200, 8, 1, "N", ""), 0);
    const int end = vanetest::descriptorOpenOn(pty.pathB());
    ASSERT_NE(end, -1);
    // Nothing reads the line between exchanges, whatever events the host runs.
    device->push(hex("0a0b0c"));
    pollfd arriving{end, POLLIN, 0};
    ASSERT_EQ(::poll(&arriving, 1, 3000), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(readable(end));

    // The answer the next exchange gets is its own, without them in front.
    EXPECT_EQ(readOneRegister(9), 0);
    EXPECT_FALSE(readable(end));
    EXPECT_EQ(readOneRegister(10), 0);
}

// Another station on the line must see 3.5 quiet characters between an answer and the next
// request, or it takes both for one frame.
TEST_F(RtuSerialLink, NextRequestWaitsForTheInterFrameSilence)
{
    auto arrivals = std::make_shared<std::vector<int64_t>>();
    auto mutex = std::make_shared<std::mutex>();
    device->setHandler([arrivals, mutex](const QByteArray& request) {
        {
            std::lock_guard<std::mutex> lock(*mutex);
            arrivals->push_back(monotonicMs());
        }
        return Replies{Reply::send(rtuPatternAnswer(request))};
    });
    // 1200 baud, 8N1: 3.5 characters take 29.2 ms.
    ASSERT_EQ(link.serialConnectDrive(port(), 1200, 8, 1, "N", ""), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(readOneRegister(i), 0);
    std::lock_guard<std::mutex> lock(*mutex);
    ASSERT_EQ(arrivals->size(), 3u);
    // Each answer left the device after its request arrived; the next request came no sooner
    // than the silence after that.
    EXPECT_GE((*arrivals)[1] - (*arrivals)[0], 29);
    EXPECT_GE((*arrivals)[2] - (*arrivals)[1], 29);
}

TEST_F(RtuSerialLink, SendDataWithoutAnAnswerAllowanceWritesButDoesNotLook)
{
    ASSERT_EQ(link.serialConnectDrive(port(), 9600, 8, 1, "N", ""), 0);
    QByteArray reply = hex("aa");
    EXPECT_EQ(code(link.SendData(rtuRequest(1, readRequestPdu(3, 0, 1)), reply, 0)), -1);
    EXPECT_EQ(reply, hex("aa"));
    EXPECT_EQ(device->requestCount(), 1);

    EXPECT_EQ(code(link.SendData(rtuRequest(1, readRequestPdu(3, 0, 1)), reply, 50)), 0);
    EXPECT_EQ(reply, hex("aa") + rtuPatternAnswer(rtuRequest(1, readRequestPdu(3, 0, 1))));

    // Determine_write alone exchanges too.
    link.Determine_write(rtuRequest(1, readRequestPdu(3, 2, 1)));
    EXPECT_EQ(device->requestCount(), 3);
}

// The port is replaced by a socket as the shared link's tests show; the status follows.
TEST_F(RtuSerialLink, ASocketConnectReplacingThePortLeavesNoTransport)
{
    ASSERT_EQ(link.serialConnectDrive(port(), 9600, 8, 1, "N", ""), 0);
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("not-an-address"), 502), -1);
    EXPECT_EQ(code(link.Connection_status()), -3);
    EXPECT_EQ(link.DestroyFree(), 0);
    EXPECT_EQ(code(link.Connection_status()), -3);
}

// mysleep is tested with the shared link.
TEST(RtuLinkDelays, DelayServesTheThreadsEvents)
{
    CmdModbusRTU link;
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    QElapsedTimer clock;
    clock.start();
    link.Delay_MSec(30);
    EXPECT_GE(clock.elapsed(), 25);
    EXPECT_EQ(fired, 1);
}

} // namespace
