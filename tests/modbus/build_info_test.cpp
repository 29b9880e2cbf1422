// The build-information text of DebugCmd(BuildTime), from the compiler's date and time stamps.
#include <gtest/gtest.h>

#include <QLocale>

#include "modbus/protocol/build_info.h"

using vane::modbus::buildDateFromStamp;
using vane::modbus::buildInformation;

TEST(BuildInfo, DatesWithOneAndTwoDigitDays)
{
    EXPECT_EQ(buildDateFromStamp("Dec 27 2023"), QDate(2023, 12, 27));
    EXPECT_EQ(buildDateFromStamp("Dec  8 2026"), QDate(2026, 12, 8));
    EXPECT_EQ(buildDateFromStamp("Jan  4 2024"), QDate(2024, 1, 4));
    EXPECT_EQ(buildDateFromStamp("Sep 30 2025"), QDate(2025, 9, 30));
}

TEST(BuildInfo, MonthNamesAreEnglishWhateverTheDefaultLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDate march = buildDateFromStamp("Mar  5 2024");
    const QDate may = buildDateFromStamp("May 31 2024");
    QLocale::setDefault(saved);
    EXPECT_EQ(march, QDate(2024, 3, 5));
    EXPECT_EQ(may, QDate(2024, 5, 31));
}

TEST(BuildInfo, FillsThePattern)
{
    EXPECT_EQ(buildInformation(QStringLiteral("v1.9.2.B %1 %2"), buildDateFromStamp("Dec 27 2023"), "13:41:17"),
              QStringLiteral("v1.9.2.B 2023-12-27 13:41:17"));
    EXPECT_EQ(buildInformation(QStringLiteral("v1.7.8 %1 %2"), buildDateFromStamp("Jan  4 2024"), "10:31:52"),
              QStringLiteral("v1.7.8 2024-01-04 10:31:52"));
    EXPECT_EQ(buildInformation(QStringLiteral("%1 %2"), QDate(2026, 12, 8), "00:00:09"),
              QStringLiteral("2026-12-08 00:00:09"));
}
