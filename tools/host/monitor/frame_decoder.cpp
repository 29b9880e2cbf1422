#include "frame_decoder.h"

#include "modbus/protocol/crc16.h"
#include "modbus/protocol/pdu.h"

namespace vane::monitor {

namespace {

int byteAt(const char* bytes, int size, int index)
{
    return index < size ? static_cast<unsigned char>(bytes[index]) : -1;
}

// Length of a frame whose byte count at `index` follows `fixed` bytes in all; 0 until it came.
int countedLength(const char* bytes, int size, int index, int fixed)
{
    const int count = byteAt(bytes, size, index);
    return count < 0 ? 0 : fixed + count;
}

bool isBitFunction(int function)
{
    return function == modbus::ReadCoils || function == modbus::ReadDiscreteInputs || function == 5
        || function == modbus::WriteMultipleCoils;
}

bool isRead(int function) { return function >= modbus::ReadCoils && function <= modbus::ReadInputRegisters; }

} // namespace

int expectedLength(const char* bytes, int size, Direction direction)
{
    const int function = byteAt(bytes, size, 1);
    if (function < 0)
        return 0;
    const bool request = direction == Direction::Request;
    if (function & 0x80)
        return request ? -1 : 5;
    switch (function) {
    case 1: case 2: case 3: case 4:
        return request ? 8 : countedLength(bytes, size, 2, 5);
    case 5: case 6: case 8:
        return 8;
    case 7:
        return request ? 4 : 5;
    case 11:
        return request ? 4 : 8;
    case 12: case 17:
        return request ? 4 : countedLength(bytes, size, 2, 5);
    case 15: case 16:
        return request ? countedLength(bytes, size, 6, 9) : 8;
    case 20: case 21:
        return countedLength(bytes, size, 2, 5);
    case 22:
        return 10;
    case 23:
        return request ? countedLength(bytes, size, 10, 13) : countedLength(bytes, size, 2, 5);
    case 24:
        if (request)
            return 6;
        return size < 4 ? 0 : 6 + ((byteAt(bytes, size, 2) << 8) | byteAt(bytes, size, 3));
    }
    return -1;
}

bool crcGood(const QByteArray& frame)
{
    const int n = frame.size();
    if (n < kMinFrameBytes)
        return false;
    const unsigned short crc = modbus::crc16Modbus(frame.constData(), n - 2);
    return static_cast<unsigned char>(frame.at(n - 2)) == (crc & 0xFF)
        && static_cast<unsigned char>(frame.at(n - 1)) == (crc >> 8);
}

int wordAt(const QByteArray& frame, int index)
{
    if (index < 0 || index + 1 >= frame.size())
        return -1;
    return (static_cast<unsigned char>(frame.at(index)) << 8) | static_cast<unsigned char>(frame.at(index + 1));
}

FrameFields fieldsOf(const QByteArray& frame, FrameKind kind)
{
    FrameFields fields;
    const int n = frame.size();
    if (n < kMinFrameBytes || kind == FrameKind::Noise)
        return fields;
    const int function = static_cast<unsigned char>(frame.at(1)) & 0x7F;
    fields.bits = isBitFunction(function);
    const int payloadEnd = n - 2; // the CRC follows
    const auto dataFrom = [&](int offset) { return offset < payloadEnd ? frame.mid(offset, payloadEnd - offset) : QByteArray(); };
    if (kind == FrameKind::Exception) {
        fields.exceptionCode = static_cast<unsigned char>(frame.at(2));
        return fields;
    }
    const bool request = kind == FrameKind::Request;
    if (isRead(function)) {
        if (request) {
            fields.start = wordAt(frame, 2);
            fields.quantity = payloadEnd >= 6 ? wordAt(frame, 4) : -1;
        } else {
            fields.byteCount = static_cast<unsigned char>(frame.at(2));
            fields.data = dataFrom(3);
        }
    } else if (function == 5 || function == 6) {
        fields.start = wordAt(frame, 2);
        fields.quantity = 1;
        fields.data = frame.mid(4, 2);
    } else if (function == modbus::WriteMultipleCoils || function == modbus::WriteMultipleRegisters) {
        fields.start = wordAt(frame, 2);
        fields.quantity = payloadEnd >= 6 ? wordAt(frame, 4) : -1;
        if (request && payloadEnd > 6) {
            fields.byteCount = static_cast<unsigned char>(frame.at(6));
            fields.data = dataFrom(7);
        }
    } else {
        fields.data = dataFrom(2);
    }
    return fields;
}

QString functionName(int function)
{
    switch (function) {
    case 1: return QStringLiteral("read coils");
    case 2: return QStringLiteral("read discrete inputs");
    case 3: return QStringLiteral("read holding registers");
    case 4: return QStringLiteral("read input registers");
    case 5: return QStringLiteral("write single coil");
    case 6: return QStringLiteral("write single register");
    case 7: return QStringLiteral("read exception status");
    case 8: return QStringLiteral("diagnostics");
    case 11: return QStringLiteral("get comm event counter");
    case 15: return QStringLiteral("write multiple coils");
    case 16: return QStringLiteral("write multiple registers");
    case 17: return QStringLiteral("report server id");
    case 22: return QStringLiteral("mask write register");
    case 23: return QStringLiteral("read/write multiple registers");
    }
    return QStringLiteral("function %1").arg(function);
}

bool answerFitsRequest(const QByteArray& request, const QByteArray& answer)
{
    if (request.size() < kMinFrameBytes || answer.size() < kMinFrameBytes)
        return false;
    const int function = static_cast<unsigned char>(request.at(1));
    if (isRead(function)) {
        const int quantity = wordAt(request, 4);
        const int wanted = function <= modbus::ReadDiscreteInputs ? (quantity + 7) / 8 : 2 * quantity;
        return static_cast<unsigned char>(answer.at(2)) == wanted && answer.size() == 5 + wanted;
    }
    if (function == 5 || function == 6)
        return answer == request;
    if (function == modbus::WriteMultipleCoils || function == modbus::WriteMultipleRegisters)
        return answer.size() == 8 && answer.left(6) == request.left(6);
    return true;
}

} // namespace vane::monitor
