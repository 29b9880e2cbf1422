// The connection-parameter string as both drivers take it: "host:port" for a socket,
// "port,baud,data bits,stop bits,parity" for a serial line. A comma makes it the serial form.
// What a string leaves behind shows in the link a later DisConnectDrive picks, and on the wire.
#include <gtest/gtest.h>

#include "driver_under_test.h"
#include "front_wire.h"
#include "tests/support/event_wait.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"

#include <termios.h>

using fronttest::serialDevice;
using fronttest::serialForm;
using fronttest::socketDevice;
using fronttest::socketForm;
using vanetest::descriptorOpenOn;
using vanetest::LibmodbusTcpPeer;
using vanetest::Loopback;
using vanetest::processEventsUntil;
using vanetest::PtyPair;

// An IPv6 address holds colons of its own: it is given in brackets, the port after them.
DRIVER_TEST(ConnectForms, BracketedIPv6AddressConnects)
{
    LibmodbusTcpPeer peer(vanetest::PeerMapSizes(), Loopback::IPv6);
    if (!peer.isListening())
        GTEST_SKIP() << "this machine's loopback has no IPv6";
    const QString port = QString::number(peer.port());
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("::1:") + port), -1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("[]:") + port), -1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("[::1]")), -1);
    EXPECT_EQ(peer.connectionCount(), 0);

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("[::1]:") + port), 0);
    EXPECT_TRUE(processEventsUntil([&] { return peer.connectionCount() == 1; }));
    EXPECT_NE(vanetest::socketConnectedTo(peer.port()), -1);
    EXPECT_EQ(driver.DisConnectDrive(), 0);
}

// A port beyond 16 bits would reach another port once cut to them (70000 is 4464).
DRIVER_TEST(ConnectForms, PortsOutsideSixteenBitsAreRefused)
{
    LibmodbusTcpPeer peer;
    const int wrapped = peer.port() + 65536;
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(wrapped)), -1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1:-1")), -1);
    EXPECT_EQ(peer.connectionCount(), 0);
}

DRIVER_TEST(ConnectForms, NeitherCommaNorColonIsNoFormAndNamesNoLink)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1")), -4);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("/dev/ttyS1")), -4);
    EXPECT_EQ(driver.ConnectDrive(QString()), -4);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
}

// A socket form's port is kept even when the form is refused: the disconnect then goes to the
// socket, which was never made. A form refused for its port names no link.
DRIVER_TEST(ConnectForms, SocketFormIsStoredBeforeItIsChecked)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(":502")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), 1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1:")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(":1502:7")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::portEndsAtASecondColon ? 1 : DriverFacts::disconnectWithoutLink);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1:port")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
}

DRIVER_TEST(ConnectForms, TextAfterASecondColonInThePort)
{
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    Driver driver;
    if (DriverFacts::portEndsAtASecondColon) {
        EXPECT_EQ(driver.ConnectDrive(socketForm(*device) + QStringLiteral(":7")), 0);
        EXPECT_TRUE(processEventsUntil([&] { return device->connectionCount() == 1; }));
    } else {
        EXPECT_EQ(driver.ConnectDrive(socketForm(*device) + QStringLiteral(":7")), -1);
        EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
        processEventsUntil([] { return false; }, 50);
        EXPECT_EQ(device->connectionCount(), 0);
    }
}

// The serial form is kept too; every number must be there and not 0 before a port is opened.
// Serial parameters without a port name the serial link, which has no port open.
DRIVER_TEST(ConnectForms, SerialFormIsStoredBeforeItIsChecked)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(",9600,8,1,N")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectClosedPort);
    for (const char* refused : {"COM1,0,8,1,E", "COM1,0", "COM1,9600,0,1,N", "COM1,9600,8,0,N", "COM1,fast"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(driver.ConnectDrive(QString::fromLatin1(refused)), -1);
        EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
    }
}

// A refused serial form takes the place of the open port's parameters: with a number missing,
// the disconnect names no link and leaves the port open; with only the name missing it closes it.
DRIVER_TEST(ConnectForms, ARefusedSerialFormDecidesWhatTheNextDisconnectCloses)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    const auto device = serialDevice(pty.pathA());
    ASSERT_TRUE(device->isReady());
    Driver driver;
    ASSERT_EQ(driver.ConnectDrive(serialForm(pty.pathB())), 0);
    EXPECT_NE(descriptorOpenOn(pty.pathB()), -1);
    EXPECT_EQ(driver.ConnectDrive(serialForm(pty.pathB(), ",9600,0,1,N")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
    EXPECT_NE(descriptorOpenOn(pty.pathB()), -1);

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(",9600,8,1,N")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), 0);
    EXPECT_EQ(descriptorOpenOn(pty.pathB()), -1);
}

// A comma makes it serial, colon or not: the socket is not tried.
DRIVER_TEST(ConnectForms, ACommaMakesItTheSerialForm)
{
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(socketForm(*device) + QStringLiteral(",0")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
    processEventsUntil([] { return false; }, 50);
    EXPECT_EQ(device->connectionCount(), 0);
}

// A refused form of one kind leaves the other kind's parameters: the disconnect still reaches
// the transport that is open.
DRIVER_TEST(ConnectForms, EachFormKeepsTheOthersParameters)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    const auto overPort = serialDevice(pty.pathA());
    const auto overSocket = socketDevice();
    ASSERT_TRUE(overPort->isReady() && overSocket->isReady());

    Driver serial;
    ASSERT_EQ(serial.ConnectDrive(serialForm(pty.pathB())), 0);
    EXPECT_EQ(serial.ConnectDrive(QStringLiteral("127.0.0.1:")), -1);
    EXPECT_EQ(serial.DisConnectDrive(), 0);
    EXPECT_EQ(descriptorOpenOn(pty.pathB()), -1);

    Driver socket;
    ASSERT_EQ(socket.ConnectDrive(socketForm(*overSocket)), 0);
    ASSERT_TRUE(processEventsUntil([&] { return overSocket->openConnectionCount() == 1; }));
    EXPECT_EQ(socket.ConnectDrive(QStringLiteral(",19200,7,2,O")), -1);
    EXPECT_EQ(socket.DisConnectDrive(), 0);
    EXPECT_TRUE(processEventsUntil([&] { return overSocket->openConnectionCount() == 0; }));
}

// The line takes the speed and stop bits of the string (a pty keeps those; it forces 8 data bits
// and no parity).
DRIVER_TEST(ConnectForms, SerialFormSetsTheLine)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    Driver driver;
    ASSERT_EQ(driver.ConnectDrive(serialForm(pty.pathB(), ",19200,8,2,N")), 0);
    const int fd = descriptorOpenOn(pty.pathB());
    ASSERT_NE(fd, -1);
    termios line{};
    ASSERT_EQ(::tcgetattr(fd, &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B19200));
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);

    ASSERT_EQ(driver.ConnectDrive(serialForm(pty.pathB(), ",4800,8,1,N")), 0);
    const int again = descriptorOpenOn(pty.pathB());
    ASSERT_NE(again, -1);
    ASSERT_EQ(::tcgetattr(again, &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B4800));
    EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
}

DRIVER_TEST(DisConnectDrive, PicksTheLinkTheParametersName)
{
    Driver serial;
    serial.ConnectDrive(QStringLiteral(",9600,8,1,N"));
    // Serial parameters name the serial link, whose port was never opened.
    EXPECT_EQ(serial.DisConnectDrive(), DriverFacts::disconnectClosedPort);

    Driver socket;
    socket.ConnectDrive(QStringLiteral(":502"));
    socket.ConnectDrive(QStringLiteral(",9600,8,1,N"));
    // Socket parameters win; no socket was ever made.
    EXPECT_EQ(socket.DisConnectDrive(), 1);

    Driver halfSerial;
    halfSerial.ConnectDrive(QStringLiteral(",9600,0,1,N"));
    EXPECT_EQ(halfSerial.DisConnectDrive(), DriverFacts::disconnectWithoutLink);
}
