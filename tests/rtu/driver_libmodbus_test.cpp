// The RTU driver end to end against a real Modbus RTU server (libmodbus) on a pty pair: every
// data type from every area, writes of the plain types checked in the server's tables, and the
// cases in which nothing may be sent. Register and coil writes alike in both drivers are tested
// with the fronts.
#include "rtu/Serivane.h"

#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pty_pair.h"
#include "tests/support/posix_util.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vanetest;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

template <typename T>
CLabelVariable recordOf(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    record.timestamp = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5));
    return record;
}

// Signed 8-bit elements compared as numbers, whatever the signedness of char.
int int8At(CLabelVariable& record, int index) { return static_cast<signed char>(record.atInt8(index)); }

constexpr int kStation = 5;

class SerivaneOnLibmodbus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        ASSERT_TRUE(peer.isOpen());
        driver.SetConnectPar(QString::number(kStation));
        ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + ",9600,8,1,N"), 0);
    }

    static PeerMapSizes sizes()
    {
        PeerMapSizes tables;
        tables.holdingRegisters = 1000;
        return tables;
    }

    PtyPair pty;
    LibmodbusRtuPeer peer{pty.pathA(), kStation, 9600, sizes()};
    Serivane driver;
};

struct RegisterCase {
    DataType type;
    int count;
    const char* wire; // the registers' bytes, high byte first
    std::function<void(CLabelVariable&)> check;
};

std::vector<RegisterCase> registerCases()
{
    return {
        {Int8, 2, "807f", [](CLabelVariable& r) { EXPECT_EQ(int8At(r, 0), -128); EXPECT_EQ(int8At(r, 1), 127); }},
        {UInt8, 2, "ff01", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt8(0), 0xFF); EXPECT_EQ(r.atUInt8(1), 1); }},
        {Int16, 2, "fffe8000", [](CLabelVariable& r) { EXPECT_EQ(r.atInt16(0), -2); EXPECT_EQ(r.atInt16(1), -32768); }},
        {Int16_AB, 1, "fffe", [](CLabelVariable& r) { EXPECT_EQ(r.atInt16(0), -2); }},
        {Int16_BA, 1, "feff", [](CLabelVariable& r) { EXPECT_EQ(r.atInt16(0), -2); }},
        {UInt16, 1, "1234", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt16(0), 0x1234); }},
        {UInt16_AB, 1, "1234", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt16(0), 0x1234); }},
        {UInt16_BA, 1, "3412", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt16(0), 0x1234); }},
        {Int32, 1, "fedcba98", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {Int32_ABCD, 1, "fedcba98", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {Int32_BADC, 1, "dcfe98ba", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {Int32_CDAB, 1, "ba98fedc", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {Int32_DCBA, 1, "98badcfe", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {UInt32, 2, "1234567800000001", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); EXPECT_EQ(r.atUInt32(1), 1u); }},
        {UInt32_ABCD, 1, "12345678", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); }},
        {UInt32_BADC, 1, "34127856", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); }},
        {UInt32_CDAB, 1, "56781234", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); }},
        {UInt32_DCBA, 1, "78563412", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); }},
        {Float, 1, "40490fdb", [](CLabelVariable& r) { EXPECT_FLOAT_EQ(r.atFloat(0), 3.14159274f); }},
        {Float_ABCD, 1, "40490fdb", [](CLabelVariable& r) { EXPECT_FLOAT_EQ(r.atFloat(0), 3.14159274f); }},
        {Float_BADC, 1, "4940db0f", [](CLabelVariable& r) { EXPECT_FLOAT_EQ(r.atFloat(0), 3.14159274f); }},
        {Float_CDAB, 2, "0fdb40490000bfc0", [](CLabelVariable& r) { EXPECT_FLOAT_EQ(r.atFloat(0), 3.14159274f); EXPECT_FLOAT_EQ(r.atFloat(1), -1.5f); }},
        {Float_DCBA, 1, "db0f4940", [](CLabelVariable& r) { EXPECT_FLOAT_EQ(r.atFloat(0), 3.14159274f); }},
        {Int64, 1, "fedcba9876543210", [](CLabelVariable& r) { EXPECT_EQ(r.atInt64(0), static_cast<long long>(0xfedcba9876543210ull)); }},
        {UInt64, 1, "0123456789abcdef", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt64(0), 0x0123456789abcdefull); }},
        {Double, 1, "400921fb54442d18", [](CLabelVariable& r) { EXPECT_DOUBLE_EQ(r.atDouble(0), 3.141592653589793); }},
        {Double_ABCDEFGH, 1, "400921fb54442d18", [](CLabelVariable& r) { EXPECT_DOUBLE_EQ(r.atDouble(0), 3.141592653589793); }},
        {Double_BADCFEHG, 1, "0940fb214454182d", [](CLabelVariable& r) { EXPECT_DOUBLE_EQ(r.atDouble(0), 3.141592653589793); }},
        {Double_GHEFCDAB, 1, "2d18544421fb4009", [](CLabelVariable& r) { EXPECT_DOUBLE_EQ(r.atDouble(0), 3.141592653589793); }},
        {Double_HGFEDCBA, 1, "182d4454fb210940", [](CLabelVariable& r) { EXPECT_DOUBLE_EQ(r.atDouble(0), 3.141592653589793); }},
    };
}

TEST_F(SerivaneOnLibmodbus, ReadsEveryRegisterTypeFromHoldingAndInputRegisters)
{
    const std::vector<RegisterCase> cases = registerCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const RegisterCase& c = cases[i];
        const int offset = 100 + static_cast<int>(i) * 10;
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        peer.setHoldingBytes(offset, hex(c.wire));
        // The input registers hold the same bytes one register further on.
        peer.setInputBytes(offset + 1, hex(c.wire));

        CLabelVariable held = driver.ReadVariable(QStringLiteral("4x%1").arg(offset), c.type, c.count);
        ASSERT_EQ(held.status, 0);
        EXPECT_EQ(held.count, c.count);
        EXPECT_EQ(held.type, c.type);
        c.check(held);
        CLabelVariable input = driver.ReadVariable(QStringLiteral("3x%1").arg(offset + 1), c.type, c.count);
        ASSERT_EQ(input.status, 0);
        c.check(input);
    }
    EXPECT_EQ(peer.requestCount(), static_cast<int>(2 * cases.size()));

    // Bool is no register type: asked for and answered, then refused.
    CLabelVariable bits = driver.ReadVariable(QStringLiteral("4x100"), Bool, 16);
    EXPECT_EQ(bits.status, 2);
    EXPECT_FALSE(bits.value.isValid());
    EXPECT_EQ(peer.requestCount(), static_cast<int>(2 * cases.size()) + 1);
}

TEST_F(SerivaneOnLibmodbus, ReadsTheBitTypesFromCoilsAndDiscreteInputs)
{
    struct BitCase {
        DataType type;
        int count;
        const char* packed; // the bits as the answer packs them
        std::function<void(CLabelVariable&)> check;
    };
    const std::vector<BitCase> cases = {
        {Bool, 10, "0502", [](CLabelVariable& r) {
             const bool expected[10] = {true, false, true, false, false, false, false, false, false, true};
             for (int i = 0; i < 10; ++i)
                 EXPECT_EQ(r.atbool(i), expected[i]) << i;
         }},
        {Int8, 2, "807f", [](CLabelVariable& r) { EXPECT_EQ(int8At(r, 0), -128); EXPECT_EQ(int8At(r, 1), 127); }},
        {UInt8, 1, "a5", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt8(0), 0xA5); }},
        {Int16, 1, "fffe", [](CLabelVariable& r) { EXPECT_EQ(r.atInt16(0), -2); }},
        {UInt16, 1, "1234", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt16(0), 0x1234); }},
        {Int32, 1, "fedcba98", [](CLabelVariable& r) { EXPECT_EQ(r.atInt32(0), -19088744); }},
        {UInt32, 1, "12345678", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt32(0), 0x12345678u); }},
        {UInt64, 1, "0123456789abcdef", [](CLabelVariable& r) { EXPECT_EQ(r.atUInt64(0), 0x0123456789abcdefull); }},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const BitCase& c = cases[i];
        const int offset = 1000 + static_cast<int>(i) * 100;
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        const QByteArray packed = hex(c.packed);
        const int bitCount = c.type == Bool ? c.count : packed.size() * 8;
        peer.setCoils(offset, unpackBits(packed, bitCount));
        peer.setDiscreteInputs(offset + 3, unpackBits(packed, bitCount));
        // The neighbours are set, so that a read one off shows.
        peer.setCoil(offset + bitCount, true);
        peer.setCoil(offset - 1, true);

        CLabelVariable coils = driver.ReadVariable(QStringLiteral("0x%1").arg(offset), c.type, c.count);
        ASSERT_EQ(coils.status, 0);
        c.check(coils);
        CLabelVariable inputs = driver.ReadVariable(QStringLiteral("1x%1").arg(offset + 3), c.type, c.count);
        ASSERT_EQ(inputs.status, 0);
        c.check(inputs);
    }
    // Types without a bit decoding are asked for (32 coils here) and refused.
    const int before = peer.requestCount();
    for (DataType type : {Float, Int64, Double, Float_CDAB, Int16_BA}) {
        EXPECT_EQ(driver.ReadVariable(QStringLiteral("0x0"), type, 1).status, 2) << type;
        EXPECT_EQ(driver.ReadVariable(QStringLiteral("1x0"), type, 1).status, 2) << type;
    }
    EXPECT_EQ(peer.requestCount(), before + 10);
}

TEST_F(SerivaneOnLibmodbus, WritesThePlainTypesIntoHoldingRegisters)
{
    struct WriteCase {
        DataType type;
        CLabelVariable values;
        int count;
        const char* stored;
    };
    const std::vector<WriteCase> cases = {
        {Int8, recordOf(QList<char>{char(-128), 127}), 2, "807f"},
        {UInt8, recordOf(QList<unsigned char>{0xfe, 0x01}), 2, "fe01"},
        {Int16, recordOf(QList<short>{-2}), 1, "fffe"},
        {Int16, recordOf(QList<short>{1, -1, 3}), 3, "0001ffff0003"},
        {UInt16, recordOf(QList<unsigned short>{0xbeef, 2}), 2, "beef0002"},
        {Int32, recordOf(QList<int>{-19088744}), 1, "fedcba98"},
        {UInt32, recordOf(QList<unsigned int>{0x12345678u}), 1, "12345678"},
        {Float, recordOf(QList<float>{3.14159274f, -1.5f}), 2, "40490fdbbfc00000"},
        {Int64, recordOf(QList<long long>{static_cast<long long>(0xfedcba9876543210ull)}), 1, "fedcba9876543210"},
        {UInt64, recordOf(QList<unsigned long long>{0x0123456789abcdefull}), 1, "0123456789abcdef"},
        {Double, recordOf(QList<double>{3.141592653589793}), 1, "400921fb54442d18"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const WriteCase& c = cases[i];
        const int offset = 200 + static_cast<int>(i) * 10;
        SCOPED_TRACE(testing::Message() << "type " << c.type << " count " << c.count);
        const QByteArray stored = hex(c.stored);
        CLabelVariable written = driver.WriteVariable(QStringLiteral("4x%1").arg(offset), c.type, c.values, c.count);
        EXPECT_EQ(written.status, 0);
        EXPECT_NE(written.timestamp, c.values.timestamp);
        EXPECT_EQ(peer.holdingBytes(offset, stored.size()), stored);
        EXPECT_EQ(peer.holdingRegister(offset + stored.size() / 2), 0) << "wrote past the end";
    }
    EXPECT_EQ(peer.requestCount(), static_cast<int>(cases.size()));
}

TEST_F(SerivaneOnLibmodbus, RefusedWritesSendNothingAndKeepTheHostsTimestamp)
{
    const CLabelVariable floats = recordOf(QList<float>{1.0f});
    const CLabelVariable shorts = recordOf(QList<short>{1});
    for (DataType type : {Float_CDAB, Float_ABCD, Int16_AB, Int32_DCBA, UInt32_BADC, Double_HGFEDCBA, Bool, String}) {
        CLabelVariable refused = driver.WriteVariable(QStringLiteral("4x0"), type, floats, 1);
        EXPECT_EQ(refused.status, 2) << type;
        EXPECT_EQ(refused.timestamp, floats.timestamp);
    }
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x0"), Int16, shorts, 1).status, 7);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x0"), Float, floats, 1).status, 7);
    // A list of another type, or too few elements.
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int32, shorts, 1).status, 2);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, shorts, 2).status, 4);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("1x0"), Bool, recordOf(QList<bool>{true}), 1).status, 6);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("3x0"), Int16, shorts, 1).status, 6);
    EXPECT_EQ(peer.requestCount(), 0);
}

TEST_F(SerivaneOnLibmodbus, ExceptionAnswersOfTheServerGiveStatusSeven)
{
    // The table ends at 999.
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x999"), Int32, 1).status, 7);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x999"), Int32, recordOf(QList<int>{1}), 1).status, 7);
    // A read of 0 elements would ask for 0 registers: refused before sending.
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), Int16, 0).status, 4);
    EXPECT_EQ(peer.requestCount(), 2);
    // The line is in order afterwards.
    peer.setHoldingRegister(998, 0x0102);
    CLabelVariable value = driver.ReadVariable(QStringLiteral("4x998"), UInt16, 1);
    ASSERT_EQ(value.status, 0);
    EXPECT_EQ(value.atUInt16(0), 0x0102);
}

TEST(SerivaneLinkless, NothingIsSentBeforeConnectDrive)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer peer(pty.pathA(), 1);
    ASSERT_TRUE(peer.isOpen());
    Serivane driver;
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), Int16, 1).status, 9);
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("0x0"), Bool, 1).status, 9);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, recordOf(QList<short>{1}), 1).status, 9);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x0"), Bool, recordOf(QList<bool>{true}), 1).status, 9);
    EXPECT_EQ(peer.requestCount(), 0);

    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + ",9600,8,1,N"), 0);
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), Int16, 1).status, 0);
    EXPECT_EQ(peer.requestCount(), 1);
}

TEST(SerivanePerExchange, PortWithAColonIsOpenedOnlyAroundEachExchange)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer peer(pty.pathA(), 1);
    ASSERT_TRUE(peer.isOpen());
    peer.setHoldingRegisters(0, {11, 12, 13});
    Serivane driver;
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(pty.pathB()) + ":x,9600,8,1,N"), 0);
    // The driver holds its end of the line open only while an exchange runs.
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    for (int i = 0; i < 3; ++i) {
        CLabelVariable value = driver.ReadVariable(QStringLiteral("4x%1").arg(i), UInt16, 1);
        ASSERT_EQ(value.status, 0);
        EXPECT_EQ(value.atUInt16(0), 11 + i);
        EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    }
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x5"), Int16, recordOf(QList<short>{-5}), 1).status, 0);
    EXPECT_EQ(peer.holdingRegister(5), 0xFFFB);
    EXPECT_EQ(descriptorsOpenOn(pty.pathB()), 0);
    EXPECT_EQ(driver.DisConnectDrive(), 0);
    // The transport is released: a read finds none and sends nothing.
    EXPECT_EQ(driver.DestroyFree(), 0);
    EXPECT_EQ(driver.DestroyFree(), 1);
    const int requests = peer.requestCount();
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), UInt16, 1).status, 9);
    EXPECT_EQ(peer.requestCount(), requests);
}

} // namespace
