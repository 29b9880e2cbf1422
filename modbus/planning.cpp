#include "planning.h"

#include "codecs/type_codecs.h"
#include "contract/status.h"

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

bool isPlainRegisterType(DataType type) { return type >= Int8 && type <= Double; }

} // namespace

int byteLength(DataType type, int count, bool registerArea)
{
    switch (type) {
    case Bool: return count / 8 + (count % 8 != 0 ? 1 : 0);
    case Int8:
    case UInt8: return registerArea ? count - count % 2 : count;
    default: break;
    }
    const codecs::TypeCodec codec = codecFor(type);
    return codec.decode ? codec.width * count : 0;
}

CLabelVariable planRead(AreaKind area, DataType type, int count, const ReadTransaction& transaction)
{
    const bool registers = area == AreaKind::Registers;
    const int bytes = byteLength(type, count, registers);
    const int quantity = registers ? bytes : (type == Bool ? count : bytes * 8);

    CLabelVariable record;
    QByteArray reply;
    const int result = transaction(quantity, &reply);
    record.timestamp = QDateTime::currentDateTime();
    record.status = statusOfTransaction(result);
    if (result != TransactionOk)
        return record;

    const codecs::TypeCodec codec = codecFor(type);
    const bool decodable = registers ? (codec.decode && type != Bool) : decodesInBitArea(type);
    if (!decodable) {
        record.status = StatusTypeNotHandled;
        return record;
    }
    record.value = codec.decode(reply, type == Bool ? count : bytes / codec.width);
    return record;
}

CLabelVariable planWrite(AreaKind area, DataType type, const CLabelVariable& values, int count,
                         RegisterTypes registerTypes, const WriteTransaction& transaction)
{
    CLabelVariable record(values);
    const bool registers = area == AreaKind::Registers;
    const int bytes = byteLength(type, count, registers);
    const codecs::TypeCodec codec = codecFor(type);

    int quantity = 0;    // coils, or the byte length of registers
    int elements = 0;    // elements the encoder is asked for
    int needed = 0;      // elements whose bytes actually go on the wire
    if (!registers) {
        if (type != Bool && type != Int8 && type != UInt8) {
            record.status = StatusBadAnswer;
            return record;
        }
        quantity = type == Bool ? count : bytes;
        elements = quantity;
        // 8-bit elements supply eight coils each; only the bytes the coils need are sent.
        needed = type == Bool ? count : (quantity + 7) / 8;
    } else {
        const bool encodable = codec.encode && type != Bool
            && (registerTypes == RegisterTypes::All || isPlainRegisterType(type));
        if (!encodable) {
            record.status = StatusTypeNotHandled;
            return record;
        }
        quantity = bytes;
        elements = bytes / codec.width;
        needed = elements;
    }

    QByteArray data;
    const int held = codec.held(values);
    if (held < 0) {
        record.status = StatusTypeNotHandled;
        return record;
    }
    if (held < needed) {
        record.status = StatusBadCount;
        return record;
    }
    codec.encode(values, elements, &data);

    const int result = transaction(quantity, data);
    record.timestamp = QDateTime::currentDateTime();
    record.status = statusOfTransaction(result);
    return record;
}

} // namespace vane::modbus
