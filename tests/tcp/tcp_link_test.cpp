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

TEST(TcpLinkShape, MetaObjectListsTheFourReceptionSlotsInOrderAndNoSignals)
{
    const QMetaObject& meta = CmdModbusTCP::staticMetaObject;
    EXPECT_STREQ(meta.className(), "CmdModbusTCP");
    QStringList own;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        EXPECT_EQ(method.methodType(), QMetaMethod::Slot) << method.methodSignature().constData();
        EXPECT_EQ(method.access(), QMetaMethod::Private) << method.methodSignature().constData();
        own << QString::fromLatin1(method.methodSignature());
    }
    EXPECT_EQ(own, (QStringList{"Ethconnected()", "Ethdisconnected()", "EthreadyRead()", "serialreadyRead()"}));
}

TEST(TcpLinkWithoutTransport, ReportsNoTransportEverywhere)
{
    CmdModbusTCP link;
    QByteArray reply("keep");
    EXPECT_EQ(code(link.Determine_write(holdingReadRequest(0, 1))), -3);
    EXPECT_EQ(code(link.SendData(holdingReadRequest(0, 1), reply, 50)), -3);
    EXPECT_EQ(reply, QByteArray("keep"));
    EXPECT_EQ(link.EthDisConnectDrive(), 1);
    EXPECT_EQ(link.serialDisConnectDrive(), -1);
    EXPECT_EQ(link.DestroyFree(), 1);
}

TEST(TcpLinkConnect, HostNameIsRefusedWithWarningAndNoConnectionAttempt)
{
    LogCapture log;
    CmdModbusTCP link;
    EXPECT_EQ(link.EthConnectDrive("localhost", 1502), -1);
    // The warning names the port it was given.
    EXPECT_EQ(log.warnings(), QStringList{"lib[ModbusTCP]:1502 IP错误"});
    // The socket is made even so, and stays untouched.
    ASSERT_NE(socketOf(link), nullptr);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
}

TEST(TcpLinkConnect, NothingListeningGivesMinus3)
{
    CmdModbusTCP link;
    EXPECT_EQ(link.EthConnectDrive("127.0.0.1", unusedLoopbackPort()), -3);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
}

TEST(TcpLinkConnect, ConnectsWithLowDelayAndReconnectReusesTheSocket)
{
    auto device = patternDevice();
    ASSERT_TRUE(device->isReady());
    CmdModbusTCP link;
    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    QTcpSocket* const socket = socketOf(link);
    ASSERT_NE(socket, nullptr);
    EXPECT_EQ(socket->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    EXPECT_EQ(socket->peerAddress().toString(), QString("127.0.0.1"));
    EXPECT_EQ(socket->peerPort(), device->port());
    EXPECT_EQ(socketConnectedTo(device->port()), socket->socketDescriptor());

    // A second connect drops the first connection and makes a new one on the same object.
    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    EXPECT_EQ(link.findChildren<QTcpSocket*>(), QList<QTcpSocket*>{socket});
    EXPECT_TRUE(sleepUntil([&] { return device->connectionCount() == 2 && device->openConnectionCount() == 1; }));
    EXPECT_EQ(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);

    // The same reception still works over the new connection.
    QByteArray reply;
    EXPECT_EQ(code(link.SendData(holdingReadRequest(4, 1), reply, 50)), 0);
    EXPECT_EQ(registersFromBytes(reply.mid(9)), std::vector<uint16_t>{patternRegister(4)});
}

TEST(TcpLinkConnect, DisconnectLeavesTheSocketForTheNextConnectWithoutWarning)
{
    auto device = patternDevice();
    LogCapture log;
    CmdModbusTCP link;
    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    EXPECT_EQ(link.EthDisConnectDrive(), 0);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(sleepUntil([&] { return device->openConnectionCount() == 0; }));
    QByteArray reply;
    EXPECT_EQ(code(link.SendData(holdingReadRequest(0, 1), reply, 50)), -3);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(device->requestCount(), 0);
    EXPECT_EQ(log.total(), 0) << (log.warnings() + log.debugLines()).join("\n").toStdString();

    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    EXPECT_EQ(code(link.SendData(holdingReadRequest(0, 1), reply, 50)), 0);
    EXPECT_EQ(reply.size(), 11);
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

TEST(TcpLinkRelease, SerialConnectReplacesTheSocketAndDestroyFreeReleasesThePort)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    auto device = patternDevice();
    CmdModbusTCP link;
    ASSERT_EQ(link.EthConnectDrive("127.0.0.1", device->port()), 0);
    ASSERT_EQ(link.serialConnectDrive(QString::fromStdString(pty.pathA()), 9600, 8, 1, "N"), 0);
    EXPECT_EQ(socketOf(link), nullptr);
    EXPECT_TRUE(sleepUntil([&] { return device->openConnectionCount() == 0; }));
    ASSERT_NE(serialPortOf(link), nullptr);
    ASSERT_NE(frameTimerOf(link), nullptr);
    EXPECT_NE(descriptorOpenOn(pty.pathA()), -1);
    EXPECT_EQ(link.EthDisConnectDrive(), 1);

    EXPECT_EQ(link.DestroyFree(), 0);
    EXPECT_EQ(serialPortOf(link), nullptr);
    EXPECT_EQ(frameTimerOf(link), nullptr);
    EXPECT_TRUE(link.findChildren<QIODevice*>().isEmpty());
    EXPECT_TRUE(link.findChildren<QTimer*>().isEmpty());
    EXPECT_EQ(descriptorOpenOn(pty.pathA()), -1);
    EXPECT_EQ(link.DestroyFree(), 1);
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

TEST(TcpLinkSerial, LineSettingsFollowTheArgumentsAndKeepWhatIsUnknown)
{
    // A port that does not open still takes the settings; a pty would refuse 7 bits and parity.
    const QString path("/nonexistent/ttyVane");
    CmdModbusTCP link;
    ASSERT_EQ(link.serialConnectDrive(path, 2400, 7, 2, "e"), -1);
    QSerialPort* const port = serialPortOf(link);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->baudRate(), 2400);
    EXPECT_EQ(port->dataBits(), QSerialPort::Data7);
    EXPECT_EQ(port->stopBits(), QSerialPort::TwoStop);
    EXPECT_EQ(port->parity(), QSerialPort::EvenParity);
    EXPECT_EQ(port->flowControl(), QSerialPort::NoFlowControl);

    // 1200 baud keeps the configured gap; numbers outside the known ones keep their setting.
    link.serialConnectDrive(path, 1200, 9, 7, "x");
    EXPECT_EQ(link.findChildren<QSerialPort*>(), QList<QSerialPort*>{port});
    EXPECT_EQ(port->baudRate(), 1200);
    EXPECT_EQ(port->dataBits(), QSerialPort::Data7);
    EXPECT_EQ(port->stopBits(), QSerialPort::TwoStop);
    EXPECT_EQ(port->parity(), QSerialPort::EvenParity);

    link.serialConnectDrive(path, 1234, 8, 1, "Even");
    EXPECT_EQ(port->baudRate(), 1200);
    EXPECT_EQ(port->dataBits(), QSerialPort::Data8);
    EXPECT_EQ(port->stopBits(), QSerialPort::OneStop);
    EXPECT_EQ(port->parity(), QSerialPort::NoParity); // "Even" holds an n

    link.serialConnectDrive(path, 9600, 6, 1, "O");
    EXPECT_EQ(port->parity(), QSerialPort::OddParity);
    EXPECT_EQ(port->dataBits(), QSerialPort::Data6);
    link.serialConnectDrive(path, 4800, 5, 3, "n");
    EXPECT_EQ(port->dataBits(), QSerialPort::Data5);
    EXPECT_EQ(port->stopBits(), QSerialPort::OneAndHalfStop);
    EXPECT_EQ(port->parity(), QSerialPort::NoParity);
    link.serialConnectDrive(path, 19200, 8, 1, "E");
    EXPECT_EQ(port->baudRate(), 19200);
    EXPECT_EQ(port->parity(), QSerialPort::EvenParity);
}

TEST(TcpLinkSerial, OpenPortIsReopenedByConnectAndClosedByDisconnect)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    const QString path = QString::fromStdString(pty.pathA());
    CmdModbusTCP link;
    ASSERT_EQ(link.serialConnectDrive(path, 9600, 8, 1, "N"), 0);
    QSerialPort* const port = serialPortOf(link);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(descriptorOpenOn(pty.pathA()), port->handle());
    ASSERT_EQ(link.serialConnectDrive(path, 19200, 8, 1, "N"), 0);
    EXPECT_EQ(link.findChildren<QSerialPort*>(), QList<QSerialPort*>{port});
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(port->baudRate(), 19200);

    EXPECT_EQ(link.serialDisConnectDrive(), 0);
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(descriptorOpenOn(pty.pathA()), -1);
    EXPECT_EQ(link.serialDisConnectDrive(), -1);
    EXPECT_EQ(serialPortOf(link), port);
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

TEST(TcpLinkSerial, BytesBetweenExchangesReachTheBufferAfterTheFrameGapAndAreDiscarded)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    auto device = FakeDevice::openSerial(pty.pathB(), Framing::Mbap, [](const QByteArray& request) {
        return Replies{Reply::send(mbapPatternAnswer(request))};
    });
    ASSERT_TRUE(device->isReady());
    CmdModbusTCP link;
    ASSERT_EQ(link.serialConnectDrive(QString::fromStdString(pty.pathA()), 19200, 8, 1, "N"), 0);

    // An answer-shaped frame nobody asked for, in two pieces: the link takes both in while the
    // host runs its events, and the frame gap ends them.
    const QByteArray unasked = QByteArray::fromHex("00ff00000003010203");
    const int port = descriptorOpenOn(pty.pathA());
    ASSERT_NE(port, -1);
    device->push(unasked.left(4));
    device->push(unasked.mid(4));
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(port); }));
    QTimer* const timer = frameTimerOf(link);
    ASSERT_NE(timer, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return !descriptorReadable(port) && !timer->isActive(); }));

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

TEST(TcpLinkHelpers, SleepRunsTheThreadsEvents)
{
    CmdModbusTCP link;
    bool fired = false;
    QTimer::singleShot(5, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    link.mysleep(40);
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 39);
}
