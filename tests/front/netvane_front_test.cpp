// The TCP driver front: its request checks in their order (offset, area, count, range, type),
// with every write stamped on entry. Nothing here opens a socket or a port.
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
