// Read planning: one transaction per read, its quantity, the status it maps to and the decoding.
#include <gtest/gtest.h>

#include "codecs/type_codecs.h"
#include "fake_transaction.h"

using namespace vane::modbus;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

QByteArray patternBytes(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>(i * 17 + 3));
    return bytes;
}

// Elements the record holds as the list type of `type`; -1 for another list type.
int heldAs(DataType type, const CLabelVariable& record) { return vane::codecs::codecFor(type).held(record); }

} // namespace

TEST(ReadPlanning, RegistersAskForBytesAndDecodeInTheTypesOrder)
{
    FakeTransaction device;
    device.reply = hex("00003F80" "0000C000");
    const CLabelVariable record = planRead(AreaKind::Registers, Float_CDAB, 2, device.reader());
    EXPECT_EQ(device.calls, 1);
    EXPECT_EQ(device.quantity, 8);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<float>>(), (QList<float>{1.0f, -2.0f}));
    // The front fills these in.
    EXPECT_TRUE(record.address.isEmpty());
    EXPECT_EQ(record.count, 0);
    EXPECT_EQ(record.type, NoType);
}

TEST(ReadPlanning, CoilsAskForBitsAndUnpackThem)
{
    FakeTransaction device;
    device.reply = hex("0D03");
    const CLabelVariable bits = planRead(AreaKind::Bits, Bool, 10, device.reader());
    EXPECT_EQ(device.quantity, 10);
    EXPECT_EQ(bits.status, 0);
    EXPECT_EQ(bits.value.value<QList<bool>>(),
              (QList<bool>{true, false, true, true, false, false, false, false, true, true}));

    device.reply = hex("1234");
    const CLabelVariable word = planRead(AreaKind::Bits, Int16, 1, device.reader());
    EXPECT_EQ(device.quantity, 16);
    EXPECT_EQ(word.value.value<QList<short>>(), QList<short>{0x1234});

    device.reply = hex("0102");
    const CLabelVariable bytes = planRead(AreaKind::Bits, UInt8, 2, device.reader());
    EXPECT_EQ(device.quantity, 16);
    EXPECT_EQ(bytes.value.value<QList<unsigned char>>(), (QList<unsigned char>{1, 2}));
}

TEST(ReadPlanning, EveryRegisterTypeYieldsCountElements)
{
    for (int type = 2; type <= 40; ++type) {
        const vane::codecs::TypeCodec codec = vane::codecs::codecFor(static_cast<DataType>(type));
        if (!codec.decode)
            continue;
        SCOPED_TRACE(type);
        const int count = 5;
        const int expected = (type == Int8 || type == UInt8) ? 4 : count;
        FakeTransaction device;
        device.reply = patternBytes(count * 8);
        const CLabelVariable record = planRead(AreaKind::Registers, static_cast<DataType>(type), count, device.reader());
        EXPECT_EQ(device.quantity, expected * codec.width);
        EXPECT_EQ(record.status, 0);
        EXPECT_EQ(heldAs(static_cast<DataType>(type), record), expected);
        // The elements are the reply's bytes in the type's order: encoding them gives the bytes back.
        QByteArray encoded;
        codec.encode(record, expected, &encoded);
        EXPECT_EQ(encoded, device.reply.left(expected * codec.width));
    }
}

TEST(ReadPlanning, BitAreasDecodeOnlySomeTypes)
{
    for (int type = 1; type <= 40; ++type) {
        if (!vane::codecs::codecFor(static_cast<DataType>(type)).decode)
            continue;
        SCOPED_TRACE(type);
        const bool decodable = type == Bool || type == Int8 || type == UInt8 || type == Int16 || type == UInt16
            || type == Int32 || type == UInt32 || type == UInt64;
        FakeTransaction device;
        device.reply = patternBytes(16);
        const CLabelVariable record = planRead(AreaKind::Bits, static_cast<DataType>(type), 2, device.reader());
        EXPECT_EQ(device.calls, 1);
        if (decodable) {
            EXPECT_EQ(record.status, 0);
            EXPECT_EQ(heldAs(static_cast<DataType>(type), record), 2);
        } else {
            EXPECT_EQ(record.status, 2);
            EXPECT_FALSE(record.value.isValid());
        }
    }
}

TEST(ReadPlanning, TypesTheAreaDoesNotDecodeStillSendTheRequest)
{
    FakeTransaction device;
    const CLabelVariable floatCoils = planRead(AreaKind::Bits, Float, 1, device.reader());
    EXPECT_EQ(device.quantity, 32);
    EXPECT_EQ(floatCoils.status, 2);

    const CLabelVariable boolRegisters = planRead(AreaKind::Registers, Bool, 9, device.reader());
    EXPECT_EQ(device.quantity, 2);
    EXPECT_EQ(boolRegisters.status, 2);
    EXPECT_EQ(device.calls, 2);

    // A request for nothing is not sent: 2 when the type has no size, 4 when the count is short.
    FakeTransaction unused;
    const CLabelVariable strings = planRead(AreaKind::Registers, String, 3, unused.reader());
    EXPECT_EQ(strings.status, 2);
    EXPECT_TRUE(strings.timestamp.isValid());
    EXPECT_EQ(planRead(AreaKind::Registers, Int8, 1, unused.reader()).status, 4);
    // 2001 bits are 251 bytes: one register more than a read may carry.
    EXPECT_EQ(planRead(AreaKind::Registers, Bool, 2001, unused.reader()).status, 4);
    EXPECT_EQ(unused.calls, 0);
}

TEST(ReadPlanning, TransactionResultsBecomeStatuses)
{
    const struct {
        TransactionResult result;
        int status;
    } cases[] = {{TransactionResult::BadAnswer, 7}, {TransactionResult::NoAnswer, 8}, {TransactionResult::NoTransport, 9}, {TransactionResult::NotBuilt, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        FakeTransaction device;
        device.result = c.result;
        device.reply = hex("0001");
        const CLabelVariable record = planRead(AreaKind::Registers, Int16, 1, device.reader());
        EXPECT_EQ(record.status, c.status);
        EXPECT_FALSE(record.value.isValid());
        EXPECT_TRUE(record.timestamp.isValid());
        EXPECT_GE(record.timestamp, device.calledAt);
    }
}

TEST(ReadPlanning, ShortAnswerStillGivesCountElements)
{
    FakeTransaction device;
    device.reply = hex("0001");
    const CLabelVariable record = planRead(AreaKind::Registers, UInt16, 3, device.reader());
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), (QList<unsigned short>{1, 0, 0}));
}
