// A driver front (Netvane or Serivane, chosen at build time) with requests made of arbitrary
// tag addresses, types, counts and values, and arbitrary connection strings, without a device.
// The link calls the front makes are taken over at link time (-Wl,--wrap, see CMakeLists.txt):
// a request the front accepted must stay inside the Modbus limits (reads up to 2000 bits / 125
// registers, writes up to 1968 coils / 123 registers) and inside the 65536 entries of a table,
// starting at the tag's offset. The link's own transaction then runs without a transport; where
// it logs the frame it built (debug on), the frame is checked as well. Connect calls open
// nothing: an accepted socket form with a numeric address names a TCP port 1..65535.
#include "fuzz_input.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#if defined(FUZZ_NETVANE)
#include "tcp/Netvane.h"
using Driver = Netvane;
constexpr int kHeader = 7; // MBAP header before the function code
constexpr int kTrailer = 0;
#elif defined(FUZZ_SERIVANE)
#include "rtu/Serivane.h"
using Driver = Serivane;
constexpr int kHeader = 1; // station address
constexpr int kTrailer = 2; // CRC
#else
#error "define FUZZ_NETVANE or FUZZ_SERIVANE"
#endif

namespace {

QByteArray lastRequest;
QString context;
qint64 offsetAsked = -1; // the tag's offset when the address was made well-formed

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "INVARIANT: %s\n  request: %s\n  frame: %s\n", what, qPrintable(context),
                 lastRequest.toHex().constData());
    std::abort();
}

void takeRequestFrames(QtMsgType type, const QMessageLogContext&, const QString& line)
{
    const int at = line.indexOf(QLatin1String("msg : "));
    if (type == QtDebugMsg && line.contains(QStringLiteral("命令")) && at >= 0)
        lastRequest = QByteArray::fromHex(line.mid(at + 6).toLatin1());
}

int word(const QByteArray& frame, int at) { return (uint8_t(frame.at(at)) << 8) | uint8_t(frame.at(at + 1)); }

void checkRequestFrame()
{
    const QByteArray& f = lastRequest;
    if (f.size() < kHeader + 5 + kTrailer)
        fail("frame: too short");
    const int function = uint8_t(f.at(kHeader));
    const int start = word(f, kHeader + 1);
    const int quantity = word(f, kHeader + 3);
    if (offsetAsked >= 0 && start != offsetAsked)
        fail("frame: start address is not the tag's offset");
    int limit = 0;
    switch (function) {
    case 1: case 2: limit = 2000; break;
    case 3: case 4: limit = 125; break;
    case 15: limit = 1968; break;
    case 16: limit = 123; break;
    case 5: case 6: return;
    default: fail("frame: unexpected function code");
    }
    if (quantity < 1 || quantity > limit)
        fail("frame: quantity outside the Modbus limit");
    if (start + quantity > 65536)
        fail("frame: request runs past the end of the table");
    if (function == 15 || function == 16) {
        const int byteCount = uint8_t(f.at(kHeader + 5));
        if (byteCount != (function == 15 ? (quantity + 7) / 8 : 2 * quantity))
            fail("frame: byte count does not match the quantity");
        if (f.size() != kHeader + 6 + byteCount + kTrailer)
            fail("frame: length does not match the byte count");
    }
}

// Elements of a type's element kind, as a host hands them to a write.
QVariant valuesFor(DataType type, int n, FuzzInput& in)
{
    const auto list = [&](auto element) {
        QList<decltype(element)> values;
        for (int i = 0; i < n; ++i)
            values << in.number<decltype(element)>();
        return QVariant::fromValue(values);
    };
    switch (type) {
    case Bool: return list(bool());
    case Int8: return list(char());
    case UInt8: return list((unsigned char)0);
    case Int16: case Int16_AB: case Int16_BA: return list(short());
    case UInt16: case UInt16_AB: case UInt16_BA: return list((unsigned short)0);
    case Int32: case Int32_ABCD: case Int32_BADC: case Int32_CDAB: case Int32_DCBA: return list(int());
    case UInt32: case UInt32_ABCD: case UInt32_BADC: case UInt32_CDAB: case UInt32_DCBA: return list(0u);
    case Float: case Float_ABCD: case Float_BADC: case Float_CDAB: case Float_DCBA: return list(float());
    case Int64: return list((long long)0);
    case UInt64: return list((unsigned long long)0);
    default: return list(double());
    }
}

void request(Driver& driver, FuzzInput& in)
{
    static const char* const prefixes[] = {"0x", "1x", "3x", "4x", "4X", "0X"};
    const uint8_t shape = in.byte();
    QString address;
    offsetAsked = -1;
    if (shape < 0xE0) { // a well-formed tag, offset anywhere
        offsetAsked = shape & 1 ? in.number<uint16_t>() : in.number<uint32_t>() % 100000;
        address = QString::fromLatin1(prefixes[in.byte() % 6]) + QString::number(offsetAsked);
    } else {
        address = in.text(24);
    }
    const uint8_t t = in.byte();
    const auto type = static_cast<DataType>(t < 0xF0 ? t % 41 : in.number<int>());
    const uint8_t c = in.byte();
    const int count = c < 0x80 ? c : c < 0xF0 ? in.number<uint16_t>() : in.number<int>();
    const bool write = in.byte() % 2;
    lastRequest.clear();
    context = QStringLiteral("%1 %2 type %3 count %4").arg(write ? "write" : "read", address).arg(int(type)).arg(count);
    if (write) {
        CLabelVariable values;
        values.type = type;
        values.value = valuesFor(type, std::min(std::max(count, 0), 8192), in);
        driver.WriteVariable(address, type, values, count);
    } else {
        driver.ReadVariable(address, type, count);
    }
    if (!lastRequest.isEmpty())
        checkRequestFrame();
}

// What the front handed to the link: `quantity` bits or bytes from `offset`.
void checkLinkCall(int offset, int quantity, bool bits, bool write)
{
    const int elements = bits ? quantity : (quantity + 1) / 2;
    const int limit = bits ? (write ? 1968 : 2000) : (write ? 123 : 125);
    if (offsetAsked >= 0 && offset != offsetAsked)
        fail("link asked for another offset than the tag's");
    if (offset < 0 || offset > 65535)
        fail("offset outside the table");
    context += QStringLiteral(" -> link: offset %1, %2 %3").arg(offset).arg(elements).arg(bits ? "bits" : "registers");
    if (elements < 1 || elements > limit)
        fail("quantity outside the Modbus limit");
    if (offset + elements > 65536)
        fail("request runs past the end of the table");
}

} // namespace

// The link's transactions, taken over: check what the front accepted, then let the link build
// its frame (it finds no transport).
#define TAKE_OVER_READ(symbol, bits)                                                               \
    extern "C" int __real_##symbol(void*, int, int, int, QString, QByteArray*);                    \
    extern "C" int __wrap_##symbol(void* link, int station, int offset, int n, QString name, QByteArray* out) \
    {                                                                                              \
        checkLinkCall(offset, n, bits, false);                                                     \
        return __real_##symbol(link, station, offset, n, name, out);                               \
    }
#define TAKE_OVER_WRITE(symbol, bits)                                                              \
    extern "C" int __real_##symbol(void*, int, int, int, QByteArray);                              \
    extern "C" int __wrap_##symbol(void* link, int station, int offset, int n, QByteArray data)    \
    {                                                                                              \
        checkLinkCall(offset, n, bits, true);                                                      \
        return __real_##symbol(link, station, offset, n, data);                                    \
    }
TAKE_OVER_READ(_ZN4vane6modbus10ModbusLink11ReadCoils0xEiii7QStringP10QByteArray, true)
TAKE_OVER_READ(_ZN4vane6modbus10ModbusLink20ReadDiscreteInputs1xEiii7QStringP10QByteArray, true)
TAKE_OVER_READ(_ZN4vane6modbus10ModbusLink20ReadInputRegisters3xEiii7QStringP10QByteArray, false)
TAKE_OVER_READ(_ZN4vane6modbus10ModbusLink22ReadHoldingRegisters4xEiii7QStringP10QByteArray, false)
TAKE_OVER_WRITE(_ZN4vane6modbus10ModbusLink12WriteCoils0xEiii10QByteArray, true)
TAKE_OVER_WRITE(_ZN4vane6modbus10ModbusLink23WriteHoldingRegisters4xEiii10QByteArray, false)

// The link's connect calls, taken over: record what the front accepted, open nothing.
extern "C" int __wrap__ZN4vane6modbus10ModbusLink15EthConnectDriveE7QStringi(void*, QString host, int port)
{
    // The link refuses what is not a numeric address; a port it would be handed must fit.
    if (QHostAddress().setAddress(host) && (port < 1 || port > 65535)) {
        context = QStringLiteral("socket form accepted with host '%1' port %2").arg(host).arg(port);
        fail("connection parameters outside their range");
    }
    return -3;
}
extern "C" int __wrap__ZN4vane6modbus10ModbusLink13connectSerialERK7QStringiiiS4_b(void*, const QString& port, int,
                                                                                   int, int, const QString&, bool)
{
    if (port.isEmpty())
        fail("serial form accepted without a port");
    return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "front_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application = new QCoreApplication(argc, argv);
    static Driver* driver = [] {
        qInstallMessageHandler(takeRequestFrames);
        auto* d = new Driver;
        d->DebugCmd(StartDebug);
        return d;
    }();
    (void)application;

    FuzzInput in(data, size);
    const uint8_t what = in.byte();
    if (what < 0x20) {
        const QString parameters = in.text(64);
        context = QStringLiteral("ConnectDrive(\"%1\")").arg(parameters);
        driver->ConnectDrive(parameters);
        return 0;
    }
    if (what < 0x40)
        driver->SetConnectPar(in.text(8));
    while (!in.empty())
        request(*driver, in);
    return 0;
}
