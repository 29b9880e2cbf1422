// Element-wise arithmetic of records: branches by the left type, header from the right operand,
// wrapping integers, IEEE floats, and the cases that must never trap.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "record_builder.h"

namespace {

CLabelVariable int16Record(const QList<short>& elements) { return recordOf(Int16, elements); }

} // namespace

TEST(LabelArithmetic, Int16ExampleWithAllFourOperators)
{
    CLabelVariable small = int16Record({1, 2, 3});
    CLabelVariable large = int16Record({10, 20, 30});
    EXPECT_EQ(elementsOf<short>(small + large), (QList<short>{11, 22, 33}));
    EXPECT_EQ(elementsOf<short>(small - large), (QList<short>{-9, -18, -27}));
    EXPECT_EQ(elementsOf<short>(small * large), (QList<short>{10, 40, 90}));
    EXPECT_EQ(elementsOf<short>(large / small), (QList<short>{10, 10, 10}));
}

TEST(LabelArithmetic, ResultTakesItsHeaderFromTheRightOperand)
{
    CLabelVariable left = int16Record({1, 2});
    left.status = 3;
    left.address = QStringLiteral("left");
    left.reservedText = QStringLiteral("from left");
    left.reserved = 11;
    CLabelVariable right = recordOf(Int16_BA, QList<short>{5, 6});
    right.status = 8;
    right.address = QStringLiteral("right");
    right.reservedText = QStringLiteral("from right");
    right.reserved = 12;
    right.timestamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0));

    const QDateTime before = QDateTime::currentDateTime();
    const CLabelVariable sum = left + right;
    EXPECT_EQ(sum.status, 8);
    EXPECT_EQ(sum.address, QStringLiteral("right"));
    EXPECT_EQ(sum.count, 2);
    EXPECT_EQ(sum.type, Int16_BA);
    EXPECT_EQ(sum.reservedText, QStringLiteral("from right"));
    EXPECT_EQ(sum.reserved, 0);
    EXPECT_EQ(sum.accessStatus, 1);
    EXPECT_GE(sum.timestamp, before);
    EXPECT_EQ(sum.value.userType(), qMetaTypeId<QList<short>>());
    EXPECT_EQ(elementsOf<short>(sum), (QList<short>{6, 8}));
}

TEST(LabelArithmetic, OperandsAreLeftAloneExceptAccessStatus)
{
    CLabelVariable left = int16Record({1, 2});
    CLabelVariable right = int16Record({3, 4});
    left.accessStatus = 1;
    right.accessStatus = 1;
    const CLabelVariable product = left * right;
    EXPECT_EQ(elementsOf<short>(product), (QList<short>{3, 8}));
    EXPECT_EQ(left.accessStatus, 0);
    EXPECT_EQ(right.accessStatus, 0);
    EXPECT_EQ(elementsOf<short>(left), (QList<short>{1, 2}));
    EXPECT_EQ(elementsOf<short>(right), (QList<short>{3, 4}));
    EXPECT_EQ(left.status, 0);
    EXPECT_EQ(right.count, 2);
}

TEST(LabelArithmetic, BoolOperatorsAreOrXorAndAndGuardedDivision)
{
    CLabelVariable a = recordOf(Bool, QList<bool>{true, false, true});
    CLabelVariable b = recordOf(Bool, QList<bool>{false, false, true});
    EXPECT_EQ(elementsOf<bool>(a + b), (QList<bool>{true, false, true}));
    EXPECT_EQ(elementsOf<bool>(a - b), (QList<bool>{true, false, false}));
    EXPECT_EQ(elementsOf<bool>(a * b), (QList<bool>{false, false, true}));
    // a when b is true; a false divisor gives false.
    EXPECT_EQ(elementsOf<bool>(a / b), (QList<bool>{false, false, true}));
}

TEST(LabelArithmetic, BranchFollowsTheLeftType)
{
    // Each byte-order variant computes on its plain element type.
    CLabelVariable left = recordOf(Int32_DCBA, QList<int>{7});
    CLabelVariable right = recordOf(Int32, QList<int>{5});
    EXPECT_EQ(elementsOf<int>(left - right), QList<int>{2});

    CLabelVariable floats = recordOf(Float_CDAB, QList<float>{1.5f});
    CLabelVariable otherFloats = recordOf(Float, QList<float>{0.25f});
    EXPECT_EQ(elementsOf<float>(floats + otherFloats), QList<float>{1.75f});

    CLabelVariable doubles = recordOf(Double_GHEFCDAB, QList<double>{3.0});
    CLabelVariable otherDoubles = recordOf(Double, QList<double>{4.0});
    EXPECT_EQ(elementsOf<double>(doubles * otherDoubles), QList<double>{12.0});

    CLabelVariable words = recordOf(UInt16_BA, QList<unsigned short>{9});
    CLabelVariable otherWords = recordOf(UInt16, QList<unsigned short>{2});
    EXPECT_EQ(elementsOf<unsigned short>(words / otherWords), QList<unsigned short>{4});

    // A right operand of another list type reads as empty: the result list is empty, of the
    // left operand's element type.
    CLabelVariable ints = recordOf(Int32, QList<int>{1});
    CLabelVariable shorts = recordOf(Int32, QList<short>{1});
    const CLabelVariable mixed = ints + shorts;
    EXPECT_EQ(mixed.value.userType(), qMetaTypeId<QList<int>>());
    EXPECT_TRUE(elementsOf<int>(mixed).isEmpty());
}

TEST(LabelArithmetic, MismatchedLengthsGiveAnEmptyList)
{
    CLabelVariable shortList = int16Record({1, 2});
    shortList.count = 3;
    CLabelVariable full = int16Record({1, 2, 3});
    const CLabelVariable sum = shortList + full;
    EXPECT_EQ(sum.value.userType(), qMetaTypeId<QList<short>>());
    EXPECT_TRUE(elementsOf<short>(sum).isEmpty());
    EXPECT_EQ(sum.count, 3);

    CLabelVariable left = int16Record({1, 2, 3});
    CLabelVariable right = int16Record({1, 2});
    EXPECT_TRUE(elementsOf<short>(left * right).isEmpty());
}

TEST(LabelArithmetic, UnsupportedLeftTypesGiveANewRecord)
{
    for (const int type : {0, 25, 32, 41}) {
        SCOPED_TRACE(type);
        CLabelVariable left = int16Record({1});
        left.type = static_cast<DataType>(type);
        CLabelVariable right = int16Record({2});
        right.reservedText = QStringLiteral("r");
        expectDefaults(left + right);
        expectDefaults(left / right);
    }
}

TEST(LabelArithmetic, StringsSubtractToDefaultsAndAddAsDoubles)
{
    CLabelVariable left = recordOf(String, QList<QString>{QStringLiteral("a")});
    CLabelVariable right = recordOf(String, QList<QString>{QStringLiteral("b")});
    right.status = 4;
    right.reservedText = QStringLiteral("rt");
    expectDefaults(left - right);
    expectDefaults(left * right);
    expectDefaults(left / right);

    const CLabelVariable sum = left + right;
    EXPECT_EQ(sum.status, 4);
    EXPECT_EQ(sum.type, String);
    EXPECT_EQ(sum.count, 1);
    EXPECT_EQ(sum.reservedText, QStringLiteral("rt"));
    EXPECT_EQ(sum.value.userType(), qMetaTypeId<QList<double>>());
    EXPECT_TRUE(elementsOf<double>(sum).isEmpty());
}

TEST(LabelArithmetic, IntegersWrapToTheirWidth)
{
    CLabelVariable bytes = recordOf(UInt8, QList<unsigned char>{200, 0});
    CLabelVariable moreBytes = recordOf(UInt8, QList<unsigned char>{100, 1});
    EXPECT_EQ(elementsOf<unsigned char>(bytes + moreBytes), (QList<unsigned char>{44, 1}));
    EXPECT_EQ(elementsOf<unsigned char>(bytes - moreBytes), (QList<unsigned char>{100, 255}));

    CLabelVariable top = int16Record({32767, -32768});
    CLabelVariable one = int16Record({1, 1});
    EXPECT_EQ(elementsOf<short>(top + one), (QList<short>{-32768, -32767}));
    EXPECT_EQ(elementsOf<short>(top - one), (QList<short>{32766, 32767}));

    CLabelVariable big = recordOf(Int32, QList<int>{65536, std::numeric_limits<int>::max()});
    CLabelVariable factor = recordOf(Int32, QList<int>{65536, 2});
    EXPECT_EQ(elementsOf<int>(big * factor), (QList<int>{0, -2}));

    CLabelVariable zero = recordOf(UInt64, QList<unsigned long long>{0});
    CLabelVariable unit = recordOf(UInt64, QList<unsigned long long>{1});
    EXPECT_EQ(elementsOf<unsigned long long>(zero - unit), QList<unsigned long long>{~0ULL});

    CLabelVariable low = recordOf(Int64, QList<long long>{std::numeric_limits<long long>::min()});
    CLabelVariable unit64 = recordOf(Int64, QList<long long>{1});
    EXPECT_EQ(elementsOf<long long>(low - unit64), QList<long long>{std::numeric_limits<long long>::max()});

    CLabelVariable chars = recordOf(Int8, QList<char>{100});
    CLabelVariable moreChars = recordOf(Int8, QList<char>{100});
    EXPECT_EQ(static_cast<unsigned char>(elementsOf<char>(chars + moreChars).value(0)), 200);
}

TEST(LabelArithmetic, UnsignedTypesDivideAsUnsigned)
{
    CLabelVariable words = recordOf(UInt32, QList<unsigned int>{0xFFFFFFFFu});
    CLabelVariable two = recordOf(UInt32, QList<unsigned int>{2});
    EXPECT_EQ(elementsOf<unsigned int>(words / two), QList<unsigned int>{0x7FFFFFFFu});

    CLabelVariable bytes = recordOf(UInt8, QList<unsigned char>{0xFC});
    CLabelVariable byteTwo = recordOf(UInt8, QList<unsigned char>{2});
    EXPECT_EQ(elementsOf<unsigned char>(bytes / byteTwo), QList<unsigned char>{0x7E});
}

TEST(LabelArithmetic, Int8DivisionFollowsTheSignednessOfChar)
{
    CLabelVariable value = recordOf(Int8, QList<char>{static_cast<char>(0xFC)});
    CLabelVariable two = recordOf(Int8, QList<char>{2});
    const unsigned char expected = std::numeric_limits<char>::is_signed ? 0xFE : 0x7E;
    EXPECT_EQ(static_cast<unsigned char>(elementsOf<char>(value / two).value(0)), expected);
}

TEST(LabelArithmetic, IntegerDivisionNeverTraps)
{
    CLabelVariable ints = recordOf(Int32, QList<int>{std::numeric_limits<int>::min(), 7, -7});
    CLabelVariable divisors = recordOf(Int32, QList<int>{-1, 0, 2});
    EXPECT_EQ(elementsOf<int>(ints / divisors), (QList<int>{std::numeric_limits<int>::min(), 0, -3}));

    CLabelVariable longs = recordOf(Int64, QList<long long>{std::numeric_limits<long long>::min(), 5});
    CLabelVariable longDivisors = recordOf(Int64, QList<long long>{-1, 0});
    EXPECT_EQ(elementsOf<long long>(longs / longDivisors), (QList<long long>{std::numeric_limits<long long>::min(), 0}));

    CLabelVariable shorts = int16Record({-32768, 9});
    CLabelVariable shortDivisors = int16Record({-1, 0});
    EXPECT_EQ(elementsOf<short>(shorts / shortDivisors), (QList<short>{-32768, 0}));

    CLabelVariable chars = recordOf(Int8, QList<char>{5});
    CLabelVariable charZero = recordOf(Int8, QList<char>{0});
    EXPECT_EQ(elementsOf<char>(chars / charZero), QList<char>{0});

    CLabelVariable unsignedLongs = recordOf(UInt64, QList<unsigned long long>{5});
    CLabelVariable unsignedZero = recordOf(UInt64, QList<unsigned long long>{0});
    EXPECT_EQ(elementsOf<unsigned long long>(unsignedLongs / unsignedZero), QList<unsigned long long>{0});
}

TEST(LabelArithmetic, FloatingPointFollowsIeee)
{
    CLabelVariable numerators = recordOf(Double, QList<double>{1.0, -1.0, 0.0});
    CLabelVariable zeros = recordOf(Double, QList<double>{0.0, 0.0, 0.0});
    const QList<double> quotients = elementsOf<double>(numerators / zeros);
    ASSERT_EQ(quotients.size(), 3);
    EXPECT_TRUE(std::isinf(quotients.at(0)) && quotients.at(0) > 0);
    EXPECT_TRUE(std::isinf(quotients.at(1)) && quotients.at(1) < 0);
    EXPECT_TRUE(std::isnan(quotients.at(2)));

    // Single precision is kept: 16777216 + 1 is not representable as a float.
    CLabelVariable floats = recordOf(Float, QList<float>{16777216.0f});
    CLabelVariable ones = recordOf(Float, QList<float>{1.0f});
    EXPECT_EQ(elementsOf<float>(floats + ones), QList<float>{16777216.0f});
}
