// Station 0 on a serial line: a write to it is a broadcast, which every station takes and none
// answers.
#include "rtu/Serivane.h"

#include "tests/support/fake_device.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace vanetest;

TEST(SerivaneBroadcast, AWriteToStationZeroIsSentUnansweredAndTheLineRestsAfterIt)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    // When the first answered request reached the device.
    const auto answeredArrival = std::make_shared<std::atomic<int64_t>>(0);
    const auto device = FakeDevice::openSerial(pty.pathA(), Framing::Rtu, [answeredArrival](const QByteArray& request) {
        if (request.at(0) == 0)
            return Replies();
        int64_t none = 0;
        answeredArrival->compare_exchange_strong(none, monotonicNs());
        return Replies{Reply::send(rtuPatternAnswer(request))};
    });
    ASSERT_TRUE(device->isReady());
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + QStringLiteral(",9600,8,1,N")), 0);

    driver.SetConnectPar(QStringLiteral("0"));
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<unsigned short>{0x1234});
    const int64_t broadcastNs = monotonicNs();
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x5"), UInt16, values, 1).status, 0);
    // No answer is waited for (a wait for one takes over 500 ms).
    EXPECT_LT(monotonicNs() - broadcastNs, 300 * 1000000);

    driver.SetConnectPar(QStringLiteral("1"));
    const CLabelVariable record = driver.ReadVariable(QStringLiteral("4x9"), UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(9)});
    ASSERT_EQ(device->requestCount(), 2);
    EXPECT_EQ(device->requests().at(0), rtuRequest(0, QByteArray::fromHex("0600051234")));
    // The stations act on the broadcast before the line carries the next request: its 8 bytes
    // took 8.3 ms on the wire, then the line rests for the turnaround of 100 ms.
    EXPECT_GE(answeredArrival->load() - broadcastNs, 108 * 1000000);

    // A read from station 0 gets no answer.
    driver.SetConnectPar(QStringLiteral("0"));
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x9"), UInt16, 1).status, 8);
}
