#include "pdu.h"

#include "modbus_limits.h"

#include <algorithm>
#include <utility>

namespace vane::modbus {
namespace {

void appendWord(QByteArray& pdu, int value)
{
    pdu.append(static_cast<char>((value >> 8) & 0xFF));
    pdu.append(static_cast<char>(value & 0xFF));
}

int wordAt(const char* bytes, int index)
{
    return (static_cast<unsigned char>(bytes[index]) << 8) | static_cast<unsigned char>(bytes[index + 1]);
}

bool fitsTable(int start, int quantity)
{
    return start >= 0 && quantity >= 1 && start + (quantity - 1) <= kLastTableOffset;
}

int readLimit(int function) { return function <= ReadDiscreteInputs ? kMaxReadBits : kMaxReadRegisters; }

// Start, quantity, byte count and data of functions 15 and 16.
PduRequest multipleWrite(int function, int start, int quantity, int byteCount, const QByteArray& data)
{
    PduRequest request;
    request.function = function;
    request.start = start;
    request.quantity = quantity;
    request.pdu.reserve(kEnvelopeRoom + 6 + byteCount);
    request.pdu.append(static_cast<char>(function));
    appendWord(request.pdu, start);
    appendWord(request.pdu, quantity);
    request.pdu.append(static_cast<char>(byteCount));
    request.pdu.append(data.constData(), std::min(data.size(), byteCount));
    if (data.size() < byteCount)
        request.pdu.append(byteCount - data.size(), '\0');
    return request;
}

} // namespace

PduRequest readRequest(int function, int start, int quantity, int answerDataBytes)
{
    PduRequest request;
    if (function < ReadCoils || function > ReadInputRegisters || quantity > readLimit(function)
        || !fitsTable(start, quantity))
        return request;
    request.function = function;
    request.start = start;
    request.quantity = quantity;
    request.answerDataBytes = answerDataBytes;
    request.pdu.reserve(kEnvelopeRoom + 5);
    const char pdu[5] = {static_cast<char>(function), static_cast<char>(start >> 8), static_cast<char>(start & 0xFF),
                         static_cast<char>(quantity >> 8), static_cast<char>(quantity & 0xFF)};
    request.pdu.append(pdu, 5);
    return request;
}

PduRequest writeCoilsRequest(int start, int coils, const QByteArray& packed)
{
    if (coils > kMaxWriteCoils || !fitsTable(start, coils))
        return PduRequest();
    return multipleWrite(WriteMultipleCoils, start, coils, (coils + 7) / 8, packed);
}

PduRequest writeRegistersRequest(int start, int byteLength, const QByteArray& data)
{
    const int registers = byteLength / 2;
    if (registers > kMaxWriteRegisters || !fitsTable(start, registers))
        return PduRequest();
    if (byteLength != 2)
        return multipleWrite(WriteMultipleRegisters, start, registers, byteLength, data);
    PduRequest request;
    request.function = WriteSingleRegister;
    request.start = start;
    request.quantity = 1;
    request.pdu.reserve(kEnvelopeRoom + 5);
    request.pdu.append(static_cast<char>(WriteSingleRegister));
    appendWord(request.pdu, start);
    request.pdu.append(data.left(2));
    if (data.size() < 2)
        request.pdu.append(2 - data.size(), '\0');
    return request;
}

PduAnswer parseAnswer(const PduRequest& request, const char* pdu, int size)
{
    PduAnswer answer;
    const int function = size > 0 ? static_cast<unsigned char>(pdu[0]) : 0;
    if (function == (request.function | 0x80)) {
        answer.check = AnswerCheck::Exception;
        answer.exceptionCode = size > 1 ? static_cast<unsigned char>(pdu[1]) : 0;
        return answer;
    }
    const bool write = !request.isRead();
    const bool takenAsWrite = function == WriteSingleRegister || function == WriteMultipleCoils
        || function == WriteMultipleRegisters;
    if (write ? !takenAsWrite : function != request.function)
        return answer; // WrongFunction
    if (size != request.answerSize()) {
        answer.check = AnswerCheck::WrongLength;
        return answer;
    }
    if (write) {
        const bool sameStart = wordAt(pdu, 1) == request.start;
        const bool sameQuantity = function == WriteSingleRegister || wordAt(pdu, 3) == request.quantity;
        answer.check = sameStart && sameQuantity ? AnswerCheck::Ok : AnswerCheck::NotEcho;
        return answer;
    }
    answer.check = AnswerCheck::Ok;
    answer.dataOffset = 2;
    return answer;
}

void appendAnswerData(QByteArray* out, QByteArray&& answer, int offset, int length)
{
    if (!out->isEmpty()) {
        out->append(answer.constData() + offset, length);
        return;
    }
    *out = std::move(answer);
    out->remove(0, offset);
    out->truncate(length);
}

PduAnswer parseFramedAnswer(const PduRequest& request, const QByteArray& frame, int headerSize, int trailerSize)
{
    const int size = frame.size() > headerSize ? std::max(frame.size() - headerSize - trailerSize, 1) : 0;
    return parseAnswer(request, frame.constData() + headerSize, size);
}

} // namespace vane::modbus
