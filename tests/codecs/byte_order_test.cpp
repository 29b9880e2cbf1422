// Register codecs of width 1, 2, 4 and 8 bytes, looked up by data type as the planning does.
#include <gtest/gtest.h>

#include "codec_table.h"
#include "codecs/type_codecs.h"

using namespace codectest;
using vane::codecs::codecFor;
using vane::codecs::TypeCodec;

namespace {

std::string nameOf(const CodecRow& row) { return "type " + std::to_string(row.type) + " (" + row.order + ")"; }

QByteArray encodeWith(DataType type, const CLabelVariable& record, int n, QByteArray out = QByteArray())
{
    codecFor(type).encode(record, n, &out);
    return out;
}

} // namespace

TEST(ByteOrderCodecs, EachTypeDecodesTheValueItsLettersName)
{
    for (const CodecRow& row : byteCodecRows()) {
        SCOPED_TRACE(nameOf(row));
        const TypeCodec codec = codecFor(row.type);
        ASSERT_NE(codec.decode, nullptr);
        ASSERT_NE(codec.encode, nullptr);
        EXPECT_EQ(codec.width, row.width);

        const QVariant decoded = codec.decode(letteredBytes(row.order), 1);
        ASSERT_EQ(decoded.userType(), row.listType());
        ASSERT_EQ(row.size(decoded), 1);
        EXPECT_EQ(row.at(decoded, 0), letteredValue(row.width));
    }
}

TEST(ByteOrderCodecs, EveryWidthAndOrderRoundTrips)
{
    for (const CodecRow& row : byteCodecRows()) {
        SCOPED_TRACE(nameOf(row));
        const int n = 4;
        QByteArray bytes;
        for (int i = 0; i < n * row.width; ++i)
            bytes.append(static_cast<char>((i * 73 + 29) & 0xFF));
        // One element of all ones: a NaN for the floating types, whose bit pattern must survive.
        bytes.replace(row.width, row.width, QByteArray(row.width, '\xFF'));

        const TypeCodec codec = codecFor(row.type);
        CLabelVariable record;
        record.value = codec.decode(bytes, n);
        ASSERT_EQ(row.size(record.value), n);

        // Encoders append after what the buffer already holds.
        const QByteArray before("\xEE\xEE", 2);
        EXPECT_EQ(encodeWith(row.type, record, n, before), before + bytes);
    }
}

TEST(ByteOrderCodecs, ThirtyTwoBitWorkedExample)
{
    const QByteArray bytes = hex("12345678");
    const struct {
        DataType type;
        unsigned int value;
    } cases[] = {
        {Int32_ABCD, 0x12345678u}, {Int32_CDAB, 0x56781234u}, {Int32_BADC, 0x34127856u}, {Int32_DCBA, 0x78563412u},
        {UInt32_ABCD, 0x12345678u}, {UInt32_CDAB, 0x56781234u}, {UInt32_BADC, 0x34127856u}, {UInt32_DCBA, 0x78563412u},
        {Int32, 0x12345678u}, {UInt32, 0x12345678u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const QVariant decoded = codecFor(c.type).decode(bytes, 1);
        const bool isSigned = c.type == Int32 || (c.type >= Int32_ABCD && c.type <= Int32_DCBA);
        if (isSigned)
            EXPECT_EQ(static_cast<unsigned int>(decoded.value<QList<int>>().value(0)), c.value);
        else
            EXPECT_EQ(decoded.value<QList<unsigned int>>().value(0), c.value);
    }
}

TEST(ByteOrderCodecs, FloatAndDoubleOneInEveryOrder)
{
    const CLabelVariable floatOne = recordOf(QList<float>{1.0f});
    EXPECT_EQ(encodeWith(Float_ABCD, floatOne, 1), hex("3F800000"));
    EXPECT_EQ(encodeWith(Float_BADC, floatOne, 1), hex("803F0000"));
    EXPECT_EQ(encodeWith(Float_CDAB, floatOne, 1), hex("00003F80"));
    EXPECT_EQ(encodeWith(Float_DCBA, floatOne, 1), hex("0000803F"));
    EXPECT_EQ(encodeWith(Float, floatOne, 1), hex("3F800000"));

    const CLabelVariable doubleOne = recordOf(QList<double>{1.0});
    EXPECT_EQ(encodeWith(Double_ABCDEFGH, doubleOne, 1), hex("3FF0000000000000"));
    EXPECT_EQ(encodeWith(Double_BADCFEHG, doubleOne, 1), hex("F03F000000000000"));
    EXPECT_EQ(encodeWith(Double_GHEFCDAB, doubleOne, 1), hex("0000000000003FF0"));
    EXPECT_EQ(encodeWith(Double_HGFEDCBA, doubleOne, 1), hex("000000000000F03F"));

    const CLabelVariable doubles = recordOf(QList<double>{1.0, -2.5e-300, 6.02e23});
    EXPECT_EQ(encodeWith(Double, doubles, 3), encodeWith(Double_ABCDEFGH, doubles, 3));

    EXPECT_EQ(codecFor(Float_DCBA).decode(hex("0000803F"), 1).value<QList<float>>(), QList<float>{1.0f});
    EXPECT_EQ(codecFor(Double_GHEFCDAB).decode(hex("0000000000003FF0"), 1).value<QList<double>>(), QList<double>{1.0});
}

TEST(ByteOrderCodecs, SignedAndUnsignedShareTheBitPattern)
{
    EXPECT_EQ(codecFor(Int16).decode(hex("FFFF"), 1).value<QList<short>>(), QList<short>{-1});
    EXPECT_EQ(codecFor(UInt16).decode(hex("FFFF"), 1).value<QList<unsigned short>>(), QList<unsigned short>{65535});
    EXPECT_EQ(codecFor(Int32_CDAB).decode(hex("FFFEFFFF"), 1).value<QList<int>>(), QList<int>{-2});
    EXPECT_EQ(codecFor(Int64).decode(hex("8000000000000000"), 1).value<QList<long long>>(),
              QList<long long>{std::numeric_limits<long long>::min()});
    EXPECT_EQ(codecFor(UInt64).decode(hex("FFFFFFFFFFFFFFFF"), 1).value<QList<unsigned long long>>(),
              QList<unsigned long long>{~0ULL});
}

TEST(ByteOrderCodecs, MissingBytesReadAsZero)
{
    EXPECT_EQ(codecFor(Int16).decode(hex("010203"), 2).value<QList<short>>(), (QList<short>{0x0102, 0x0300}));
    EXPECT_EQ(codecFor(Int16_BA).decode(hex("010203"), 2).value<QList<short>>(), (QList<short>{0x0201, 0x0003}));

    // A lone byte: the high byte for AB, the whole value for BA.
    EXPECT_EQ(codecFor(UInt16_AB).decode(hex("9A"), 1).value<QList<unsigned short>>(),
              QList<unsigned short>{0x9A * 256});
    EXPECT_EQ(codecFor(UInt16_BA).decode(hex("9A"), 1).value<QList<unsigned short>>(), QList<unsigned short>{0x9A});

    // Wholly missing elements are zero, and the list still has n of them.
    EXPECT_EQ(codecFor(Float_CDAB).decode(hex("00003F80"), 3).value<QList<float>>(), (QList<float>{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(codecFor(UInt64).decode(QByteArray(), 2).value<QList<unsigned long long>>(),
              (QList<unsigned long long>{0, 0}));
    EXPECT_EQ(codecFor(UInt8).decode(hex("07"), 3).value<QList<unsigned char>>(), (QList<unsigned char>{7, 0, 0}));
}

TEST(ByteOrderCodecs, BytesBeyondTheElementsAreIgnored)
{
    EXPECT_EQ(codecFor(Int16).decode(hex("00070008"), 1).value<QList<short>>(), QList<short>{7});
    EXPECT_EQ(codecFor(Int8).decode(hex("0102"), 1).value<QList<char>>(), QList<char>{1});
}

TEST(ByteOrderCodecs, NoElementsGiveAnEmptyListOfTheRightType)
{
    for (const int n : {0, -3}) {
        const QVariant decoded = codecFor(Float).decode(hex("3F800000"), n);
        EXPECT_TRUE(decoded.isValid());
        EXPECT_EQ(decoded.userType(), qMetaTypeId<QList<float>>());
        EXPECT_TRUE(decoded.value<QList<float>>().isEmpty());
    }
    EXPECT_TRUE(encodeWith(Int16, recordOf(QList<short>{1, 2}), 0).isEmpty());
}

TEST(ByteOrderCodecs, ByteElementsKeepTheirBits)
{
    const QVariant signedBytes = codecFor(Int8).decode(hex("807F"), 2);
    ASSERT_EQ(signedBytes.userType(), qMetaTypeId<QList<char>>());
    const QList<char> chars = signedBytes.value<QList<char>>();
    ASSERT_EQ(chars.size(), 2);
    EXPECT_EQ(static_cast<unsigned char>(chars.at(0)), 0x80);
    EXPECT_EQ(chars.at(1), 0x7F);

    const QVariant unsignedBytes = codecFor(UInt8).decode(hex("FF00"), 2);
    EXPECT_EQ(unsignedBytes.value<QList<unsigned char>>(), (QList<unsigned char>{0xFF, 0x00}));

    EXPECT_EQ(encodeWith(Int8, recordOf(QList<char>{'\x80', 5}), 2), hex("8005"));
    EXPECT_EQ(encodeWith(UInt8, recordOf(QList<unsigned char>{0xFE, 1, 2}), 2), hex("FE01"));
}

TEST(ByteOrderEncoders, WriteHighByteFirstForPlainTypes)
{
    EXPECT_EQ(encodeWith(UInt16, recordOf(QList<unsigned short>{0x1234, 0xABCD, 1}), 3), hex("1234ABCD0001"));
    EXPECT_EQ(encodeWith(Int64, recordOf(QList<long long>{-2}), 1), hex("FFFFFFFFFFFFFFFE"));
}

TEST(ByteOrderEncoders, AppendNothingForAnotherListType)
{
    const QByteArray before("keep");
    EXPECT_EQ(encodeWith(Int32, recordOf(QList<short>{1, 2}), 2, before), before);
    EXPECT_EQ(encodeWith(UInt16, recordOf(QList<short>{1}), 1, before), before);
    EXPECT_EQ(encodeWith(Float, recordOf(QList<double>{1.0}), 1, before), before);
    EXPECT_EQ(encodeWith(Double_HGFEDCBA, CLabelVariable(), 1, before), before);
    EXPECT_EQ(encodeWith(Int8, CLabelVariable(), 1, before), before);
}

TEST(ByteOrderEncoders, NeverReadPastTheList)
{
    EXPECT_EQ(encodeWith(Int16_BA, recordOf(QList<short>{0x0102}), 3), hex("0201"));
    EXPECT_EQ(encodeWith(UInt8, recordOf(QList<unsigned char>{}), 2), QByteArray());
}

TEST(ByteOrderCodecs, TypesWithoutCodecs)
{
    for (const int type : {0, 12, 25, 28, 32, 41, 1000, -1}) {
        SCOPED_TRACE(type);
        const TypeCodec codec = codecFor(static_cast<DataType>(type));
        EXPECT_EQ(codec.decode, nullptr);
        EXPECT_EQ(codec.encode, nullptr);
        EXPECT_EQ(codec.width, 0);
    }
}
