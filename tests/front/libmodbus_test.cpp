// Reads and writes both drivers make alike, against a real Modbus server (libmodbus): over a
// loopback socket for the TCP driver, over a pty pair for the RTU driver. Every data type read
// from every area and compared with values worked out here from the server's contents, writes in
// every byte order the driver takes checked in the server's tables, and requests refused before
// anything reaches the server.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>

#include "driver_under_test.h"
#include "front_wire.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pty_pair.h"

using namespace vanetest;

namespace {

constexpr int kStation = 5;

uint16_t neighbourPattern(int address) { return uint16_t(0xA000 + address); }
bool coilPattern(int address) { return (address * 7) % 5 < 2; }
// Holding and input registers hold distinct bytes, so any byte taken from the wrong place shows.
uint16_t holdingPattern(int address) { return uint16_t(((2 * address + 1) & 0xFF) << 8 | ((2 * address + 2) & 0xFF)); }
uint16_t inputPattern(int address) { return uint16_t(holdingPattern(address) ^ 0x8080); }
bool inputBitPattern(int address) { return address % 4 == 1 || address % 7 == 0; }

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

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

template <class T>
using BitsOf = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;

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
        const BitsOf<T> raw = static_cast<BitsOf<T>>(bits);
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
        BitsOf<T> raw;
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

const QDateTime hostTime(QDate(2020, 1, 2), QTime(3, 4, 5));

template <typename T>
CLabelVariable recordOf(const QList<T>& elements)
{
    CLabelVariable record;
    record.value = QVariant::fromValue(elements);
    record.timestamp = hostTime;
    return record;
}

// Signed 8-bit elements compared as numbers, whatever the signedness of char.
int int8At(CLabelVariable& record, int index) { return static_cast<signed char>(record.atInt8(index)); }

// A libmodbus server in the driver's framing, its tables filled by fill(), and the driver
// connected to it.
class OnLibmodbus : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString form;
        if (DriverFacts::framing == Framing::Mbap) {
            auto tcp = std::make_unique<LibmodbusTcpPeer>(sizes());
            ASSERT_TRUE(tcp->isListening());
            form = QStringLiteral("127.0.0.1:%1").arg(tcp->port());
            peer = std::move(tcp);
        } else {
            pty = std::make_unique<PtyPair>();
            ASSERT_TRUE(pty->isReady());
            auto rtu = std::make_unique<LibmodbusRtuPeer>(pty->pathA(), kStation, 9600, sizes());
            ASSERT_TRUE(rtu->isOpen());
            form = fronttest::serialForm(pty->pathB());
            peer = std::move(rtu);
        }
        fill();
        driver.SetConnectPar(QString::number(kStation));
        ASSERT_EQ(driver.ConnectDrive(form), 0);
    }

    virtual PeerMapSizes sizes() const { return PeerMapSizes(); }
    virtual void fill()
    {
        for (int a = 0; a < 700; ++a) {
            peer->setHoldingRegister(a, neighbourPattern(a));
            peer->setCoil(a, coilPattern(a));
        }
    }

    template <typename T>
    int write(const char* address, DataType type, const QList<T>& elements, int count)
    {
        CLabelVariable record;
        record.value = QVariant::fromValue(elements);
        return driver.WriteVariable(QString::fromLatin1(address), type, record, count).status;
    }

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<PeerMap> peer;
    Driver driver;
};

// Every register and bit holds a pattern of its address.
class PatternsOnLibmodbus : public OnLibmodbus {
protected:
    void fill() override
    {
        for (int a = 0; a < 600; ++a) {
            peer->setHoldingRegister(a, holdingPattern(a));
            peer->setInputRegister(a, inputPattern(a));
            peer->setCoil(a, coilPattern(a));
            peer->setDiscreteInput(a, inputBitPattern(a));
        }
    }

    // Reads `count` elements of `type` from the address and compares them with what the server's
    // bytes give in `order`; each read is one request.
    template <class T>
    void expectRegisterRead(const char* area, DataType type, int count, const char* order)
    {
        const bool holding = QByteArray(area) == "4x";
        const int start = 10;
        for (const int count_ : {count, 1}) {
            const int before = peer->requestCount();
            if (sizeof(T) == 1 && count_ == 1) {
                // One 8-bit element covers no register: a request for none is refused before sending.
                EXPECT_EQ(driver.ReadVariable(QString("%1%2").arg(area).arg(start), type, 1).status, 4);
                EXPECT_EQ(peer->requestCount(), before);
                continue;
            }
            const CLabelVariable record = driver.ReadVariable(QString("%1%2").arg(area).arg(start), type, count_);
            const int bytes = sizeof(T) == 1 ? count_ / 2 * 2 : count_ * int(sizeof(T));
            const QByteArray wire = wireRegisters(holding ? holdingPattern : inputPattern, start, bytes);
            ASSERT_EQ(record.status, 0) << area << " type " << type << " count " << count_;
            EXPECT_EQ(record.count, count_);
            EXPECT_EQ(record.type, type);
            EXPECT_EQ(record.value.value<QList<T>>(), decodeAll<T>(wire, order)) << area << " type " << type;
            EXPECT_EQ(record.value.value<QList<T>>().size(), sizeof(T) == 1 ? count_ / 2 * 2 : count_);
            EXPECT_EQ(peer->requestCount(), before + 1);
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
    // out in `order`, and reads them back through the driver. A driver that takes no byte-ordered
    // writes refuses them, sends nothing and keeps the host's timestamp.
    template <class T>
    void expectRegisterWrite(DataType type, const QList<T>& values, const char* order, bool byteOrdered = true)
    {
        SCOPED_TRACE(testing::Message() << "type " << type);
        const int start = 300;
        const int before = peer->requestCount();
        const CLabelVariable written = driver.WriteVariable(QString("4x%1").arg(start), type, recordOf(values), values.size());
        if (byteOrdered && !DriverFacts::writesByteOrderedTypes) {
            EXPECT_EQ(written.status, 2);
            EXPECT_EQ(written.timestamp == hostTime, DriverFacts::refusedWriteKeepsHostTimestamp);
            EXPECT_EQ(peer->requestCount(), before);
            return;
        }
        ASSERT_EQ(written.status, 0);
        EXPECT_NE(written.timestamp, hostTime);
        QByteArray expected;
        for (const T& value : values)
            expected += toWire<T>(value, order);
        EXPECT_EQ(peer->holdingBytes(start, expected.size()).toHex(), expected.toHex());
        EXPECT_EQ(peer->holdingRegister(start + expected.size() / 2), holdingPattern(start + expected.size() / 2))
            << "wrote past the end";
        const CLabelVariable back = driver.ReadVariable(QString("4x%1").arg(start), type, values.size());
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.value.value<QList<T>>(), values);
        EXPECT_EQ(peer->requestCount(), before + 2);
        peer->setHoldingBytes(start, wireRegisters(holdingPattern, start, expected.size()));
    }
};

// The server's holding registers end at 999.
class ShortTableOnLibmodbus : public OnLibmodbus {
protected:
    PeerMapSizes sizes() const override
    {
        PeerMapSizes tables;
        tables.holdingRegisters = 1000;
        return tables;
    }
};

} // namespace

using DRIVER_NAMED(OnLibmodbus) = OnLibmodbus;
using DRIVER_NAMED(PatternsOnLibmodbus) = PatternsOnLibmodbus;
using DRIVER_NAMED(ShortTableOnLibmodbus) = ShortTableOnLibmodbus;

// One register goes alone (function 06), several together (16); the neighbours stay.
DRIVER_TEST_F(OnLibmodbus, OneRegisterIsWrittenAloneAndSeveralTogether)
{
    ASSERT_EQ(write("4x400", Int16, QList<short>{0x2468, 0x1357}, 1), 0);
    EXPECT_EQ(peer->holdingRegisters(399, 3), (std::vector<uint16_t>{neighbourPattern(399), 0x2468, neighbourPattern(401)}));
    // Two 8-bit elements fill one register; a third one left over is not sent.
    ASSERT_EQ(write("4x410", UInt8, QList<unsigned char>{0xAB, 0xCD, 0xEF}, 3), 0);
    EXPECT_EQ(peer->holdingRegisters(410, 2), (std::vector<uint16_t>{0xABCD, neighbourPattern(411)}));
    ASSERT_EQ(write("4x420", Int16, QList<short>{0x2468, 0x1357}, 2), 0);
    EXPECT_EQ(peer->holdingRegisters(419, 4),
              (std::vector<uint16_t>{neighbourPattern(419), 0x2468, 0x1357, neighbourPattern(422)}));
    ASSERT_EQ(write("4x430", UInt16, QList<unsigned short>{7, 8}, 2), 0);
    EXPECT_EQ(peer->holdingRegisters(430, 3), (std::vector<uint16_t>{7, 8, neighbourPattern(432)}));
    // The largest write a frame holds: 123 registers.
    QList<unsigned short> many;
    for (int i = 0; i < 123; ++i)
        many << static_cast<unsigned short>(0x0100 + i);
    ASSERT_EQ(write("4x500", UInt16, many, 123), 0);
    EXPECT_EQ(peer->holdingRegister(500), 0x0100);
    EXPECT_EQ(peer->holdingRegister(622), 0x0100 + 122);
    EXPECT_EQ(peer->holdingRegister(623), neighbourPattern(623));
    EXPECT_EQ(peer->requestCount(), 5);
}

DRIVER_TEST_F(OnLibmodbus, CoilsAreWrittenFromBoolAndFrom8BitElements)
{
    const QList<bool> bits{true, false, true, true, false, true, false, false, true, true};
    ASSERT_EQ(write("0x500", Bool, bits, bits.size()), 0);
    const std::vector<bool> written = peer->coils(500, 11);
    for (int i = 0; i < bits.size(); ++i)
        EXPECT_EQ(written[size_t(i)], bits[i]) << i;
    EXPECT_EQ(written[10], coilPattern(510));

    // An 8-bit element gives one coil per element counted: the lowest bits of the bytes, in order.
    peer->setCoil(520, false);
    ASSERT_EQ(write("0x520", Int8, QList<char>{5}, 1), 0);
    EXPECT_TRUE(peer->coil(520));
    EXPECT_EQ(peer->coil(521), coilPattern(521));
    ASSERT_EQ(write("0x520", Int8, QList<char>{4}, 1), 0);
    EXPECT_FALSE(peer->coil(520));

    ASSERT_EQ(write("0x530", UInt8, QList<unsigned char>{0x0F, 0x02, 0xFF}, 10), 0);
    EXPECT_EQ(peer->coils(530, 10), (std::vector<bool>{true, true, true, true, false, false, false, false, false, true}));
    EXPECT_EQ(peer->coil(540), coilPattern(540));
    ASSERT_EQ(write("0x570", UInt8, QList<unsigned char>{0x81, 0x03}, 2), 0);
    EXPECT_EQ(peer->coils(570, 3), (std::vector<bool>{true, false, coilPattern(572)}));
    EXPECT_EQ(peer->requestCount(), 5);
}

DRIVER_TEST_F(PatternsOnLibmodbus, EveryRegisterTypeReadsFromHoldingAndInputRegisters)
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

// Known values in every byte order, the input registers holding the same bytes one further on.
DRIVER_TEST_F(OnLibmodbus, RegisterTypesGiveKnownValues)
{
    struct RegisterCase {
        DataType type;
        int count;
        const char* wire; // the registers' bytes, high byte first
        std::function<void(CLabelVariable&)> check;
    };
    const std::vector<RegisterCase> cases = {
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
    for (size_t i = 0; i < cases.size(); ++i) {
        const RegisterCase& c = cases[i];
        const int offset = 100 + static_cast<int>(i) * 10;
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        peer->setHoldingBytes(offset, hex(c.wire));
        peer->setInputBytes(offset + 1, hex(c.wire));
        CLabelVariable held = driver.ReadVariable(QStringLiteral("4x%1").arg(offset), c.type, c.count);
        ASSERT_EQ(held.status, 0);
        c.check(held);
        CLabelVariable input = driver.ReadVariable(QStringLiteral("3x%1").arg(offset + 1), c.type, c.count);
        ASSERT_EQ(input.status, 0);
        c.check(input);
    }
    EXPECT_EQ(peer->requestCount(), static_cast<int>(2 * cases.size()));
}

// Bool is no register type, and a type without a size asks for no register at all.
DRIVER_TEST_F(PatternsOnLibmodbus, TypesWithoutRegisterDecodingEndWithStatus2AfterTheRead)
{
    peer->resetRequestCount();
    const CLabelVariable record = driver.ReadVariable("4x10", Bool, 16);
    EXPECT_EQ(record.status, 2);
    EXPECT_FALSE(record.value.isValid());
    EXPECT_EQ(peer->requestCount(), 1);
    EXPECT_EQ(driver.ReadVariable("4x10", String, 16).status, 2);
    EXPECT_EQ(peer->requestCount(), 1);
}

DRIVER_TEST_F(PatternsOnLibmodbus, CoilsAndDiscreteInputsReadAsBitsAndAsPackedValues)
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
        // Types without a bit decoding are asked for and refused.
        for (DataType type : {Float, Int64, Double, Float_CDAB, Int16_BA}) {
            const int before = peer->requestCount();
            EXPECT_EQ(driver.ReadVariable(QString("%1%2").arg(area).arg(0), type, 1).status, 2) << type;
            EXPECT_EQ(peer->requestCount(), before + 1) << type;
        }
    }
}

// Known values from coils and discrete inputs, their neighbours set so that a read one off shows.
DRIVER_TEST_F(OnLibmodbus, BitTypesGiveKnownValues)
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
        peer->setCoils(offset, unpackBits(packed, bitCount));
        peer->setDiscreteInputs(offset + 3, unpackBits(packed, bitCount));
        peer->setCoil(offset + bitCount, true);
        peer->setCoil(offset - 1, true);
        CLabelVariable coils = driver.ReadVariable(QStringLiteral("0x%1").arg(offset), c.type, c.count);
        ASSERT_EQ(coils.status, 0);
        c.check(coils);
        CLabelVariable inputs = driver.ReadVariable(QStringLiteral("1x%1").arg(offset + 3), c.type, c.count);
        ASSERT_EQ(inputs.status, 0);
        c.check(inputs);
    }
}

DRIVER_TEST_F(PatternsOnLibmodbus, EveryRegisterTypeWritesInItsByteOrder)
{
    expectRegisterWrite<char>(Int8, {char(-3), 0x41, 0x7F, char(-128)}, "A", false);
    expectRegisterWrite<unsigned char>(UInt8, {0xFE, 0x01}, "A", false);
    expectRegisterWrite<short>(Int16, {-2, 0x1234, 77}, "AB", false);
    expectRegisterWrite<unsigned short>(UInt16, {0xFFFE, 0x0102}, "AB", false);
    expectRegisterWrite<int>(Int32, {-100000, 0x01020304}, "ABCD", false);
    expectRegisterWrite<unsigned int>(UInt32, {0xF1F2F3F4u, 5u}, "ABCD", false);
    expectRegisterWrite<float>(Float, {-1.5f, 3.25e7f}, "ABCD", false);
    expectRegisterWrite<long long>(Int64, {-1234567890123LL, 0x0102030405060708LL}, "ABCDEFGH", false);
    expectRegisterWrite<unsigned long long>(UInt64, {0xF1F2F3F4F5F6F7F8ULL}, "ABCDEFGH", false);
    expectRegisterWrite<double>(Double, {-2.5e-3, 6.02214076e23}, "ABCDEFGH", false);
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

// The plain types land as known bytes, nothing past their end.
DRIVER_TEST_F(OnLibmodbus, PlainTypesWriteKnownBytes)
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
        EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x%1").arg(offset), c.type, c.values, c.count).status, 0);
        EXPECT_EQ(peer->holdingBytes(offset, stored.size()), stored);
        EXPECT_EQ(peer->holdingRegister(offset + stored.size() / 2), neighbourPattern(offset + stored.size() / 2));
    }
    EXPECT_EQ(peer->requestCount(), static_cast<int>(cases.size()));
}

DRIVER_TEST_F(OnLibmodbus, RefusedRequestsSendNothing)
{
    struct Read {
        const char* address;
        DataType type;
        int count;
        int status;
        int writeStatus;
    };
    const Read reads[] = {
        {"4x10", NoType, 1, 2, 2},   {"5x10", Int16, 1, 3, 3},     {"4x1a", Int16, 1, 3, 3},  {"4x", Int16, 1, 5, 5},
        {"4x10", Int16, 0, 4, 4},    {"4x10", Int16, -1, 4, 4},    {"4x65535", Int16, 1, 5, 5},
        {"4x-5", Int16, 1, DriverFacts::negativeOffsetStatus, DriverFacts::negativeOffsetStatus},
        {"4x99999999999", Int16, 1, 5, 5}, {"0x", Bool, 0, 5, DriverFacts::writeWithoutCountOrAddressStatus},
        {"9x5", Bool, 0, 3, 3},
    };
    for (const Read& r : reads) {
        EXPECT_EQ(driver.ReadVariable(r.address, r.type, r.count).status, r.status) << r.address << " " << r.count;
        EXPECT_EQ(driver.WriteVariable(r.address, r.type, recordOf(QList<short>{1}), r.count).status, r.writeStatus) << r.address;
    }
    const CLabelVariable shorts = recordOf(QList<short>{1, 2});
    const auto refused = [&](const char* address, DataType type, const CLabelVariable& values, int count) {
        const CLabelVariable record = driver.WriteVariable(QString::fromLatin1(address), type, values, count);
        EXPECT_EQ(record.timestamp == values.timestamp, DriverFacts::refusedWriteKeepsHostTimestamp) << address;
        return record.status;
    };
    EXPECT_EQ(refused("1x0", Int16, shorts, 1), 6);
    EXPECT_EQ(refused("3x0", Int16, shorts, 1), 6);
    EXPECT_EQ(refused("1x0", Bool, recordOf(QList<bool>{true}), 1), 6);
    EXPECT_EQ(refused("0x0", Int16, shorts, 1), 7); // coils take 1- and 8-bit elements only
    EXPECT_EQ(refused("0x0", Float, recordOf(QList<float>{1.0f}), 1), 7);
    EXPECT_EQ(refused("4x0", Bool, shorts, 1), 2);
    EXPECT_EQ(refused("4x0", String, shorts, 1), 2);
    EXPECT_EQ(refused("4x0", Int16, shorts, 3), 4); // fewer elements than asked for
    EXPECT_EQ(refused("4x0", Int32, shorts, 1), 2); // not the type's list
    EXPECT_EQ(peer->requestCount(), 0);

    // The same server does count what is sent.
    EXPECT_EQ(driver.WriteVariable("4x0", Int16, shorts, 2).status, 0);
    EXPECT_EQ(driver.ReadVariable("4x65534", Int16, 1).status, 0);
    EXPECT_EQ(peer->requestCount(), 2);
}

DRIVER_TEST_F(ShortTableOnLibmodbus, ExceptionAnswersOfTheServerGiveStatusSeven)
{
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x999"), Int32, 1).status, DriverFacts::exceptionStatus);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x999"), Int32, recordOf(QList<int>{1}), 1).status,
              DriverFacts::exceptionStatus);
    EXPECT_EQ(peer->requestCount(), 2);
    // The link is in order afterwards.
    peer->setHoldingRegister(998, 0x0102);
    CLabelVariable value = driver.ReadVariable(QStringLiteral("4x998"), UInt16, 1);
    ASSERT_EQ(value.status, 0);
    EXPECT_EQ(value.atUInt16(0), 0x0102);
}

DRIVER_TEST(Linkless, NothingIsSentBeforeConnectDrive)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    std::unique_ptr<PeerMap> peer;
    QString form;
    if (DriverFacts::framing == Framing::Mbap) {
        auto tcp = std::make_unique<LibmodbusTcpPeer>();
        ASSERT_TRUE(tcp->isListening());
        form = QStringLiteral("127.0.0.1:%1").arg(tcp->port());
        peer = std::move(tcp);
    } else {
        auto rtu = std::make_unique<LibmodbusRtuPeer>(pty.pathA(), 1);
        ASSERT_TRUE(rtu->isOpen());
        form = fronttest::serialForm(pty.pathB());
        peer = std::move(rtu);
    }
    Driver driver;
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), Int16, 1).status, DriverFacts::noLinkStatus);
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("0x0"), Bool, 1).status, DriverFacts::noLinkStatus);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("4x0"), Int16, recordOf(QList<short>{1}), 1).status, DriverFacts::noLinkStatus);
    EXPECT_EQ(driver.WriteVariable(QStringLiteral("0x0"), Bool, recordOf(QList<bool>{true}), 1).status, DriverFacts::noLinkStatus);
    EXPECT_EQ(peer->requestCount(), 0);

    ASSERT_EQ(driver.ConnectDrive(form), 0);
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), Int16, 1).status, 0);
    EXPECT_EQ(peer->requestCount(), 1);
}
