// The socket form of the connection-parameter string as both drivers take it.
#include <gtest/gtest.h>

#include "driver_under_test.h"
#include "tests/support/event_wait.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/transaction_result.h"

using vanetest::LibmodbusTcpPeer;
using vanetest::Loopback;

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
    EXPECT_EQ(driver.hostAddress, QStringLiteral("::1"));
    EXPECT_EQ(driver.tcpPort, peer.port());
    EXPECT_TRUE(vanetest::processEventsUntil([&] { return peer.connectionCount() == 1; }));
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
