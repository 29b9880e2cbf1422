// The 62 named codec members of the driver class: each pair must be the codec of its data type.
#include <gtest/gtest.h>

#include "codecs/type_codecs.h"
#include "driver_under_test.h"

namespace {

using Decoder = QVariant (Driver::*)(QByteArray, int);
using Encoder = int (Driver::*)(CLabelVariable, int, QByteArray*);

struct Member {
    DataType type;
    Decoder decode;
    Encoder encode;
};

const Member members[] = {
    {Bool, &Driver::set_variant_bool, &Driver::Wset_variant_bool},
    {Int8, &Driver::set_variant_Int8, &Driver::Wset_variant_Int8},
    {UInt8, &Driver::set_variant_UInt8, &Driver::Wset_variant_UInt8},
    {Int16, &Driver::set_variant_Int16, &Driver::Wset_variant_Int16},
    {UInt16, &Driver::set_variant_UInt16, &Driver::Wset_variant_uInt16},
    {Int32, &Driver::set_variant_Int32, &Driver::Wset_variant_Int32},
    {UInt32, &Driver::set_variant_UInt32, &Driver::Wset_variant_UInt32},
    {Float, &Driver::set_variant_fload, &Driver::Wset_variant_float},
    {Int64, &Driver::set_variant_Int64, &Driver::Wset_variant_Int64},
    {UInt64, &Driver::set_variant_UInt64, &Driver::Wset_variant_UInt64},
    {Double, &Driver::set_variant_double, &Driver::Wset_variant_double},
    {Int16_AB, &Driver::set_variant_int16_AB, &Driver::Wset_variant_int16_AB},
    {Int16_BA, &Driver::set_variant_int16_BA, &Driver::Wset_variant_int16_BA},
    {UInt16_AB, &Driver::set_variant_uint16_AB, &Driver::Wset_variant_uint16_AB},
    {UInt16_BA, &Driver::set_variant_uint16_BA, &Driver::Wset_variant_uint16_BA},
    {Int32_ABCD, &Driver::set_variant_int32_ABCD, &Driver::Wset_variant_int32_ABCD},
    {Int32_BADC, &Driver::set_variant_int32_BADC, &Driver::Wset_variant_int32_BADC},
    {Int32_CDAB, &Driver::set_variant_int32_CDAB, &Driver::Wset_variant_int32_CDAB},
    {Int32_DCBA, &Driver::set_variant_int32_DCBA, &Driver::Wset_variant_int32_DCBA},
    {UInt32_ABCD, &Driver::set_variant_uint32_ABCD, &Driver::Wset_variant_uint32_ABCD},
    {UInt32_BADC, &Driver::set_variant_uint32_BADC, &Driver::Wset_variant_uint32_BADC},
    {UInt32_CDAB, &Driver::set_variant_uint32_CDAB, &Driver::Wset_variant_uint32_CDAB},
    {UInt32_DCBA, &Driver::set_variant_uint32_DCBA, &Driver::Wset_variant_uint32_DCBA},
    {Float_ABCD, &Driver::set_variant_float_ABCD, &Driver::Wset_variant_float_ABCD},
    {Float_BADC, &Driver::set_variant_float_BADC, &Driver::Wset_variant_float_BADC},
    {Float_CDAB, &Driver::set_variant_float_CDAB, &Driver::Wset_variant_float_CDAB},
    {Float_DCBA, &Driver::set_variant_float_DCBA, &Driver::Wset_variant_float_DCBA},
    {Double_ABCDEFGH, &Driver::set_variant_double_ABCDEFGH, &Driver::Wset_variant_double_ABCDEFGH},
    {Double_BADCFEHG, &Driver::set_variant_double_BADCFEHG, &Driver::Wset_variant_double_BADCFEHG},
    {Double_GHEFCDAB, &Driver::set_variant_double_GHEFCDAB, &Driver::Wset_variant_double_GHEFCDAB},
    {Double_HGFEDCBA, &Driver::set_variant_double_HGFEDCBA, &Driver::Wset_variant_double_HGFEDCBA},
};

CLabelVariable holding(const QVariant& value)
{
    CLabelVariable record;
    record.value = value;
    return record;
}

} // namespace

DRIVER_TEST(CodecMembers, EachNamedPairIsTheCodecOfItsType)
{
    Driver driver;
    const int n = 3;
    QByteArray bytes;
    for (int i = 0; i < n * 8; ++i)
        bytes.append(static_cast<char>(i * 29 + 1));

    for (const Member& member : members) {
        SCOPED_TRACE(member.type);
        const vane::codecs::TypeCodec codec = vane::codecs::codecFor(member.type);
        // The bit codec takes its count in bits: one byte's worth.
        const int elements = member.type == Bool ? 8 : n;
        const QByteArray used = bytes.left(member.type == Bool ? 1 : n * codec.width);

        // What the member decodes, the type's codec encodes back to the same bytes.
        const QVariant decoded = (driver.*member.decode)(bytes, elements);
        EXPECT_EQ(decoded.userType(), codec.decode(bytes, elements).userType());
        QByteArray viaTypeCodec;
        codec.encode(holding(decoded), elements, &viaTypeCodec);
        EXPECT_EQ(viaTypeCodec, used);

        // What the type's codec decodes, the member encodes back to the same bytes.
        QByteArray viaMember("=");
        (driver.*member.encode)(holding(codec.decode(bytes, elements)), elements, &viaMember);
        EXPECT_EQ(viaMember, QByteArray("=") + used);
    }
}

DRIVER_TEST(CodecMembers, WorkedExamplesThroughTheDriver)
{
    Driver driver;
    EXPECT_EQ(driver.set_variant_fload(QByteArray::fromHex("3F800000"), 1).value<QList<float>>(), QList<float>{1.0f});
    EXPECT_EQ(driver.set_variant_int16_BA(QByteArray::fromHex("010203"), 2).value<QList<short>>(),
              (QList<short>{0x0201, 0x0003}));
    EXPECT_EQ(driver.set_variant_bool(QByteArray::fromHex("0500"), 3).value<QList<bool>>(),
              (QList<bool>{true, false, true}));

    CLabelVariable words;
    words.value = QVariant::fromValue(QList<unsigned short>{0x1234, 0x5678});
    QByteArray out;
    driver.Wset_variant_uInt16(words, 2, &out);
    EXPECT_EQ(out, QByteArray::fromHex("12345678"));

    CLabelVariable shorts;
    shorts.value = QVariant::fromValue(QList<short>{1});
    QByteArray untouched("x");
    driver.Wset_variant_Int32(shorts, 1, &untouched);
    EXPECT_EQ(untouched, QByteArray("x"));
}
