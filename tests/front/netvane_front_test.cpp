// The TCP driver front: request checks in their order, and the connection-parameter string.
// Nothing here opens a socket or a port: refused strings never reach the link.
#include <gtest/gtest.h>

#include "request_table.h"

namespace {

struct Check {
    const char* address;
    DataType type;
    int count;
    int status;
};

const QDateTime hostTime(QDate(2001, 2, 3), QTime(4, 5, 6));

CLabelVariable shortsToWrite(int n)
{
    CLabelVariable values;
    QList<short> elements;
    for (int i = 0; i < n; ++i)
        elements.append(static_cast<short>(i));
    values.value = QVariant::fromValue(elements);
    values.status = 0;
    values.timestamp = hostTime;
    return values;
}

} // namespace

// Offset below 0, area, count below 1, range, NoType: the first failure decides. What both
// drivers refuse alike is tested for both.
TEST(NetvaneRequestChecks, ReadsInTheirOrder)
{
    expectStatuses({
        {false, "", Int16, 1, 5},       {false, "4x-5", Int16, 1, 5}, {false, "4x-5", Int16, 0, 5},
        {false, "4x", Int16, -1, 5},    {false, "4x100", NoType, 0, 4},
    });
}

TEST(NetvaneRequestChecks, WritesInTheirOrderWithReadOnlyAreasLast)
{
    const Check checks[] = {
        {"4x", Int16, 1, 5},      {"4x-5", Int16, 0, 5},      {"9x5", Int16, 0, 3},   {"4x1a", Int16, 1, 3},
        {"4x0", Int16, 0, 4},     {"1x0", Int16, 0, 4},       {"4x65535", Int16, 1, 5}, {"1x0", NoType, 1, 2},
        {"1x0", Int16, 1, 6},     {"3x0", Int16, 1, 6},       {"1X5", Bool, 1, 6},
        {"4x99999999999", Int16, 1, 5},
        // Past the checks: the coil write refuses a 16-bit type itself, the register write goes
        // to the link, which has no socket.
        {"0x0", Int16, 1, 7},     {"4x0", Int16, 1, 8},       {"4X65534", Int16, 1, 8},
    };
    Driver driver;
    for (const Check& check : checks) {
        SCOPED_TRACE(std::string(check.address) + " count " + std::to_string(check.count));
        const QDateTime before = QDateTime::currentDateTime();
        const CLabelVariable record =
            driver.WriteVariable(QString::fromLatin1(check.address), check.type, shortsToWrite(2), check.count);
        EXPECT_EQ(record.status, check.status);
        EXPECT_EQ(record.address, QString::fromLatin1(check.address));
        EXPECT_EQ(record.count, check.count);
        EXPECT_EQ(record.type, check.type);
        EXPECT_EQ(record.value.value<QList<short>>(), (QList<short>{0, 1}));
        // This front stamps every write on entry.
        EXPECT_GE(record.timestamp, before);
    }
}

TEST(NetvaneRequestChecks, ShortWriteDataIsRefusedBeforeTheLink)
{
    Driver driver;
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, shortsToWrite(1), 2).status, 4);
    CLabelVariable ints;
    ints.value = QVariant::fromValue(QList<int>{1, 2});
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, ints, 1).status, 2);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Float_CDAB, CLabelVariable(), 1).status, 2);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Bool, shortsToWrite(1), 1).status, 2);
}

TEST(NetvaneConnectDrive, NeitherCommaNorColon)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("192.168.1.10")), -4);
    EXPECT_EQ(driver.ConnectDrive(QString()), -4);
    EXPECT_EQ(driver.tcpPort, 0);
    EXPECT_TRUE(driver.hostAddress.isEmpty());
    EXPECT_TRUE(driver.portName.isEmpty());
}

TEST(NetvaneConnectDrive, SocketFormIsStoredBeforeItIsChecked)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(":502")), -1);
    EXPECT_TRUE(driver.hostAddress.isEmpty());
    EXPECT_EQ(driver.tcpPort, 502);

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("192.168.1.10:")), -1);
    EXPECT_EQ(driver.hostAddress, QStringLiteral("192.168.1.10"));
    EXPECT_EQ(driver.tcpPort, 0);

    // Further colon-separated parts are ignored.
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(":1502:7")), -1);
    EXPECT_EQ(driver.tcpPort, 1502);

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("10.0.0.1:port")), -1);
    EXPECT_EQ(driver.hostAddress, QStringLiteral("10.0.0.1"));
    EXPECT_EQ(driver.tcpPort, 0);
}

TEST(NetvaneConnectDrive, SerialFormIsStoredBeforeItIsChecked)
{
    Driver driver;
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral(",9600,8,1,N")), -1);
    EXPECT_TRUE(driver.portName.isEmpty());
    EXPECT_EQ(driver.baudRate, 9600);
    EXPECT_EQ(driver.dataBits, 8);
    EXPECT_EQ(driver.stopBits, 1);
    EXPECT_EQ(driver.parity, QStringLiteral("N"));

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("COM1,0,8,1,E")), -1);
    EXPECT_EQ(driver.portName, QStringLiteral("COM1"));
    EXPECT_EQ(driver.baudRate, 0);
    EXPECT_EQ(driver.parity, QStringLiteral("E"));

    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("COM1,9600,0,1,N")), -1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("COM1,9600,8,0,N")), -1);
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("COM1,fast")), -1);
    EXPECT_EQ(driver.dataBits, 0);
    EXPECT_EQ(driver.parity, QStringLiteral("fast"));

    // A comma makes it serial, colon or not.
    EXPECT_EQ(driver.ConnectDrive(QStringLiteral("127.0.0.1:502,0")), -1);
    EXPECT_EQ(driver.portName, QStringLiteral("127.0.0.1:502"));
    EXPECT_EQ(driver.tcpPort, 0);
    EXPECT_TRUE(driver.hostAddress.isEmpty());
}

TEST(NetvaneConnectDrive, EachFormKeepsTheOthersParameters)
{
    Driver driver;
    driver.ConnectDrive(QStringLiteral(":502"));
    driver.ConnectDrive(QStringLiteral(",19200,7,2,O"));
    EXPECT_EQ(driver.tcpPort, 502);
    EXPECT_EQ(driver.baudRate, 19200);
    driver.ConnectDrive(QStringLiteral("192.168.1.10:"));
    EXPECT_EQ(driver.baudRate, 19200);
    EXPECT_EQ(driver.stopBits, 2);
}

TEST(NetvaneDisConnectDrive, PicksTheLinkTheParametersName)
{
    Driver serial;
    serial.ConnectDrive(QStringLiteral(",9600,8,1,N"));
    // Serial parameters name the serial link, whose port was never opened.
    EXPECT_EQ(serial.DisConnectDrive(), -1);

    Driver socket;
    socket.ConnectDrive(QStringLiteral(":502"));
    socket.ConnectDrive(QStringLiteral(",9600,8,1,N"));
    // Socket parameters win; no socket was ever made.
    EXPECT_EQ(socket.DisConnectDrive(), 1);
}

TEST(NetvaneExtras, OutsideTheInterfaceDoNothing)
{
    Driver driver;
    EXPECT_EQ(driver.SetDrivePar(QStringLiteral("x"), QVariant(1)), 0);
    EXPECT_EQ(driver.DestroyFree1(), 0);
}
