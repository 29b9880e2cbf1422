// The label value record: defaults, copy rules and typed accessors.
#include <gtest/gtest.h>

#include <QList>

#include "labelvalue/CLabelVariable.h"
#include "record_builder.h"

namespace {

template <typename T>
CLabelVariable holding(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    return record;
}

CLabelVariable filled()
{
    CLabelVariable record = holding(QList<int>{4, 5});
    record.status = 7;
    record.accessStatus = 42;
    record.timestamp = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
    record.address = QStringLiteral("4x12");
    record.count = 2;
    record.type = Int32_CDAB;
    record.reserved = 99;
    record.reservedText = QStringLiteral("note");
    return record;
}

} // namespace

TEST(LabelRecord, NewRecordHasTheDefaults)
{
    expectDefaults(CLabelVariable());
}

TEST(LabelRecord, EveryAccessorOfANewRecordSaysWrongType)
{
    CLabelVariable record;
    const auto expectWrongType = [&](bool zero) {
        EXPECT_TRUE(zero);
        EXPECT_EQ(record.accessStatus, 11);
        record.accessStatus = 1;
    };
    expectWrongType(record.atbool(0) == false);
    expectWrongType(record.atchar(0) == 0);
    expectWrongType(record.atInt8(0) == 0);
    expectWrongType(record.atUInt8(0) == 0);
    expectWrongType(record.atInt16(0) == 0);
    expectWrongType(record.atUInt16(0) == 0);
    expectWrongType(record.atInt32(0) == 0);
    expectWrongType(record.atUInt32(0) == 0);
    expectWrongType(record.atFloat(0) == 0.0f);
    expectWrongType(record.atInt64(0) == 0);
    expectWrongType(record.atUInt64(0) == 0);
    expectWrongType(record.atDouble(0) == 0.0);
    expectWrongType(record.atQString(0).isNull());
}

TEST(LabelRecord, CopyConstructionCarriesAllNineFields)
{
    const CLabelVariable original = filled();
    CLabelVariable copy(original);
    EXPECT_EQ(copy.status, 7);
    EXPECT_EQ(copy.accessStatus, 42);
    EXPECT_EQ(copy.value.value<QList<int>>(), (QList<int>{4, 5}));
    EXPECT_EQ(copy.timestamp, original.timestamp);
    EXPECT_EQ(copy.address, QStringLiteral("4x12"));
    EXPECT_EQ(copy.count, 2);
    EXPECT_EQ(copy.type, Int32_CDAB);
    EXPECT_EQ(copy.reserved, 99);
    EXPECT_EQ(copy.reservedText, QStringLiteral("note"));
}

TEST(LabelRecord, AssignmentCopiesSevenFieldsAndKeepsAccessStatusAndReserved)
{
    CLabelVariable target;
    target.accessStatus = 10;
    target.reserved = -5;
    CLabelVariable& returned = (target = filled());
    EXPECT_EQ(&returned, &target);
    EXPECT_EQ(target.status, 7);
    EXPECT_EQ(target.value.value<QList<int>>(), (QList<int>{4, 5}));
    EXPECT_EQ(target.timestamp, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));
    EXPECT_EQ(target.address, QStringLiteral("4x12"));
    EXPECT_EQ(target.count, 2);
    EXPECT_EQ(target.type, Int32_CDAB);
    EXPECT_EQ(target.reservedText, QStringLiteral("note"));
    EXPECT_EQ(target.accessStatus, 10);
    EXPECT_EQ(target.reserved, -5);
}

TEST(LabelRecord, CopiesAreIndependent)
{
    CLabelVariable original = filled();
    CLabelVariable copy(original);
    copy.value = QVariant::fromValue(QList<int>{9});
    copy.address = QStringLiteral("0x1");
    copy.atInt32(0);
    EXPECT_EQ(original.value.value<QList<int>>(), (QList<int>{4, 5}));
    EXPECT_EQ(original.address, QStringLiteral("4x12"));
    EXPECT_EQ(original.accessStatus, 42);
}

TEST(LabelAccessors, ReturnElementsInRangeAndReportTheRest)
{
    CLabelVariable record = holding(QList<short>{-3, 0, 300});
    for (int i = 0; i < 3; ++i) {
        record.accessStatus = 1;
        EXPECT_EQ(record.atInt16(i), (QList<short>{-3, 0, 300}).at(i));
        EXPECT_EQ(record.accessStatus, 0);
    }
    for (const int outside : {3, -1, 1000}) {
        record.accessStatus = 1;
        EXPECT_EQ(record.atInt16(outside), 0);
        EXPECT_EQ(record.accessStatus, 10);
    }
    // No conversion between list types: another accessor sees the wrong type.
    EXPECT_EQ(record.atUInt16(0), 0);
    EXPECT_EQ(record.accessStatus, 11);
    EXPECT_EQ(record.atInt32(0), 0);
    EXPECT_EQ(record.accessStatus, 11);
    EXPECT_TRUE(record.atQString(0).isNull());
    EXPECT_EQ(record.accessStatus, 11);
    // Reading changes nothing else.
    EXPECT_EQ(record.value.value<QList<short>>(), (QList<short>{-3, 0, 300}));
    EXPECT_EQ(record.status, 1);
}

TEST(LabelAccessors, IgnoreTypeAndCount)
{
    CLabelVariable record = holding(QList<unsigned long long>{1, 2});
    record.count = 5;
    record.type = Float; // says nothing about what the value holds
    EXPECT_EQ(record.atUInt64(1), 2u);
    EXPECT_EQ(record.accessStatus, 0);
    EXPECT_EQ(record.atUInt64(2), 0u);
    EXPECT_EQ(record.accessStatus, 10);
    EXPECT_EQ(record.atFloat(0), 0.0f);
    EXPECT_EQ(record.accessStatus, 11);
    EXPECT_EQ(record.count, 5);
}

TEST(LabelAccessors, Int8AndCharReadTheSameElement)
{
    CLabelVariable record = holding(QList<char>{'\x7F', '\xFC'});
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(record.atInt8(i), record.atchar(i));
        EXPECT_EQ(record.accessStatus, 0);
    }
    EXPECT_EQ(static_cast<unsigned char>(record.atInt8(1)), 0xFC);
    EXPECT_EQ(record.atUInt8(0), 0);
    EXPECT_EQ(record.accessStatus, 11);
}

TEST(LabelAccessors, EachListTypeHasItsAccessor)
{
    CLabelVariable record = holding(QList<bool>{false, true});
    EXPECT_TRUE(record.atbool(1));
    EXPECT_EQ(record.accessStatus, 0);
    record = holding(QList<unsigned char>{200});
    EXPECT_EQ(record.atUInt8(0), 200);
    record = holding(QList<unsigned short>{65535});
    EXPECT_EQ(record.atUInt16(0), 65535);
    record = holding(QList<unsigned int>{4000000000u});
    EXPECT_EQ(record.atUInt32(0), 4000000000u);
    record = holding(QList<float>{1.5f});
    EXPECT_EQ(record.atFloat(0), 1.5f);
    record = holding(QList<long long>{-9000000000LL});
    EXPECT_EQ(record.atInt64(0), -9000000000LL);
    record = holding(QList<double>{-0.25});
    EXPECT_EQ(record.atDouble(0), -0.25);
    record = holding(QList<QString>{QStringLiteral("a"), QStringLiteral("bc")});
    EXPECT_EQ(record.atQString(1), QStringLiteral("bc"));
    EXPECT_EQ(record.accessStatus, 0);
    EXPECT_TRUE(record.atQString(2).isNull());
    EXPECT_EQ(record.accessStatus, 10);
}

TEST(LabelAccessors, AccessStatusBelongsToTheObjectRead)
{
    CLabelVariable original = holding(QList<int>{1});
    CLabelVariable copy(original);
    original.atInt32(5);
    EXPECT_EQ(original.accessStatus, 10);
    EXPECT_EQ(copy.accessStatus, 1);
}

TEST(LabelRecord, ListValuesCanBeWalkedGenerically)
{
    const CLabelVariable record = holding(QList<unsigned short>{3, 4});
    ASSERT_TRUE(record.value.canConvert<QVariantList>());
    const QSequentialIterable elements = record.value.value<QSequentialIterable>();
    QList<int> seen;
    for (const QVariant& element : elements)
        seen.append(element.toInt());
    EXPECT_EQ(seen, (QList<int>{3, 4}));
}
