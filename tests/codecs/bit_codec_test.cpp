// The bit codec of coils and discrete inputs: bit j of byte k is element 8k + j.
#include <gtest/gtest.h>

#include "codec_table.h"
#include "codecs/type_codecs.h"

using namespace codectest;
using vane::codecs::codecFor;

namespace {

QList<bool> decodeBits(const QByteArray& bytes, int n) { return codecFor(Bool).decode(bytes, n).value<QList<bool>>(); }

QByteArray encodeBits(const CLabelVariable& record, int n, QByteArray out = QByteArray())
{
    codecFor(Bool).encode(record, n, &out);
    return out;
}

} // namespace

TEST(BitCodec, DecodesLeastSignificantBitFirst)
{
    EXPECT_EQ(decodeBits(hex("05"), 8), (QList<bool>{true, false, true, false, false, false, false, false}));
    EXPECT_EQ(decodeBits(hex("8001"), 9), (QList<bool>{false, false, false, false, false, false, false, true, true}));
}

TEST(BitCodec, KeepsAtMostTheBitsTheBytesHold)
{
    EXPECT_EQ(decodeBits(hex("FF00"), 3).size(), 3);
    EXPECT_EQ(decodeBits(hex("FF00"), 20).size(), 16);

    const QVariant none = codecFor(Bool).decode(hex("FF"), 0);
    EXPECT_EQ(none.userType(), qMetaTypeId<QList<bool>>());
    EXPECT_TRUE(none.value<QList<bool>>().isEmpty());
}

TEST(BitCodec, EncodesTenBitsIntoTwoBytes)
{
    const QList<bool> bits{true, false, true, true, false, false, false, false, true, true};
    EXPECT_EQ(encodeBits(recordOf(bits), 10), hex("0D03"));
    EXPECT_EQ(decodeBits(hex("0D03"), 10), bits);
}

TEST(BitCodec, WritesWholeBytesAndClearsBitsBeyondN)
{
    QList<bool> allSet;
    for (int i = 0; i < 200; ++i)
        allSet.append(true);
    EXPECT_EQ(encodeBits(recordOf(allSet), 200).size(), 25);
    // Only the first 9 elements count, though the list holds more.
    EXPECT_EQ(encodeBits(recordOf(allSet), 9), hex("FF01"));
    // Elements the list does not hold stay 0; the byte count still follows n.
    EXPECT_EQ(encodeBits(recordOf(QList<bool>{true, true}), 12), hex("0300"));
}

TEST(BitCodec, EncodesNothingWithoutABoolList)
{
    const QByteArray before("ab");
    EXPECT_EQ(encodeBits(recordOf(QList<char>{1, 1}), 2, before), before);
    EXPECT_EQ(encodeBits(CLabelVariable(), 8, before), before);
    EXPECT_EQ(encodeBits(recordOf(QList<bool>{true}), 0, before), before);
}
