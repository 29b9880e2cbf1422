// Write planning: what is encoded and sent, and which writes are refused before anything is sent.
#include <gtest/gtest.h>

#include "fake_transaction.h"

using namespace vane::modbus;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

const QDateTime hostTime(QDate(2020, 5, 6), QTime(7, 8, 9));

template <typename T>
CLabelVariable valuesOf(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    record.timestamp = hostTime;
    record.status = 42;
    record.address = QStringLiteral("kept");
    record.count = 99;
    record.type = String;
    record.reserved = 5;
    record.reservedText = QStringLiteral("note");
    return record;
}

CLabelVariable writeRegisters(FakeTransaction& device, DataType type, const CLabelVariable& values, int count,
                              RegisterTypes types = RegisterTypes::All)
{
    return planWrite(AreaKind::Registers, type, CLabelVariable(values), count, types, RefusalTime::Kept, device.writer());
}

CLabelVariable writeCoils(FakeTransaction& device, DataType type, const CLabelVariable& values, int count)
{
    return planWrite(AreaKind::Bits, type, CLabelVariable(values), count, RegisterTypes::All, RefusalTime::Kept, device.writer());
}

void expectRefusedUnsent(const FakeTransaction& device, const CLabelVariable& record, int status)
{
    EXPECT_EQ(device.calls, 0);
    EXPECT_EQ(record.status, status);
    EXPECT_EQ(record.timestamp, hostTime);
}

} // namespace

TEST(WritePlanning, RegistersSendTheEncodedBytes)
{
    FakeTransaction device;
    const CLabelVariable floats = valuesOf(QList<float>{1.0f, -2.0f});
    const CLabelVariable record = writeRegisters(device, Float_CDAB, floats, 2);
    EXPECT_EQ(device.calls, 1);
    EXPECT_EQ(device.quantity, 8);
    EXPECT_EQ(device.sent, hex("00003F80" "0000C000"));
    EXPECT_EQ(record.status, 0);

    writeRegisters(device, Int16, valuesOf(QList<short>{-2}), 1);
    EXPECT_EQ(device.quantity, 2);
    EXPECT_EQ(device.sent, hex("FFFE"));

    writeRegisters(device, UInt8, valuesOf(QList<unsigned char>{0x12, 0x34}), 2);
    EXPECT_EQ(device.quantity, 2);
    EXPECT_EQ(device.sent, hex("1234"));

    // An odd run of bytes in registers writes one element less.
    writeRegisters(device, Int8, valuesOf(QList<char>{1, 2, 3}), 3);
    EXPECT_EQ(device.quantity, 2);
    EXPECT_EQ(device.sent, hex("0102"));

    EXPECT_EQ(device.calls, 4);

    // A single byte fills no register: a write of nothing is not sent.
    FakeTransaction unused;
    expectRefusedUnsent(unused, writeRegisters(unused, Int8, valuesOf(QList<char>{1}), 1), 4);
}

TEST(WritePlanning, ReturnsTheGivenRecordWithStatusAndTimestamp)
{
    FakeTransaction device;
    const CLabelVariable values = valuesOf(QList<unsigned short>{7});
    const QDateTime before = QDateTime::currentDateTime();
    const CLabelVariable record = writeRegisters(device, UInt16, values, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_GE(record.timestamp, before);
    EXPECT_GE(record.timestamp, device.calledAt);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{7});
    EXPECT_EQ(record.address, QStringLiteral("kept"));
    EXPECT_EQ(record.count, 99);
    EXPECT_EQ(record.type, String);
    EXPECT_EQ(record.reserved, 5);
    EXPECT_EQ(record.reservedText, QStringLiteral("note"));
}

TEST(WritePlanning, TransactionResultsBecomeStatuses)
{
    const struct {
        TransactionResult result;
        int status;
    } cases[] = {{TransactionResult::Done, 0}, {TransactionResult::BadAnswer, 7}, {TransactionResult::NoAnswer, 8},
                 {TransactionResult::NoTransport, 9}, {TransactionResult::NotBuilt, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        FakeTransaction registers;
        registers.result = c.result;
        EXPECT_EQ(writeRegisters(registers, Int32, valuesOf(QList<int>{1}), 1).status, c.status);
        FakeTransaction coils;
        coils.result = c.result;
        const CLabelVariable record = writeCoils(coils, Bool, valuesOf(QList<bool>{true}), 1);
        EXPECT_EQ(record.status, c.status);
        EXPECT_NE(record.timestamp, hostTime);
    }
}

TEST(WritePlanning, CoilsFromBits)
{
    FakeTransaction device;
    const QList<bool> bits{true, false, true, true, false, false, false, false, true, true};
    writeCoils(device, Bool, valuesOf(bits), 10);
    EXPECT_EQ(device.quantity, 10);
    EXPECT_EQ(device.sent, hex("0D03"));
}

TEST(WritePlanning, CoilsFromBytesWriteOneCoilPerElement)
{
    FakeTransaction device;
    writeCoils(device, Int8, valuesOf(QList<char>{5}), 1);
    EXPECT_EQ(device.quantity, 1);
    EXPECT_EQ(device.sent.left(1), hex("05"));

    writeCoils(device, UInt8, valuesOf(QList<unsigned char>{0x04}), 1);
    EXPECT_EQ(device.quantity, 1);
    EXPECT_EQ(device.sent.left(1), hex("04"));

    // Nine coils take their bits from the first two elements.
    writeCoils(device, UInt8, valuesOf(QList<unsigned char>{0xAA, 0x01}), 9);
    EXPECT_EQ(device.quantity, 9);
    EXPECT_EQ(device.sent.left(2), hex("AA01"));
    EXPECT_EQ(device.calls, 3);
}

TEST(WritePlanning, CoilsRefuseOtherTypesWithSeven)
{
    for (const DataType type : {Int16, UInt16, Int32, Float, Double, UInt64, Int16_BA, String}) {
        SCOPED_TRACE(type);
        FakeTransaction device;
        expectRefusedUnsent(device, writeCoils(device, type, valuesOf(QList<short>{1, 2}), 1), 7);
    }
}

TEST(WritePlanning, RegistersRefuseTypesWithoutEncoderWithTwo)
{
    for (const int type : {1, 12, 25, 32, 41}) {
        SCOPED_TRACE(type);
        FakeTransaction device;
        expectRefusedUnsent(device, writeRegisters(device, static_cast<DataType>(type), valuesOf(QList<bool>{true}), 1), 2);
    }
}

TEST(WritePlanning, PlainOnlyRegistersRefuseByteOrderTypes)
{
    for (int type = 13; type <= 40; ++type) {
        if (type > 24 && type < 33)
            continue;
        SCOPED_TRACE(type);
        FakeTransaction device;
        expectRefusedUnsent(device,
                            writeRegisters(device, static_cast<DataType>(type), valuesOf(QList<double>{1.0, 2.0}), 1,
                                           RegisterTypes::PlainOnly),
                            2);
    }
    FakeTransaction device;
    writeRegisters(device, Float, valuesOf(QList<float>{1.0f, 2.0f}), 2, RegisterTypes::PlainOnly);
    EXPECT_EQ(device.quantity, 8);
    EXPECT_EQ(device.sent, hex("3F80000040000000"));
    writeRegisters(device, Double, valuesOf(QList<double>{1.0}), 1, RegisterTypes::PlainOnly);
    EXPECT_EQ(device.sent, hex("3FF0000000000000"));
    EXPECT_EQ(device.calls, 2);
}

TEST(WritePlanning, ShortDataIsRefusedBeforeSending)
{
    FakeTransaction device;
    // Another list type than the data type calls for, or no list at all.
    expectRefusedUnsent(device, writeRegisters(device, Int16, valuesOf(QList<int>{1, 2}), 1), 2);
    CLabelVariable empty;
    empty.timestamp = hostTime;
    expectRefusedUnsent(device, writeRegisters(device, Float, empty, 1), 2);
    expectRefusedUnsent(device, writeCoils(device, Bool, valuesOf(QList<char>{1}), 1), 2);
    // Fewer elements than the write needs.
    expectRefusedUnsent(device, writeRegisters(device, Int16, valuesOf(QList<short>{1}), 2), 4);
    expectRefusedUnsent(device, writeRegisters(device, UInt8, valuesOf(QList<unsigned char>{1}), 2), 4);
    QList<bool> nineBits;
    for (int i = 0; i < 9; ++i)
        nineBits.append(true);
    expectRefusedUnsent(device, writeCoils(device, Bool, valuesOf(nineBits), 10), 4);
    expectRefusedUnsent(device, writeCoils(device, Int8, valuesOf(QList<char>{1}), 9), 4);
}

TEST(WritePlanning, EnoughDataIsSentEvenIfTheListIsLonger)
{
    FakeTransaction device;
    writeRegisters(device, Int16, valuesOf(QList<short>{1, 2, 3}), 2);
    EXPECT_EQ(device.sent, hex("00010002"));
    // An odd byte run needs only the elements it writes.
    writeRegisters(device, Int8, valuesOf(QList<char>{1, 2}), 3);
    EXPECT_EQ(device.sent, hex("0102"));
    EXPECT_EQ(device.calls, 2);
}
