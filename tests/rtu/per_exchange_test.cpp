// The RTU driver with a port that is opened only around each exchange, against a real Modbus
// RTU server (libmodbus) on a pty pair. What both drivers do alike against a libmodbus server is
// tested with the fronts.
#include "rtu/Serivane.h"

#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/pty_pair.h"
#include "tests/support/posix_util.h"

#include <gtest/gtest.h>

using namespace vanetest;

namespace {

template <typename T>
CLabelVariable recordOf(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    return record;
}

TEST(SerivanePerExchange, PortWithAColonIsOpenedOnlyAroundEachExchange)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer peer(pty.pathA(), 1);
    ASSERT_TRUE(peer.isOpen());
    peer.setHoldingRegisters(0, {11, 12, 13});
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + ":x,9600,8,1,N"), 0);
    // The driver holds its end of the line open only while an exchange runs.
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    for (int i = 0; i < 3; ++i) {
        CLabelVariable value = driver.ReadVariable(QStringLiteral("4x%1").arg(i), UInt16, 1);
        ASSERT_EQ(value.status, 0);
        EXPECT_EQ(value.atUInt16(0), 11 + i);
        EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    }
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x5"), Int16, recordOf(QList<short>{-5}), 1).status, 0);
    EXPECT_EQ(peer.holdingRegister(5), 0xFFFB);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    EXPECT_EQ(driver.DisConnectDrive(), 0);
    // The transport is released: a read finds none and sends nothing.
    EXPECT_EQ(driver.DestroyFree(), 0);
    EXPECT_EQ(driver.DestroyFree(), 1);
    const int requests = peer.requestCount();
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), UInt16, 1).status, 9);
    EXPECT_EQ(peer.requestCount(), requests);
}

} // namespace
