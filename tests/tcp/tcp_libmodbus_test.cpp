// The Modbus TCP driver against a real Modbus server (libmodbus): every data type read from every
// area and compared with values worked out here from the server's contents, writes in every byte
// order checked in the server's tables, and requests the driver refuses before anything reaches
// the server. Plain register and coil writes, alike in both drivers, are tested with the fronts.

#include "tcp/Netvane.h"
#include "tcp_test_env.h"

#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

using namespace tcptest;
using namespace vanetest;

namespace {

// Holding and input registers hold distinct bytes, so any byte taken from the wrong place shows.
uint16_t holdingPattern(int address) { return uint16_t(((2 * address + 1) & 0xFF) << 8 | ((2 * address + 2) & 0xFF)); }
uint16_t inputPattern(int address) { return uint16_t(holdingPattern(address) ^ 0x8080); }
bool coilPattern(int address) { return (address * 7) % 5 < 2; }
bool inputBitPattern(int address) { return address % 4 == 1 || address % 7 == 0; }

QByteArray wireRegisters(uint16_t (*pattern)(int), int start, int byteCount)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < byteCount; ++i) {
        bytes.append(char(pattern(start + i) >> 8));
        bytes.append(char(pattern(start + i) & 0xFF));
    }
    return bytes.left(byteCount);
}

QByteArray wireBits(bool (*pattern)(int), int start, int count)
{
    std::vector<bool> bits;
    for (int i = 0; i < count; ++i)
        bits.push_back(pattern(start + i));
    return packBits(bits);
}

// An element's bytes as they stand on the wire, the letters of `order` naming the value's bytes
// (A the most significant), turned into the value.
template <class T>
T fromWire(const QByteArray& element, const char* order)
{
    unsigned char value[sizeof(T)];
    for (size_t k = 0; k < sizeof(T); ++k)
        value[order[k] - 'A'] = static_cast<unsigned char>(element.at(int(k)));
    unsigned long long bits = 0;
    for (size_t k = 0; k < sizeof(T); ++k)
        bits = (bits << 8) | value[k];
    if constexpr (std::is_floating_point_v<T>) {
        using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
        const Bits raw = static_cast<Bits>(bits);
        T result;
        std::memcpy(&result, &raw, sizeof(T));
        return result;
    } else {
        return static_cast<T>(bits);
    }
}

// The bytes a value takes on the wire in the given order.
template <class T>
QByteArray toWire(T value, const char* order)
{
    unsigned long long bits = 0;
    if constexpr (std::is_floating_point_v<T>) {
        using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
        Bits raw;
        std::memcpy(&raw, &value, sizeof(T));
        bits = raw;
    } else {
        bits = static_cast<unsigned long long>(value);
    }
    QByteArray wire(int(sizeof(T)), '\0');
    for (size_t k = 0; k < sizeof(T); ++k) {
        const int significance = order[k] - 'A'; // 0 for the most significant byte
        wire[int(k)] = char((bits >> (8 * (sizeof(T) - 1 - significance))) & 0xFF);
    }
    return wire;
}

template <class T>
QList<T> decodeAll(const QByteArray& wire, const char* order)
{
    QList<T> values;
    for (int at = 0; at + int(sizeof(T)) <= wire.size(); at += int(sizeof(T)))
        values << fromWire<T>(wire.mid(at, int(sizeof(T))), order);
    return values;
}

class LibmodbusServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.isListening());
        for (int a = 0; a < 600; ++a) {
            peer.setHoldingRegister(a, holdingPattern(a));
            peer.setInputRegister(a, inputPattern(a));
            peer.setCoil(a, coilPattern(a));
            peer.setDiscreteInput(a, inputBitPattern(a));
        }
        ASSERT_EQ(driver.ConnectDrive(QString("127.0.0.1:%1").arg(peer.port())), 0);
    }

    // Reads `count` elements of `type` from the address and compares them with what the server's
    // bytes give in `order`.
    template <class T>
    void expectRegisterRead(const char* area, DataType type, int count, const char* order)
    {
        const bool holding = QByteArray(area) == "4x";
        const int start = 10;
        for (const int count_ : {count, 1}) {
            if (sizeof(T) == 1 && count_ == 1) {
                // One 8-bit element covers no register: a request for none is refused before sending.
                EXPECT_EQ(driver.ReadVariable(QString("%1%2").arg(area).arg(start), type, 1).status, 4);
                continue;
            }
            const CLabelVariable record = driver.ReadVariable(QString("%1%2").arg(area).arg(start), type, count_);
            const int bytes = sizeof(T) == 1 ? count_ / 2 * 2 : count_ * int(sizeof(T));
            const QByteArray wire = wireRegisters(holding ? holdingPattern : inputPattern, start, bytes);
            ASSERT_EQ(record.status, 0) << area << " type " << type << " count " << count_;
            EXPECT_EQ(record.value.value<QList<T>>(), decodeAll<T>(wire, order)) << area << " type " << type;
            EXPECT_EQ(record.value.value<QList<T>>().size(), sizeof(T) == 1 ? count_ / 2 * 2 : count_);
        }
    }

    template <class T>
    void expectBitRead(const char* area, DataType type, int count)
    {
        const bool coils = QByteArray(area) == "0x";
        const int start = 21;
        const CLabelVariable record = driver.ReadVariable(QString("%1%2").arg(area).arg(start), type, count);
        const QByteArray wire = wireBits(coils ? coilPattern : inputBitPattern, start, count * int(sizeof(T)) * 8);
        ASSERT_EQ(record.status, 0) << area << " type " << type;
        // Packed bits read as values of the type, the first byte the most significant.
        const char* order = "ABCDEFGH";
        EXPECT_EQ(record.value.value<QList<T>>(), decodeAll<T>(wire, order)) << area << " type " << type;
    }

    // Writes the values as `type`, then compares the server's registers with the values laid
    // out in `order`, and reads them back through the driver.
    template <class T>
    void expectRegisterWrite(DataType type, const QList<T>& values, const char* order)
    {
        const int start = 300;
        CLabelVariable record;
        record.value = QVariant::fromValue(values);
        ASSERT_EQ(driver.WriteVariable(QString("4x%1").arg(start), type, record, values.size()).status, 0) << type;
        QByteArray expected;
        for (const T& value : values)
            expected += toWire<T>(value, order);
        EXPECT_EQ(peer.holdingBytes(start, expected.size()).toHex(), expected.toHex()) << "type " << type;
        const CLabelVariable back = driver.ReadVariable(QString("4x%1").arg(start), type, values.size());
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.value.value<QList<T>>(), values) << "type " << type;
    }

    LibmodbusTcpPeer peer;
    Netvane driver;
};

} // namespace

TEST_F(LibmodbusServer, EveryRegisterTypeReadsFromHoldingAndInputRegisters)
{
    for (const char* area : {"4x", "3x"}) {
        SCOPED_TRACE(area);
        expectRegisterRead<char>(area, Int8, 5, "A");
        expectRegisterRead<unsigned char>(area, UInt8, 4, "A");
        expectRegisterRead<short>(area, Int16, 3, "AB");
        expectRegisterRead<unsigned short>(area, UInt16, 3, "AB");
        expectRegisterRead<int>(area, Int32, 3, "ABCD");
        expectRegisterRead<unsigned int>(area, UInt32, 3, "ABCD");
        expectRegisterRead<float>(area, Float, 3, "ABCD");
        expectRegisterRead<long long>(area, Int64, 3, "ABCDEFGH");
        expectRegisterRead<unsigned long long>(area, UInt64, 3, "ABCDEFGH");
        expectRegisterRead<double>(area, Double, 3, "ABCDEFGH");
        expectRegisterRead<short>(area, Int16_AB, 2, "AB");
        expectRegisterRead<short>(area, Int16_BA, 2, "BA");
        expectRegisterRead<unsigned short>(area, UInt16_AB, 2, "AB");
        expectRegisterRead<unsigned short>(area, UInt16_BA, 2, "BA");
        expectRegisterRead<int>(area, Int32_ABCD, 2, "ABCD");
        expectRegisterRead<int>(area, Int32_BADC, 2, "BADC");
        expectRegisterRead<int>(area, Int32_CDAB, 2, "CDAB");
        expectRegisterRead<int>(area, Int32_DCBA, 2, "DCBA");
        expectRegisterRead<unsigned int>(area, UInt32_ABCD, 2, "ABCD");
        expectRegisterRead<unsigned int>(area, UInt32_BADC, 2, "BADC");
        expectRegisterRead<unsigned int>(area, UInt32_CDAB, 2, "CDAB");
        expectRegisterRead<unsigned int>(area, UInt32_DCBA, 2, "DCBA");
        expectRegisterRead<float>(area, Float_ABCD, 2, "ABCD");
        expectRegisterRead<float>(area, Float_BADC, 2, "BADC");
        expectRegisterRead<float>(area, Float_CDAB, 2, "CDAB");
        expectRegisterRead<float>(area, Float_DCBA, 2, "DCBA");
        expectRegisterRead<double>(area, Double_ABCDEFGH, 2, "ABCDEFGH");
        expectRegisterRead<double>(area, Double_BADCFEHG, 2, "BADCFEHG");
        expectRegisterRead<double>(area, Double_GHEFCDAB, 2, "GHEFCDAB");
        expectRegisterRead<double>(area, Double_HGFEDCBA, 2, "HGFEDCBA");
    }
}

TEST_F(LibmodbusServer, TypesWithoutRegisterDecodingEndWithStatus2AfterTheRead)
{
    peer.resetRequestCount();
    const CLabelVariable record = driver.ReadVariable("4x10", Bool, 16);
    EXPECT_EQ(record.status, 2);
    EXPECT_FALSE(record.value.isValid());
    EXPECT_EQ(peer.requestCount(), 1);
    // A type without a size would ask for no register at all: refused before sending.
    EXPECT_EQ(driver.ReadVariable("4x10", String, 16).status, 2);
    EXPECT_EQ(peer.requestCount(), 1);
}

TEST_F(LibmodbusServer, CoilsAndDiscreteInputsReadAsBitsAndAsPackedValues)
{
    for (const char* area : {"0x", "1x"}) {
        SCOPED_TRACE(area);
        const bool coils = QByteArray(area) == "0x";
        const CLabelVariable bits = driver.ReadVariable(QString("%1%2").arg(area).arg(13), Bool, 11);
        ASSERT_EQ(bits.status, 0);
        QList<bool> expected;
        for (int i = 0; i < 11; ++i)
            expected << (coils ? coilPattern(13 + i) : inputBitPattern(13 + i));
        EXPECT_EQ(bits.value.value<QList<bool>>(), expected);

        expectBitRead<char>(area, Int8, 3);
        expectBitRead<unsigned char>(area, UInt8, 2);
        expectBitRead<short>(area, Int16, 2);
        expectBitRead<unsigned short>(area, UInt16, 1);
        expectBitRead<int>(area, Int32, 1);
        expectBitRead<unsigned int>(area, UInt32, 2);
        expectBitRead<unsigned long long>(area, UInt64, 1);
        for (DataType type : {Float, Int64, Double}) {
            const CLabelVariable record = driver.ReadVariable(QString("%1%2").arg(area).arg(0), type, 1);
            EXPECT_EQ(record.status, 2) << type;
        }
    }
}

TEST_F(LibmodbusServer, EveryRegisterTypeWritesInItsByteOrder)
{
    expectRegisterWrite<char>(Int8, {-3, 0x41, 0x7F, -128}, "A");
    expectRegisterWrite<unsigned char>(UInt8, {0xFE, 0x01}, "A");
    expectRegisterWrite<short>(Int16, {-2, 0x1234, 77}, "AB");
    expectRegisterWrite<unsigned short>(UInt16, {0xFFFE, 0x0102}, "AB");
    expectRegisterWrite<int>(Int32, {-100000, 0x01020304}, "ABCD");
    expectRegisterWrite<unsigned int>(UInt32, {0xF1F2F3F4u, 5u}, "ABCD");
    expectRegisterWrite<float>(Float, {-1.5f, 3.25e7f}, "ABCD");
    expectRegisterWrite<long long>(Int64, {-1234567890123LL, 0x0102030405060708LL}, "ABCDEFGH");
    expectRegisterWrite<unsigned long long>(UInt64, {0xF1F2F3F4F5F6F7F8ULL}, "ABCDEFGH");
    expectRegisterWrite<double>(Double, {-2.5e-3, 6.02214076e23}, "ABCDEFGH");
    expectRegisterWrite<short>(Int16_AB, {0x0A0B, -9}, "AB");
    expectRegisterWrite<short>(Int16_BA, {0x0A0B, -9}, "BA");
    expectRegisterWrite<unsigned short>(UInt16_AB, {0xA0B0, 9}, "AB");
    expectRegisterWrite<unsigned short>(UInt16_BA, {0xA0B0, 9}, "BA");
    expectRegisterWrite<int>(Int32_ABCD, {0x0A0B0C0D, -7}, "ABCD");
    expectRegisterWrite<int>(Int32_BADC, {0x0A0B0C0D, -7}, "BADC");
    expectRegisterWrite<int>(Int32_CDAB, {0x0A0B0C0D, -7}, "CDAB");
    expectRegisterWrite<int>(Int32_DCBA, {0x0A0B0C0D, -7}, "DCBA");
    expectRegisterWrite<unsigned int>(UInt32_ABCD, {0xA1B2C3D4u}, "ABCD");
    expectRegisterWrite<unsigned int>(UInt32_BADC, {0xA1B2C3D4u}, "BADC");
    expectRegisterWrite<unsigned int>(UInt32_CDAB, {0xA1B2C3D4u}, "CDAB");
    expectRegisterWrite<unsigned int>(UInt32_DCBA, {0xA1B2C3D4u}, "DCBA");
    expectRegisterWrite<float>(Float_ABCD, {1.0e-3f, -42.5f}, "ABCD");
    expectRegisterWrite<float>(Float_BADC, {1.0e-3f, -42.5f}, "BADC");
    expectRegisterWrite<float>(Float_CDAB, {1.0e-3f, -42.5f}, "CDAB");
    expectRegisterWrite<float>(Float_DCBA, {1.0e-3f, -42.5f}, "DCBA");
    expectRegisterWrite<double>(Double_ABCDEFGH, {3.141592653589793}, "ABCDEFGH");
    expectRegisterWrite<double>(Double_BADCFEHG, {3.141592653589793}, "BADCFEHG");
    expectRegisterWrite<double>(Double_GHEFCDAB, {3.141592653589793}, "GHEFCDAB");
    expectRegisterWrite<double>(Double_HGFEDCBA, {3.141592653589793}, "HGFEDCBA");
}

TEST_F(LibmodbusServer, RefusedRequestsSendNothing)
{
    peer.resetRequestCount();
    struct Read {
        const char* address;
        DataType type;
        int count;
        int status;
    };
    const Read reads[] = {
        {"4x10", NoType, 1, 2},   {"5x10", Int16, 1, 3},     {"4x1a", Int16, 1, 3},  {"4x", Int16, 1, 5},
        {"4x10", Int16, 0, 4},    {"4x10", Int16, -1, 4},    {"4x65535", Int16, 1, 5}, {"4x-5", Int16, 1, 5},
        {"4x99999999999", Int16, 1, 5}, {"0x", Bool, 0, 5},  {"9x5", Bool, 0, 3},
    };
    for (const Read& r : reads) {
        EXPECT_EQ(driver.ReadVariable(r.address, r.type, r.count).status, r.status) << r.address << " " << r.count;
        CLabelVariable values;
        values.value = QVariant::fromValue(QList<short>{1});
        EXPECT_EQ(driver.WriteVariable(r.address, r.type, values, r.count).status, r.status) << r.address;
    }
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{1, 2});
    EXPECT_EQ(driver.WriteVariable("1x0", Int16, values, 1).status, 6);
    EXPECT_EQ(driver.WriteVariable("3x0", Int16, values, 1).status, 6);
    EXPECT_EQ(driver.WriteVariable("0x0", Int16, values, 1).status, 7); // coils take 1- and 8-bit elements only
    EXPECT_EQ(driver.WriteVariable("4x0", Bool, values, 1).status, 2);
    EXPECT_EQ(driver.WriteVariable("4x0", Int16, values, 3).status, 4); // fewer elements than asked for
    EXPECT_EQ(driver.WriteVariable("4x0", Int32, values, 1).status, 2); // not the type's list
    EXPECT_EQ(peer.requestCount(), 0);

    // The same server does count what is sent.
    EXPECT_EQ(driver.WriteVariable("4x0", Int16, values, 2).status, 0);
    EXPECT_EQ(driver.ReadVariable("4x65534", Int16, 1).status, 0);
    EXPECT_EQ(peer.requestCount(), 2);
}
