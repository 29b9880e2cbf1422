// The serial form of the connection-parameter string.
#include <gtest/gtest.h>

#include "modbus/protocol/connection_string.h"

using vane::modbus::isSerialForm;
using vane::modbus::parseSerialForm;

TEST(ConnectionString, CommaMakesTheSerialForm)
{
    EXPECT_TRUE(isSerialForm(QStringLiteral("/dev/ttyS1,9600,8,1,N")));
    EXPECT_TRUE(isSerialForm(QStringLiteral("127.0.0.1:502,x")));
    EXPECT_FALSE(isSerialForm(QStringLiteral("127.0.0.1:502")));
    EXPECT_FALSE(isSerialForm(QString()));
}

TEST(ConnectionString, AllFiveFields)
{
    const auto p = parseSerialForm(QStringLiteral("/dev/ttyS1,9600,8,1,N"));
    EXPECT_EQ(p.portField, QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(p.baudRate, 9600);
    EXPECT_EQ(p.dataBits, 8);
    EXPECT_EQ(p.stopBits, 1);
    EXPECT_EQ(p.parity, QStringLiteral("N"));
}

TEST(ConnectionString, MissingFieldsRepeatTheLastOnePresent)
{
    const auto twoFields = parseSerialForm(QStringLiteral("COM1,9600"));
    EXPECT_EQ(twoFields.portField, QStringLiteral("COM1"));
    EXPECT_EQ(twoFields.baudRate, 9600);
    EXPECT_EQ(twoFields.dataBits, 9600);
    EXPECT_EQ(twoFields.stopBits, 9600);
    EXPECT_EQ(twoFields.parity, QStringLiteral("9600"));

    const auto threeFields = parseSerialForm(QStringLiteral("COM2,19200,7"));
    EXPECT_EQ(threeFields.baudRate, 19200);
    EXPECT_EQ(threeFields.dataBits, 7);
    EXPECT_EQ(threeFields.stopBits, 7);
    EXPECT_EQ(threeFields.parity, QStringLiteral("7"));
}

TEST(ConnectionString, ExtraFieldsAndBadNumbers)
{
    const auto extra = parseSerialForm(QStringLiteral("COM1,9600,8,2,Even,junk"));
    EXPECT_EQ(extra.stopBits, 2);
    EXPECT_EQ(extra.parity, QStringLiteral("Even"));

    const auto bad = parseSerialForm(QStringLiteral("COM1,fast,8,1,N"));
    EXPECT_EQ(bad.baudRate, 0);
    EXPECT_EQ(bad.dataBits, 8);

    const auto hex = parseSerialForm(QStringLiteral("COM1,0x2580,8,1,N"));
    EXPECT_EQ(hex.baudRate, 0);

    const auto empty = parseSerialForm(QStringLiteral(",9600,8,1,"));
    EXPECT_TRUE(empty.portField.isEmpty());
    EXPECT_EQ(empty.baudRate, 9600);
    EXPECT_TRUE(empty.parity.isEmpty());
}
