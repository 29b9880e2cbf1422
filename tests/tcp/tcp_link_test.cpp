// The link half of the Modbus TCP driver: connecting and releasing its socket and serial port,
// the objects it owns, line settings, and SendData's results without and with a device.

#include "tcp/CmdModbusTCP.h"
#include "tcp_test_env.h"

#include "modbus/io/serial_line.h"
#include "modbus/io/serial_transport.h"
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

#include <fcntl.h>
#include <unistd.h>
#include <QMetaMethod>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tcptest;
using namespace vanetest;

namespace {

QByteArray holdingReadRequest(int start, int quantity)
{
    return mbapRequest(0x0102, 1, readRequestPdu(3, start, quantity));
}

std::unique_ptr<FakeDevice> patternDevice()
{
    return FakeDevice::listenTcp(Framing::Mbap, [](const QByteArray& request) {
        return Replies{Reply::send(mbapPatternAnswer(request))};
    });
}

} // namespace

TEST(TcpLinkWithoutTransport, ExchangesReportNoTransport)
{
    CmdModbusTCP link;
    QByteArray reply("keep");
    EXPECT_EQ(code(link.Determine_write(holdingReadRequest(0, 1))), -3);
    EXPECT_EQ(code(link.SendData(holdingReadRequest(0, 1), reply, 50)), -3);
    EXPECT_EQ(reply, QByteArray("keep"));
}

TEST(TcpLinkExchange, CollectSwitchZeroWritesButLeavesTheReplyAlone)
{
    auto device = patternDevice();
    CmdModbusTCP link;
    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    QByteArray reply("x");
    const QByteArray request = holdingReadRequest(7, 2);
    EXPECT_EQ(code(link.SendData(request, reply, 0)), 0);
    EXPECT_EQ(reply, QByteArray("x"));
    ASSERT_EQ(device->requestCount(), 1);
    EXPECT_EQ(device->lastRequest(), request);

    // The answer it left is not handed to the next exchange.
    EXPECT_EQ(code(link.SendData(holdingReadRequest(9, 1), reply, 50)), 0);
    EXPECT_EQ(reply.mid(1), mbapPatternAnswer(holdingReadRequest(9, 1)));
}

TEST(TcpLinkSerial, PortThatCannotBeOpenedGivesMinus1WithItsDebugMessage)
{
    LogCapture log;
    CmdModbusTCP link;
    EXPECT_EQ(link.serialConnectDrive("/nonexistent/ttyVane", 9600, 8, 1, "N"), -1);
    EXPECT_EQ(log.debugLines(), QStringList{"/nonexistent/ttyVane打开失败!"});
    ASSERT_NE(serialPortOf(link), nullptr);
    ASSERT_NE(frameTimerOf(link), nullptr);
    EXPECT_FALSE(frameTimerOf(link)->isSingleShot());
    EXPECT_EQ(link.serialDisConnectDrive(), -1);
    // A closed port takes no request and brings no answer.
    QByteArray reply;
    EXPECT_EQ(code(link.SendData(holdingReadRequest(0, 1), reply, 50)), 0);
    EXPECT_TRUE(reply.isEmpty());
}

TEST(TcpLinkSerial, FrameGapAndSilenceFollowTheCharacterTime)
{
    QSerialPort port;
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setBaudRate(1200); // 10 bits a character: 8.33 ms, 3.5 of them 29.2 ms
    EXPECT_EQ(vane::modbus::silenceUs(port), 29169);
    EXPECT_EQ(vane::modbus::frameGapUs(port), 29169);
    port.setBaudRate(9600); // 3.65 ms
    EXPECT_EQ(vane::modbus::frameGapUs(port), 3647);
    port.setBaudRate(115200); // fixed t3.5 above 19200; frames end after 2 ms at the least
    EXPECT_EQ(vane::modbus::silenceUs(port), 1750);
    EXPECT_EQ(vane::modbus::frameGapUs(port), 2000);

    // A serial transport keeps its line's times only while its port's settings stay.
    QObject owner;
    vane::modbus::SerialTransport serial(&owner);
    serial.port().setBaudRate(9600);
    EXPECT_EQ(serial.lineTimes().silenceUs, 3647);
    serial.port().setBaudRate(115200);
    EXPECT_EQ(serial.lineTimes().silenceUs, 1750);
    serial.port().setBaudRate(1200);
    EXPECT_EQ(serial.lineTimes().characterUs, 8334); // 10 bits a character
    serial.port().setParity(QSerialPort::EvenParity);
    EXPECT_EQ(serial.lineTimes().characterUs, 9167);
    serial.port().setDataBits(QSerialPort::Data7);
    EXPECT_EQ(serial.lineTimes().characterUs, 8334);
    serial.port().setStopBits(QSerialPort::TwoStop);
    EXPECT_EQ(serial.lineTimes().characterUs, 9167);
}

TEST(TcpLinkSerial, RequestWaitsForTheInterFrameSilence)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    vane::modbus::LineDiscipline line;
    QElapsedTimer clock;
    clock.start();
    line.awaitQuietLine(fds[0], 29000, 1000); // nothing was received yet: no wait owed
    EXPECT_LT(clock.elapsed(), 20);
    line.byteSeen();
    clock.start();
    line.awaitQuietLine(fds[0], 29000, 1000);
    EXPECT_GE(clock.nsecsElapsed(), 29000000); // 3.5 characters at 1200 baud
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(TcpLinkSerial, BytesBetweenExchangesAreDiscardedByTheNext)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    auto device = FakeDevice::openSerial(pty.pathB(), Framing::Mbap, [](const QByteArray& request) {
        return Replies{Reply::send(mbapPatternAnswer(request))};
    });
    ASSERT_TRUE(device->isReady());
    CmdModbusTCP link;
    ASSERT_EQ(link.serialConnectDrive(QString::fromStdString(pty.pathA()), 19200, 8, 1, "N"), 0);

    // An answer-shaped frame nobody asked for, in two pieces, while the host runs its events:
    // it lies on the line until the next exchange drops it.
    const QByteArray unasked = QByteArray::fromHex("00ff00000003010203");
    const int port = descriptorOpenOn(pty.pathA());
    ASSERT_NE(port, -1);
    device->push(unasked.left(4));
    device->push(unasked.mid(4));
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(port); }));
    QCoreApplication::processEvents();

    QByteArray reply;
    const QByteArray request = holdingReadRequest(3, 2);
    EXPECT_EQ(code(link.SendData(request, reply, 50)), 0);
    EXPECT_EQ(reply, mbapPatternAnswer(request));
}

TEST(TcpLinkHelpers, CrcIsTheModbusSerialLineCrc)
{
    CmdModbusTCP link;
    unsigned char request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    EXPECT_EQ(link.CRC_Check(request, 6), 0xCDC5); // goes on the wire as c5 cd
    EXPECT_EQ(link.CRC_Check(request, 0), 0xFFFF);
    const QByteArray framed = appendCrc(QByteArray::fromHex("1106006b0003"));
    EXPECT_EQ(link.CRC_Check(reinterpret_cast<unsigned char*>(const_cast<char*>(framed.constData())), 6),
              uint16_t(uint8_t(framed.at(6)) | uint8_t(framed.at(7)) << 8));
}

