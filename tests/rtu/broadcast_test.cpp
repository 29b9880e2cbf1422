// Station 0 on a serial line: a write to it is a broadcast, which every station takes and none
// answers.
#include "rtu/Serivane.h"

#include "tests/support/fake_device.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

using namespace vanetest;

TEST(SerivaneBroadcast, AWriteToStationZeroIsSentUnansweredAndTheLineRestsAfterIt)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    struct Seen {
        std::mutex mutex;
        std::vector<int64_t> arrivals;
    };
    const auto seen = std::make_shared<Seen>();
    const auto device = FakeDevice::openSerial(pty.pathA(), Framing::Rtu, [seen](const QByteArray& request) {
        std::lock_guard<std::mutex> lock(seen->mutex);
        seen->arrivals.push_back(monotonicMs());
        return request.at(0) == 0 ? Replies() : Replies{Reply::send(rtuPatternAnswer(request))};
    });
    ASSERT_TRUE(device->isReady());
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + QStringLiteral(",9600,8,1,N")), 0);

    driver.SetConnectPar(QStringLiteral("0"));
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<unsigned short>{0x1234});
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x5"), UInt16, values, 1).status, 0);
    // No answer is waited for (a wait for one takes over 500 ms).
    EXPECT_LT(clock.elapsed(), 300);

    driver.SetConnectPar(QStringLiteral("1"));
    const CLabelVariable record = driver.ReadVariable(QStringLiteral("4x9"), UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(9)});
    ASSERT_EQ(device->requestCount(), 2);
    EXPECT_EQ(device->requests().at(0), rtuRequest(0, QByteArray::fromHex("0600051234")));
    {
        // The stations act on the broadcast before the line carries the next request.
        std::lock_guard<std::mutex> lock(seen->mutex);
        EXPECT_GE(seen->arrivals.at(1) - seen->arrivals.at(0), 100);
    }

    // A read from station 0 gets no answer.
    driver.SetConnectPar(QStringLiteral("0"));
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x9"), UInt16, 1).status, 8);
}
