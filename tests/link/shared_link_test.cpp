// The shared link as each driver's link class runs it: its Qt shape, the sleep, connecting and
// releasing its socket and serial port, a transport of one kind replacing the other, the line
// settings, and what is said and sent without a transport.
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QPointer>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include "link_under_test.h"
#include "tests/front/front_wire.h"
#include "tests/support/event_wait.h"
#include "tests/support/link_objects.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"
#include "tests/support/result_code.h"

using namespace vanetest;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// A read of one holding register at `offset` through the link, its data checked against the
// pattern the device answers with.
int readOneRegister(Link& link, int offset = 0)
{
    QByteArray out;
    const int result = code(link.ReadHoldingRegisters4x(1, offset, 2, "4x", &out));
    if (result == 0) {
        EXPECT_EQ(out, registerBytes({patternRegister(offset)}));
    }
    return result;
}

class SocketLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = fronttest::socketDevice();
        ASSERT_TRUE(device && device->isReady());
    }
    int connect() { return link.EthConnectDrive(QStringLiteral("127.0.0.1"), device->port()); }

    std::unique_ptr<FakeDevice> device;
    Link link;
};

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        device = fronttest::serialDevice(pty.pathA());
        ASSERT_TRUE(device && device->isReady());
    }
    QString port() const { return QString::fromStdString(pty.pathB()); }
    int connect(int baud = 9600) { return LinkFacts::connectSerial(link, port(), baud, 8, 1, "N"); }
    // How often this process holds the link's end of the line open.
    int openEnds() const { return descriptorsOpenOn(pty.pathB()); }

    PtyPair pty;
    std::unique_ptr<FakeDevice> device;
    Link link;
};

} // namespace

using DRIVER_NAMED(SocketLink) = SocketLink;
using DRIVER_NAMED(SerialLink) = SerialLink;

DRIVER_TEST(LinkShape, MetaObjectListsTheFourReceptionSlotsInOrderAndNoSignals)
{
    const QMetaObject& meta = Link::staticMetaObject;
    EXPECT_STREQ(meta.className(), LinkFacts::className);
    EXPECT_EQ(meta.superClass(), &QObject::staticMetaObject);
    QStringList own;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        EXPECT_EQ(method.methodType(), QMetaMethod::Slot) << method.methodSignature().constData();
        EXPECT_EQ(method.access(), QMetaMethod::Private) << method.methodSignature().constData();
        own << QString::fromLatin1(method.methodSignature());
    }
    EXPECT_EQ(own, (QStringList{"Ethconnected()", "Ethdisconnected()", "EthreadyRead()", "serialreadyRead()"}));
}

DRIVER_TEST(LinkSleep, SleepRunsTheThreadsEvents)
{
    Link link;
    bool fired = false;
    QTimer::singleShot(5, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    link.mysleep(40);
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 39);
}

DRIVER_TEST(LinkWithoutTransport, ReleasesNothingAndSendsNothing)
{
    Link link;
    EXPECT_EQ(link.DestroyFree(), 1);
    EXPECT_EQ(link.EthDisConnectDrive(), 1);
    EXPECT_EQ(link.serialDisConnectDrive(), LinkFacts::serialDisconnectClosed);
    EXPECT_EQ(link.deletetcpSocket(), 0);
    EXPECT_EQ(link.deleteSerialPort(), 0);
    QByteArray out("keep");
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), LinkFacts::noTransport);
    EXPECT_EQ(code(link.WriteCoils0x(1, 0, 1, hex("01"))), LinkFacts::noTransport);
    EXPECT_EQ(out, QByteArray("keep"));
    EXPECT_EQ(link.DestroyFree(), 1);
}

DRIVER_TEST_F(SocketLink, NothingListeningGivesMinus3)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 unused = server.serverPort();
    server.close();
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("127.0.0.1"), unused), -3);
    ASSERT_NE(socketOf(link), nullptr);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
}

DRIVER_TEST_F(SocketLink, HostNameIsRefusedWithoutAConnectionAttempt)
{
    LogCapture log;
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("localhost"), 1502), -1);
    EXPECT_EQ(log.warnings(), LinkFacts::hostNameWarnings(1502));
    EXPECT_EQ(log.total(), log.warnings().size());
    // The socket is made even so, and stays untouched.
    ASSERT_NE(socketOf(link), nullptr);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), LinkFacts::noTransport);
    EXPECT_EQ(device->connectionCount(), 0);
}

DRIVER_TEST_F(SocketLink, ConnectsWithLowDelayAndReconnectReusesTheSocket)
{
    ASSERT_EQ(connect(), 0);
    QTcpSocket* const socket = socketOf(link);
    ASSERT_NE(socket, nullptr);
    EXPECT_EQ(socket->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    EXPECT_EQ(socket->peerAddress().toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(socket->peerPort(), device->port());
    EXPECT_EQ(socketConnectedTo(device->port()), socket->socketDescriptor());

    QByteArray out;
    EXPECT_EQ(code(link.ReadInputRegisters3x(3, 10, 4, "3x10", &out)), 0);
    EXPECT_EQ(fronttest::stationOf(device->lastRequest()), 3);
    EXPECT_EQ(out, registerBytes({patternRegister(10), patternRegister(11)}));
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(3, 1, 2, hex("0102"))), 0);

    // A second connect drops the first connection and makes a new one on the same object.
    ASSERT_EQ(connect(), 0);
    EXPECT_EQ(link.findChildren<QTcpSocket*>(), QList<QTcpSocket*>{socket});
    ASSERT_TRUE(processEventsUntil([&] { return device->connectionCount() == 2 && device->openConnectionCount() == 1; }));
    EXPECT_EQ(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    // The same reception still works over the new connection.
    out.clear();
    EXPECT_EQ(code(link.ReadInputRegisters3x(3, 4, 2, "3x4", &out)), 0);
    EXPECT_EQ(out, registerBytes({patternRegister(4)}));
}

DRIVER_TEST_F(SocketLink, DisconnectLeavesTheSocketForTheNextConnect)
{
    ASSERT_EQ(connect(), 0);
    QByteArray out;
    EXPECT_EQ(code(link.ReadCoils0x(9, 0, 1, "0x0", &out)), 0);
    LogCapture log;
    EXPECT_EQ(link.EthDisConnectDrive(), 0);
    EXPECT_EQ(socketOf(link)->state(), QAbstractSocket::UnconnectedState);
    ASSERT_TRUE(processEventsUntil([&] { return device->openConnectionCount() == 0; }));
    if (LinkFacts::disconnectWarns) {
        // Every disconnect is reported with the last station, even without a socket error.
        ASSERT_EQ(log.warnings().size(), 1);
        const QString prefix = QString::fromLatin1(LinkFacts::logPrefix) + QStringLiteral("127.0.0.1:%1 ID=9 QAbstractSocket::").arg(device->port());
        EXPECT_TRUE(log.warnings()[0].startsWith(prefix)) << log.warnings()[0].toStdString();
    } else {
        EXPECT_EQ(log.total(), 0) << (log.warnings() + log.debugLines()).join("\n").toStdString();
    }
    const int requests = device->requestCount();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), LinkFacts::noTransport);
    EXPECT_EQ(device->requestCount(), requests);
    EXPECT_EQ(link.EthDisConnectDrive(), 0);

    ASSERT_EQ(connect(), 0);
    EXPECT_EQ(readOneRegister(link, 0), 0);
    EXPECT_EQ(link.DestroyFree(), 0);
    EXPECT_EQ(socketOf(link), nullptr);
    EXPECT_EQ(socketConnectedTo(device->port()), -1);
    EXPECT_EQ(link.EthDisConnectDrive(), 1);
}

DRIVER_TEST_F(SocketLink, SerialConnectReplacesTheSocketAndDestroyFreeReleasesThePort)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    ASSERT_EQ(connect(), 0);
    ASSERT_EQ(LinkFacts::connectSerial(link, QString::fromStdString(pty.pathA()), 9600, 8, 1, "N"), 0);
    EXPECT_EQ(socketOf(link), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return device->openConnectionCount() == 0; }));
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

DRIVER_TEST_F(SerialLink, ASocketConnectReplacesThePortAndDestroyFreeReleasesIt)
{
    ASSERT_EQ(connect(), 0);
    QPointer<QSerialPort> serial = serialPortOf(link);
    QPointer<QTimer> timer = frameTimerOf(link);
    ASSERT_FALSE(serial.isNull());
    ASSERT_FALSE(timer.isNull());
    // The socket takes the port's place even when it never connects.
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("not-an-address"), 502), -1);
    ASSERT_NE(socketOf(link), nullptr);
    EXPECT_EQ(serialPortOf(link), nullptr);
    EXPECT_EQ(frameTimerOf(link), nullptr);
    EXPECT_TRUE(serial.isNull());
    EXPECT_TRUE(timer.isNull());
    EXPECT_EQ(openEnds(), 0);
    EXPECT_EQ(readOneRegister(link), LinkFacts::noTransport);

    EXPECT_EQ(link.DestroyFree(), 0);
    EXPECT_EQ(socketOf(link), nullptr);
    EXPECT_EQ(link.DestroyFree(), 1);
    EXPECT_EQ(readOneRegister(link), LinkFacts::noTransport);
    EXPECT_EQ(device->requestCount(), 0);

    // The pty end is free again: another link opens it and talks.
    Link next;
    ASSERT_EQ(LinkFacts::connectSerial(next, port(), 9600, 8, 1, "N"), 0);
    EXPECT_EQ(readOneRegister(next), 0);
}

DRIVER_TEST_F(SerialLink, OpenPortIsReopenedByConnectAndClosedByDisconnect)
{
    ASSERT_EQ(connect(), 0);
    QSerialPort* const portObject = serialPortOf(link);
    ASSERT_NE(portObject, nullptr);
    // The port object holds the settings; the line's own descriptor is open on the device.
    EXPECT_FALSE(portObject->isOpen());
    EXPECT_NE(descriptorOpenOn(pty.pathB()), -1);
    QTimer* const timer = frameTimerOf(link);
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isSingleShot());
    EXPECT_EQ(readOneRegister(link, 3), 0);
    EXPECT_EQ(readOneRegister(link, 4), 0);
    EXPECT_EQ(openEnds(), 1);

    // A second connect reuses the objects.
    ASSERT_EQ(connect(19200), 0);
    EXPECT_EQ(link.findChildren<QSerialPort*>(), QList<QSerialPort*>{portObject});
    EXPECT_EQ(frameTimerOf(link), timer);
    EXPECT_EQ(openEnds(), 1);
    EXPECT_EQ(portObject->baudRate(), 19200);
    EXPECT_EQ(readOneRegister(link, 5), 0);

    EXPECT_EQ(link.serialDisConnectDrive(), 0);
    EXPECT_EQ(openEnds(), 0);
    EXPECT_EQ(link.serialDisConnectDrive(), LinkFacts::serialDisconnectClosed);
    EXPECT_EQ(serialPortOf(link), portObject);
    EXPECT_EQ(device->requestCount(), 3);
}

// The line settings are checked on the driver's side: a pty keeps none.
DRIVER_TEST_F(SerialLink, LineSettingsFollowTheArgumentsAndKeepWhatIsUnknown)
{
    const QString path = LinkFacts::settingsOnAnOpenPort ? port() : QStringLiteral("/nonexistent/ttyVane");
    const int opened = LinkFacts::settingsOnAnOpenPort ? 0 : -1;
    ASSERT_EQ(LinkFacts::connectSerial(link, path, 2400, 7, 2, "e"), opened);
    QSerialPort* const serial = serialPortOf(link);
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->baudRate(), 2400);
    EXPECT_EQ(serial->dataBits(), QSerialPort::Data7);
    EXPECT_EQ(serial->stopBits(), QSerialPort::TwoStop);
    EXPECT_EQ(serial->parity(), QSerialPort::EvenParity);
    EXPECT_EQ(serial->flowControl(), QSerialPort::NoFlowControl);

    // 1200 baud is kept; numbers outside the known ones keep their setting.
    EXPECT_EQ(LinkFacts::connectSerial(link, path, 1200, 9, 7, "x"), opened);
    EXPECT_EQ(link.findChildren<QSerialPort*>(), QList<QSerialPort*>{serial});
    EXPECT_EQ(serial->baudRate(), 1200);
    EXPECT_EQ(serial->dataBits(), QSerialPort::Data7);
    EXPECT_EQ(serial->stopBits(), QSerialPort::TwoStop);
    EXPECT_EQ(serial->parity(), QSerialPort::EvenParity);
    EXPECT_EQ(LinkFacts::connectSerial(link, path, 14400, 9, 0, "x"), opened);
    EXPECT_EQ(serial->baudRate(), 1200);
    EXPECT_EQ(serial->stopBits(), QSerialPort::TwoStop);

    EXPECT_EQ(LinkFacts::connectSerial(link, path, 1234, 8, 1, "Even"), opened);
    EXPECT_EQ(serial->baudRate(), 1200);
    EXPECT_EQ(serial->dataBits(), QSerialPort::Data8);
    EXPECT_EQ(serial->stopBits(), QSerialPort::OneStop);
    EXPECT_EQ(serial->parity(), QSerialPort::NoParity); // "Even" holds an n

    // Single letters in either case.
    EXPECT_EQ(LinkFacts::connectSerial(link, path, 115200, 6, 1, "O"), opened);
    EXPECT_EQ(serial->baudRate(), 115200);
    EXPECT_EQ(serial->parity(), QSerialPort::OddParity);
    EXPECT_EQ(serial->dataBits(), QSerialPort::Data6);
    EXPECT_EQ(LinkFacts::connectSerial(link, path, 4800, 5, 3, "n"), opened);
    EXPECT_EQ(serial->dataBits(), QSerialPort::Data5);
    EXPECT_EQ(serial->stopBits(), QSerialPort::OneAndHalfStop);
    EXPECT_EQ(serial->parity(), QSerialPort::NoParity);
    EXPECT_EQ(LinkFacts::connectSerial(link, path, 19200, 8, 1, "E"), opened);
    EXPECT_EQ(serial->baudRate(), 19200);
    EXPECT_EQ(serial->parity(), QSerialPort::EvenParity);
}
