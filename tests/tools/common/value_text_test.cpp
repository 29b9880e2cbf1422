#include <gtest/gtest.h>

#include <QList>

#include <cmath>
#include <limits>
#include <tuple>

#include "tools/common/value_text.h"

using namespace vane;

namespace {

template <typename T>
QList<T> parsed(DataType type, const QStringList& texts)
{
    QVariant list;
    QString error;
    EXPECT_TRUE(parseValues(type, texts, &list, &error)) << error.toStdString();
    EXPECT_TRUE(list.canConvert<QList<T>>());
    return list.value<QList<T>>();
}

QString refusal(DataType type, const QStringList& texts)
{
    QVariant list;
    QString error;
    EXPECT_FALSE(parseValues(type, texts, &list, &error)) << texts.join(' ').toStdString();
    return error;
}

CLabelVariable recordOf(DataType type, const QVariant& value)
{
    CLabelVariable record;
    record.type = type;
    record.value = value;
    return record;
}

} // namespace

TEST(ParseValues, BoolTakesDigitsAndWordsInAnyCase)
{
    EXPECT_EQ(parsed<bool>(Bool, {"1", "0", "true", "FALSE", "True"}), (QList<bool>{true, false, true, false, true}));
    for (const char* bad : {"2", "yes", "on", "", "-1", "0x1"})
        refusal(Bool, {QLatin1String(bad)});
}

TEST(ParseValues, IntegersTakeDecimalWithinTheTypesRange)
{
    EXPECT_EQ(parsed<short>(Int16, {"-32768", "32767", "0"}), (QList<short>{-32768, 32767, 0}));
    EXPECT_EQ(parsed<unsigned short>(UInt16_BA, {"65535"}), QList<unsigned short>{65535});
    EXPECT_EQ(parsed<int>(Int32_CDAB, {"-2147483648"}), QList<int>{std::numeric_limits<int>::min()});
    EXPECT_EQ(parsed<unsigned int>(UInt32, {"4294967295"}), QList<unsigned int>{4294967295u});
    EXPECT_EQ(parsed<long long>(Int64, {"-9223372036854775808"}), QList<long long>{std::numeric_limits<long long>::min()});
    EXPECT_EQ(parsed<unsigned long long>(UInt64, {"18446744073709551615"}),
              QList<unsigned long long>{std::numeric_limits<unsigned long long>::max()});
    EXPECT_EQ(parsed<unsigned char>(UInt8, {"255"}), QList<unsigned char>{255});

    refusal(Int16, {"32768"});
    refusal(Int16, {"-32769"});
    refusal(UInt16, {"65536"});
    refusal(UInt16, {"-1"});
    refusal(UInt8, {"256"});
    refusal(Int32, {"2147483648"});
    refusal(UInt32, {"4294967296"});
    refusal(UInt64, {"18446744073709551616"});
    refusal(Int16, {"1.5"});
    refusal(Int16, {"12abc"});
    refusal(Int16, {"+5"});
    refusal(Int16, {""});
}

TEST(ParseValues, HexIsTheBitPatternOfTheTypesWidth)
{
    EXPECT_EQ(parsed<short>(Int16, {"0xFFFF", "0x8000", "0x7fff"}), (QList<short>{-1, -32768, 32767}));
    EXPECT_EQ(parsed<unsigned short>(UInt16, {"0xd431", "0X10"}), (QList<unsigned short>{0xd431, 16}));
    EXPECT_EQ(parsed<int>(Int32, {"0xFFFE1DC0"}), QList<int>{-123456});
    EXPECT_EQ(parsed<long long>(Int64, {"0xFFFFFFFFFFFFFFFF"}), QList<long long>{-1});
    refusal(Int16, {"0x10000"});
    refusal(UInt8, {"0x100"});
    refusal(UInt16, {"0x"});
    refusal(UInt16, {"0x-1"});
    refusal(UInt16, {"0xG1"});
}

TEST(ParseValues, Int8IsSignedWhateverCharIsOnTheTarget)
{
    const QList<char> values = parsed<char>(Int8, {"-128", "127", "0xFF"});
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(static_cast<signed char>(values.at(0)), -128);
    EXPECT_EQ(static_cast<signed char>(values.at(1)), 127);
    EXPECT_EQ(static_cast<signed char>(values.at(2)), -1);
    refusal(Int8, {"128"});
    refusal(Int8, {"-129"});
}

TEST(ParseValues, FloatsTakeDecimalExponentAndSpecialValues)
{
    const QList<float> floats = parsed<float>(Float_CDAB, {"123.456", "-1.5e3", "nan", "-inf", "7"});
    ASSERT_EQ(floats.size(), 5);
    EXPECT_EQ(floats.at(0), 123.456f);
    EXPECT_EQ(floats.at(1), -1500.0f);
    EXPECT_TRUE(std::isnan(floats.at(2)));
    EXPECT_EQ(floats.at(3), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(floats.at(4), 7.0f);
    EXPECT_EQ(parsed<double>(Double_HGFEDCBA, {"3.141592653589793"}), QList<double>{3.141592653589793});
    refusal(Float, {"1e39"}); // beyond float
    refusal(Float, {"1,5"});
    refusal(Double, {"pi"});
}

TEST(ParseValues, RefusalNamesTheValueTheTypeAndTheExpectedForm)
{
    const QString error = refusal(UInt16, {"1", "70000", "3"});
    EXPECT_TRUE(error.contains(QStringLiteral("'70000'"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("UInt16"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    EXPECT_TRUE(refusal(Bool, {"maybe"}).contains(QStringLiteral("true or false")));
    EXPECT_TRUE(refusal(NoType, {"1"}).contains(QStringLiteral("NoType")));
    EXPECT_FALSE(refusal(static_cast<DataType>(27), {"1"}).isEmpty());
}

TEST(FormatValues, UsesTheRecordsTypeAndStopsAtTheEndOfItsList)
{
    CLabelVariable record = recordOf(UInt16, QVariant::fromValue(QList<unsigned short>{1, 54321}));
    record.count = 5; // the accessors, not the count, decide how many elements there are
    EXPECT_EQ(formatValues(record, ValueStyle::Text), (QStringList{"1", "54321"}));

    CLabelVariable signedBytes = recordOf(Int8, QVariant::fromValue(QList<char>{static_cast<char>(-3), 4}));
    EXPECT_EQ(formatValues(signedBytes, ValueStyle::Text), (QStringList{"-3", "4"}));

    CLabelVariable wide = recordOf(UInt64, QVariant::fromValue(QList<unsigned long long>{12345678901234567890ull}));
    EXPECT_EQ(formatValues(wide, ValueStyle::Json), QStringList{"12345678901234567890"});
    CLabelVariable negative = recordOf(Int64, QVariant::fromValue(QList<long long>{-1234567890123}));
    EXPECT_EQ(formatValues(negative, ValueStyle::Json), QStringList{"-1234567890123"});
}

TEST(FormatValues, BoolsAreDigitsInTextAndLiteralsInJson)
{
    CLabelVariable record = recordOf(Bool, QVariant::fromValue(QList<bool>{true, false}));
    EXPECT_EQ(formatValues(record, ValueStyle::Text), (QStringList{"1", "0"}));
    EXPECT_EQ(formatValues(record, ValueStyle::Json), (QStringList{"true", "false"}));
}

TEST(FormatValues, FloatsInTheirShortestExactFormAndNullForNonFiniteInJson)
{
    CLabelVariable floats = recordOf(Float_CDAB, QVariant::fromValue(QList<float>{123.456f, 0.1f, -1500.0f,
                                                                                  std::numeric_limits<float>::quiet_NaN(),
                                                                                  std::numeric_limits<float>::infinity()}));
    EXPECT_EQ(formatValues(floats, ValueStyle::Text), (QStringList{"123.456", "0.1", "-1500", "nan", "inf"}));
    EXPECT_EQ(formatValues(floats, ValueStyle::Json), (QStringList{"123.456", "0.1", "-1500", "null", "null"}));

    CLabelVariable doubles = recordOf(Double, QVariant::fromValue(QList<double>{3.141592653589793, 1e300}));
    const QStringList text = formatValues(doubles, ValueStyle::Text);
    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text.at(0), QStringLiteral("3.141592653589793"));
    EXPECT_EQ(text.at(1).toDouble(), 1e300);
}

TEST(FormatValues, ParsedValuesFormatBackToTheirCanonicalText)
{
    for (const auto& [type, texts, expected] : {
             std::tuple<DataType, QStringList, QStringList>{Int16_AB, {"0xFFFF", "-7"}, {"-1", "-7"}},
             {UInt32_DCBA, {"3000000000"}, {"3000000000"}},
             {Float_BADC, {"2.5e1"}, {"25"}},
             {Bool, {"true", "0"}, {"1", "0"}},
             {Int8, {"-128"}, {"-128"}},
         }) {
        QVariant list;
        QString error;
        ASSERT_TRUE(parseValues(type, texts, &list, &error)) << error.toStdString();
        CLabelVariable record = recordOf(type, list);
        EXPECT_EQ(formatValues(record, ValueStyle::Text), expected) << texts.join(' ').toStdString();
    }
}

TEST(FormatValues, ARecordWithoutItsListTypeGivesNoValues)
{
    CLabelVariable failedRead;
    failedRead.type = Float;
    EXPECT_TRUE(formatValues(failedRead, ValueStyle::Text).isEmpty());

    CLabelVariable mismatched = recordOf(Int32, QVariant::fromValue(QList<short>{1, 2}));
    EXPECT_TRUE(formatValues(mismatched, ValueStyle::Json).isEmpty());

    CLabelVariable strings = recordOf(String, QVariant::fromValue(QList<QString>{"a\"b"}));
    EXPECT_EQ(formatValues(strings, ValueStyle::Json), QStringList{"\"a\\\"b\""});
}

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
