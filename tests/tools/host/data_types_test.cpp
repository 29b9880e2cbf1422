#include <gtest/gtest.h>

#include "data_types.h"

using namespace vane::host;

TEST(DataTypeNames, EveryNameReadsBackAsItsTypeInAnyCase)
{
    const QStringList names = dataTypeNames();
    ASSERT_EQ(names.size(), 33); // 0..24 and 33..40
    for (const QString& name : names) {
        for (const QString& spelling : {name, name.toLower(), name.toUpper()}) {
            DataType type = NoType;
            ASSERT_TRUE(dataTypeFromName(spelling, &type)) << spelling.toStdString();
            EXPECT_EQ(dataTypeName(type), name);
        }
    }
}

TEST(DataTypeNames, NamesMatchTheEnumerationValues)
{
    DataType type = NoType;
    ASSERT_TRUE(dataTypeFromName(QStringLiteral("float_cdab"), &type));
    EXPECT_EQ(type, Float_CDAB);
    ASSERT_TRUE(dataTypeFromName(QStringLiteral("UINT16"), &type));
    EXPECT_EQ(type, UInt16);
    ASSERT_TRUE(dataTypeFromName(QStringLiteral("Double_HGFEDCBA"), &type));
    EXPECT_EQ(type, Double_HGFEDCBA);
    ASSERT_TRUE(dataTypeFromName(QStringLiteral("bool"), &type));
    EXPECT_EQ(type, Bool);
}

TEST(DataTypeNames, UnknownNamesAreRefusedWithEveryValidName)
{
    DataType type = Float;
    for (const char* bad : {"Float_XYZ", "", "Float ", "Int24", "8", "UInt16_ABCD"})
        EXPECT_FALSE(dataTypeFromName(QLatin1String(bad), &type)) << bad;
    EXPECT_EQ(type, Float) << "a refused name leaves the result alone";

    const QString message = unknownDataTypeMessage(QStringLiteral("Float_XYZ"));
    EXPECT_FALSE(message.contains(QLatin1Char('\n')));
    EXPECT_TRUE(message.contains(QStringLiteral("'Float_XYZ'")));
    for (const QString& name : dataTypeNames())
        EXPECT_TRUE(message.contains(name)) << name.toStdString();
}

TEST(DataTypeNames, UnnamedValuesPrintAsNumbers)
{
    EXPECT_EQ(dataTypeName(static_cast<DataType>(25)), QStringLiteral("25"));
    EXPECT_EQ(dataTypeName(static_cast<DataType>(41)), QStringLiteral("41"));
    EXPECT_EQ(elementKindOf(static_cast<DataType>(30)), ElementKind::None);
}

TEST(DataTypeNames, ByteOrderVariantsHoldThePlainElementType)
{
    EXPECT_EQ(elementKindOf(Int16_BA), ElementKind::Int16);
    EXPECT_EQ(elementKindOf(UInt16_AB), ElementKind::UInt16);
    EXPECT_EQ(elementKindOf(Int32_DCBA), ElementKind::Int32);
    EXPECT_EQ(elementKindOf(UInt32_BADC), ElementKind::UInt32);
    EXPECT_EQ(elementKindOf(Float_CDAB), ElementKind::Float);
    EXPECT_EQ(elementKindOf(Double_GHEFCDAB), ElementKind::Double);
    EXPECT_EQ(elementKindOf(Int8), ElementKind::Int8);
    EXPECT_EQ(elementKindOf(UInt64), ElementKind::UInt64);
    EXPECT_EQ(elementKindOf(String), ElementKind::String);
    EXPECT_EQ(elementKindOf(NoType), ElementKind::None);
}
