// The RTU driver front: its own check order (area, count, address, type), the untouched
// timestamp of refused writes, and the port mode of its connection-parameter string.
#include <gtest/gtest.h>

#include "front_wire.h"
#include "request_table.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"

using vanetest::descriptorsOpenOn;
using vanetest::PtyPair;

namespace {

struct Check {
    const char* address;
    DataType type;
    int count;
    int status;
};

const QDateTime hostTime(QDate(2001, 2, 3), QTime(4, 5, 6));

template <typename T>
CLabelVariable toWrite(const QList<T>& elements)
{
    CLabelVariable values;
    values.value = QVariant::fromValue(elements);
    values.status = 0;
    values.timestamp = hostTime;
    return values;
}

std::string describe(const Check& check)
{
    return std::string(check.address) + " type " + std::to_string(check.type) + " count " + std::to_string(check.count);
}

} // namespace

// Area, count below 0, range, NoType: the first failure decides; a read of 0 elements is refused
// after the type check. What both drivers refuse alike is tested for both.
TEST(SerivaneRequestChecks, ReadsInTheirOrder)
{
    expectStatuses({
        {false, "", Int16, 1, 3},       {false, "9x5", Int16, -1, 3},     {false, "4x-5", Int16, 1, 3},
        {false, "4x", Int16, -1, 4},    {false, "4x100", NoType, -1, 4},  {false, "4x100", NoType, 0, 2},
    });
}

TEST(SerivaneRequestChecks, WritesInTheirOrderKeepTheHostsTimestampWhenRefused)
{
    const Check checks[] = {
        {"", Int16, 1, 3},        {"4x1a", Int16, 0, 3},  {"4x0", Int16, 0, 4},       {"1x0", Int16, 0, 4},
        {"4x", Int16, 1, 5},      {"4x65535", Int16, 1, 5}, {"1x0", NoType, 1, 2},    {"1x0", Int16, 1, 6},
        {"3x0", Int16, 1, 6},     {"0x0", Int16, 1, 7},   {"4x0", Int16_AB, 1, 2},   {"4x0", Float_CDAB, 1, 2},
        {"4x0", Bool, 1, 2},
    };
    Driver driver;
    for (const Check& check : checks) {
        SCOPED_TRACE(describe(check));
        const CLabelVariable record =
            driver.WriteVariable(QString::fromLatin1(check.address), check.type, toWrite(QList<short>{5, 6}), check.count);
        EXPECT_EQ(record.status, check.status);
        EXPECT_EQ(record.timestamp, hostTime);
        EXPECT_EQ(record.address, QString::fromLatin1(check.address));
        EXPECT_EQ(record.count, check.count);
        EXPECT_EQ(record.type, check.type);
        EXPECT_EQ(record.value.value<QList<short>>(), (QList<short>{5, 6}));
    }
}

TEST(SerivaneRequestChecks, PlainRegisterWritesReachTheLink)
{
    Driver driver;
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, toWrite(QList<short>{1}), 1).status, 9);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Float, toWrite(QList<float>{1.0f, 2.0f}), 2).status, 9);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x3"), Int8, toWrite(QList<char>{5}), 1).status, 9);
}

TEST(SerivaneRequestChecks, ShortWriteDataIsRefusedBeforeTheLink)
{
    Driver driver;
    const CLabelVariable tooFew = driver.WriteVariable(QStringLiteral("4x0"), Int16, toWrite(QList<short>{1}), 2);
    EXPECT_EQ(tooFew.status, 4);
    EXPECT_EQ(tooFew.timestamp, hostTime);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, toWrite(QList<int>{1, 2}), 1).status, 2);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x0"), Bool, toWrite(QList<bool>{true}), 2).status, 4);
}

// "port:anything" opens the port only around each exchange, from then on: a later form without
// the colon, a refused form and DestroyFree all keep it so.
TEST(SerivaneConnectDrive, AColonInThePortFieldSwitchesToPerExchangeOpeningForGood)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    const auto device = fronttest::serialDevice(pty.pathA());
    ASSERT_TRUE(device->isReady());
    const auto readOne = [](Driver& driver) { return driver.ReadVariable(QStringLiteral("4x0"), UInt16, 1).status; };

    Driver plain;
    EXPECT_EQ(plain.ConnectDrive(QStringLiteral("COM3,0,8,1,N")), -1);
    ASSERT_EQ(plain.ConnectDrive(fronttest::serialForm(pty.pathB())), 0);
    EXPECT_EQ(readOne(plain), 0);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 1);
    EXPECT_EQ(plain.DestroyFree(), 0);

    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("/dev/ttyS1:x,0,8,1,N")), -1);
    // An empty name before the colon is still an empty port name.
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(":x,9600,8,1,N")), -1);
    EXPECT_EQ(driver.DisConnectDrive(), 0);
    ASSERT_EQ(driver.ConnectDrive(fronttest::serialForm(pty.pathB())), 0);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    EXPECT_EQ(readOne(driver), 0);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);

    driver.DestroyFree();
    ASSERT_EQ(driver.ConnectDrive(fronttest::serialForm(pty.pathB())), 0);
    EXPECT_EQ(readOne(driver), 0);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    EXPECT_EQ(device->requestCount(), 3);
}
