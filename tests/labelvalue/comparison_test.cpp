// Record comparison: header fields, then every element of the left operand's count.
#include <gtest/gtest.h>

#include <limits>

#include "record_builder.h"

TEST(LabelComparison, EqualToCopiesWhateverTheTimestampAccessStatusOrReserved)
{
    CLabelVariable a = recordOf(Int16, QList<short>{1, 2, 3});
    CLabelVariable b(a);
    b.timestamp = QDateTime::currentDateTime();
    b.accessStatus = 10;
    b.reserved = 77;
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == a);
}

TEST(LabelComparison, EveryHeaderFieldAndElementCounts)
{
    const CLabelVariable a = recordOf(Int16, QList<short>{1, 2, 3});
    CLabelVariable left(a);

    CLabelVariable element(a);
    element.value = QVariant::fromValue(QList<short>{1, 2, 4});
    EXPECT_FALSE(left == element);

    CLabelVariable status(a);
    status.status = 7;
    EXPECT_FALSE(left == status);

    CLabelVariable address(a);
    address.address = QStringLiteral("4X100");
    EXPECT_FALSE(left == address);

    CLabelVariable note(a);
    note.reservedText = QStringLiteral("x");
    EXPECT_FALSE(left == note);

    CLabelVariable type(a);
    type.type = Int16_BA;
    EXPECT_FALSE(left == type);
}

TEST(LabelComparison, ListsMustHoldExactlyCountElements)
{
    CLabelVariable shortList = recordOf(Int16, QList<short>{1, 2});
    shortList.count = 3;
    CLabelVariable copy(shortList);
    EXPECT_FALSE(shortList == copy);

    CLabelVariable ints = recordOf(Int32, QList<int>{1});
    CLabelVariable shorts = recordOf(Int32, QList<short>{1});
    EXPECT_FALSE(ints == shorts);

    // No elements to compare: the header decides.
    CLabelVariable empty = recordOf(Int32, QList<int>{});
    CLabelVariable otherEmpty(empty);
    EXPECT_TRUE(empty == otherEmpty);
    CLabelVariable holdsOne = recordOf(Int32, QList<int>{1});
    holdsOne.count = 0;
    CLabelVariable holdsOneToo(holdsOne);
    EXPECT_FALSE(holdsOne == holdsOneToo);
}

TEST(LabelComparison, TypesWithoutElementsCompareHeadersOnly)
{
    for (const int type : {0, 25, 32, 41}) {
        SCOPED_TRACE(type);
        CLabelVariable a = recordOf(static_cast<DataType>(type), QList<int>{1});
        CLabelVariable b = recordOf(static_cast<DataType>(type), QList<double>{2.0, 3.0});
        b.count = 1;
        EXPECT_TRUE(a == b);
        b.status = 3;
        EXPECT_FALSE(a == b);
    }
}

TEST(LabelComparison, FloatsCompareAsIeeeValues)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    CLabelVariable withNan = recordOf(Float, QList<float>{1.0f, nan});
    EXPECT_FALSE(withNan == withNan);

    CLabelVariable positiveZero = recordOf(Float_DCBA, QList<float>{0.0f});
    CLabelVariable negativeZero = recordOf(Float_DCBA, QList<float>{-0.0f});
    EXPECT_TRUE(positiveZero == negativeZero);

    CLabelVariable doubleNan = recordOf(Double, QList<double>{std::numeric_limits<double>::quiet_NaN()});
    CLabelVariable doubleNanCopy(doubleNan);
    EXPECT_FALSE(doubleNan == doubleNanCopy);
    CLabelVariable doubleZero = recordOf(Double, QList<double>{0.0});
    CLabelVariable doubleNegativeZero = recordOf(Double, QList<double>{-0.0});
    EXPECT_TRUE(doubleZero == doubleNegativeZero);
}

TEST(LabelComparison, StringsCompareElementByElement)
{
    CLabelVariable a = recordOf(String, QList<QString>{QStringLiteral("pump"), QStringLiteral("on")});
    CLabelVariable b = recordOf(String, QList<QString>{QStringLiteral("pump"), QStringLiteral("on")});
    EXPECT_TRUE(a == b);
    CLabelVariable c = recordOf(String, QList<QString>{QStringLiteral("pump"), QStringLiteral("On")});
    EXPECT_FALSE(a == c);
}

TEST(LabelComparison, ReadsSetAccessStatusOfBothSides)
{
    CLabelVariable a = recordOf(UInt64, QList<unsigned long long>{1, 2});
    CLabelVariable b(a);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a.accessStatus, 0);
    EXPECT_EQ(b.accessStatus, 0);
}

TEST(LabelComparison, BoolAndByteElements)
{
    CLabelVariable bits = recordOf(Bool, QList<bool>{true, false});
    CLabelVariable sameBits = recordOf(Bool, QList<bool>{true, false});
    CLabelVariable otherBits = recordOf(Bool, QList<bool>{true, true});
    EXPECT_TRUE(bits == sameBits);
    EXPECT_FALSE(bits == otherBits);

    CLabelVariable chars = recordOf(Int8, QList<char>{'\xFC'});
    CLabelVariable sameChars = recordOf(Int8, QList<char>{'\xFC'});
    CLabelVariable otherChars = recordOf(Int8, QList<char>{'\x7C'});
    EXPECT_TRUE(chars == sameChars);
    EXPECT_FALSE(chars == otherChars);
}
