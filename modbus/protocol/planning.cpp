#include "planning.h"

#include <algorithm>
#include <utility>

#include "codecs/type_codecs.h"
#include "contract/status.h"
#include "modbus_limits.h"
#include "pdu.h"
#include "tag_address.h"

namespace vane::modbus {
namespace {

using codecs::codecFor;

bool decodesInBitArea(DataType type)
{
    switch (type) {
    case Bool:
    case Int8:
    case UInt8:
    case Int16:
    case UInt16:
    case Int32:
    case UInt32:
    case UInt64: return true;
    default: return false;
    }
}

bool decodes(AreaKind area, DataType type, const codecs::TypeCodec& codec)
{
    if (area == AreaKind::Bits)
        return decodesInBitArea(type);
    return codec.decode && type != Bool;
}

bool isPlainRegisterType(DataType type) { return type >= Int8 && type <= Double; }

qint64 bytesOf(DataType type, const codecs::TypeCodec& codec, qint64 count, bool registerArea)
{
    switch (type) {
    case Bool: return count / 8 + (count % 8 != 0 ? 1 : 0);
    case Int8:
    case UInt8: return registerArea ? count - count % 2 : count;
    default: break;
    }
    return codec.decode ? codec.width * count : 0;
}

qint64 bytesOf(DataType type, qint64 count, bool registerArea)
{
    return bytesOf(type, codecFor(type), count, registerArea);
}

qint64 quantityLimit(AreaKind area, Direction direction)
{
    if (direction == Direction::Read)
        return area == AreaKind::Registers ? kMaxReadRegisters : kMaxReadBits;
    return area == AreaKind::Registers ? kMaxWriteRegisters : kMaxWriteCoils;
}

// A request for nothing is malformed Modbus, and one beyond the limits does not fit a frame:
// neither goes on the wire. StatusInitial when the request may go out. The type is named as the
// cause of an empty request only when the area does not handle it at all.
int quantityStatus(AreaKind area, Direction direction, DataType type, int count, bool typeHandled)
{
    if (count < 1)
        return StatusBadCount;
    // Registers carry bytes two at a time: an odd byte length (bits packed into registers) is not a
    // request for nothing, but takes one register more than its whole ones.
    const bool registers = area == AreaKind::Registers;
    const qint64 bytes = registers ? bytesOf(type, count, true) : 0;
    const qint64 quantity = registers ? bytes / 2 : frameQuantity(area, direction, type, count);
    if (quantity == 0)
        return typeHandled ? StatusBadCount : StatusTypeNotHandled;
    const qint64 carried = registers ? (bytes + 1) / 2 : quantity;
    if (carried > quantityLimit(area, direction))
        return StatusBadCount;
    return StatusInitial;
}

} // namespace

int byteLength(DataType type, int count, bool registerArea)
{
    return static_cast<int>(bytesOf(type, count, registerArea));
}

qint64 frameQuantity(AreaKind area, Direction direction, DataType type, qint64 count)
{
    if (area == AreaKind::Registers)
        return bytesOf(type, count, true) / 2;
    if (type == Bool)
        return count;
    if (direction == Direction::Write)
        return type == Int8 || type == UInt8 ? count : 0;
    return bytesOf(type, count, false) * 8;
}

bool requestWithinTable(qint64 offset, AreaKind area, Direction direction, DataType type, int count)
{
    return withinTable(offset, std::max<qint64>(count, frameQuantity(area, direction, type, count)));
}

int statusOf(TransactionResult result)
{
    switch (result) {
    case TransactionResult::Done: return StatusDone;
    case TransactionResult::NoAnswer: return StatusNoAnswer;
    case TransactionResult::NoTransport: return StatusNoLink;
    case TransactionResult::BadAnswer:
    case TransactionResult::NotBuilt: break;
    }
    return StatusBadAnswer;
}

CLabelVariable planRead(AreaKind area, DataType type, int count, ReadTransaction transaction)
{
    const bool registers = area == AreaKind::Registers;
    const codecs::TypeCodec codec = codecFor(type);
    const bool decodable = decodes(area, type, codec);

    CLabelVariable record;
    const int refused = quantityStatus(area, Direction::Read, type, count, decodable);
    if (refused != StatusInitial) {
        record.timestamp = QDateTime::currentDateTime();
        record.status = refused;
        return record;
    }

    const int bytes = static_cast<int>(bytesOf(type, codec, count, registers));
    const int quantity = registers ? bytes : (type == Bool ? count : bytes * 8);
    QByteArray reply;
    const TransactionResult result = transaction(quantity, &reply);
    record.timestamp = QDateTime::currentDateTime();
    record.status = statusOf(result);
    if (result != TransactionResult::Done)
        return record;

    if (!decodable) {
        record.status = StatusTypeNotHandled;
        return record;
    }
    record.value = codec.decode(reply, type == Bool ? count : bytes / codec.width);
    return record;
}

CLabelVariable takeRecord(CLabelVariable&& values)
{
    // Field by field, as the copy constructor copies them.
    CLabelVariable record;
    record.status = values.status;
    record.accessStatus = values.accessStatus;
    record.value.swap(values.value);
    record.timestamp.swap(values.timestamp);
    record.address.swap(values.address);
    record.count = values.count;
    record.type = values.type;
    record.reserved = values.reserved;
    record.reservedText.swap(values.reservedText);
    return record;
}

CLabelVariable planWrite(AreaKind area, DataType type, CLabelVariable&& values, int count,
                         RegisterTypes registerTypes, RefusalTime refusalTime, WriteTransaction transaction)
{
    // Every outcome is returned as a new record, built in the caller's place: the record has no
    // move constructor, so a named record returned beside others would be copied.
    const auto finish = [&](int status, bool stamped) {
        CLabelVariable record = takeRecord(std::move(values));
        if (stamped)
            record.timestamp = QDateTime::currentDateTime();
        record.status = status;
        return record;
    };
    const auto refuse = [&](int status) { return finish(status, refusalTime == RefusalTime::Now); };
    const bool registers = area == AreaKind::Registers;
    const codecs::TypeCodec codec = codecFor(type);

    if (!registers && type != Bool && type != Int8 && type != UInt8)
        return refuse(StatusBadAnswer);
    if (registers && !(codec.encode && type != Bool && (registerTypes == RegisterTypes::All || isPlainRegisterType(type))))
        return refuse(StatusTypeNotHandled);
    const int refused = quantityStatus(area, Direction::Write, type, count, true);
    if (refused != StatusInitial)
        return refuse(refused);

    const int bytes = static_cast<int>(bytesOf(type, codec, count, registers));
    int quantity = 0;    // coils, or the byte length of registers
    int elements = 0;    // elements the encoder is asked for
    int needed = 0;      // elements whose bytes actually go on the wire
    if (!registers) {
        quantity = type == Bool ? count : bytes;
        elements = quantity;
        // 8-bit elements supply eight coils each; only the bytes the coils need are sent.
        needed = type == Bool ? count : (quantity + 7) / 8;
    } else {
        quantity = bytes;
        elements = bytes / codec.width;
        needed = elements;
    }

    const int held = codec.held(values);
    if (held < 0)
        return refuse(StatusTypeNotHandled);
    if (held < needed)
        return refuse(StatusBadCount);
    QByteArray data;
    data.reserve(kRequestRoom + bytes);
    codec.encode(values, elements, &data);

    return finish(statusOf(transaction(quantity, data)), true);
}

} // namespace vane::modbus
