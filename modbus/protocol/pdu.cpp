#include "pdu.h"

#include "modbus_limits.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vane::modbus {
namespace {

// A PDU's fixed fields with room for the envelope.
void fillPdu(QByteArray& pdu, const char* head, int headSize)
{
    pdu.reserve(kEnvelopeRoom + headSize);
    pdu.resize(headSize);
    std::memcpy(pdu.data(), head, static_cast<size_t>(headSize));
}

// The fixed fields put in front of exactly `dataBytes` of data (missing bytes go out as 0), in the
// data's own buffer when it has the room.
QByteArray pduAround(const char* head, int headSize, QByteArray data, int dataBytes)
{
    const int had = data.size();
    if (had < dataBytes) {
        data.resize(dataBytes);
        std::memset(data.data() + had, 0, static_cast<size_t>(dataBytes - had));
    } else
        data.truncate(dataBytes);
    data.reserve(kEnvelopeRoom + headSize + dataBytes);
    std::memcpy(envelop(data, headSize, 0), head, static_cast<size_t>(headSize));
    return data;
}

char high(int word) { return static_cast<char>((word >> 8) & 0xFF); }
char low(int word) { return static_cast<char>(word & 0xFF); }

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
PduRequest multipleWrite(int function, int start, int quantity, int byteCount, QByteArray data)
{
    PduRequest request;
    request.function = function;
    request.start = start;
    request.quantity = quantity;
    const char head[6] = {static_cast<char>(function), high(start), low(start), high(quantity), low(quantity),
                          static_cast<char>(byteCount)};
    request.pdu = pduAround(head, 6, std::move(data), byteCount);
    return request;
}

} // namespace

PduRequest readRequest(int function, int start, int quantity, int answerDataBytes, QByteArray buffer)
{
    PduRequest request;
    if (function < ReadCoils || function > ReadInputRegisters || quantity > readLimit(function)
        || !fitsTable(start, quantity))
        return request;
    request.function = function;
    request.start = start;
    request.quantity = quantity;
    request.answerDataBytes = answerDataBytes;
    const char head[5] = {static_cast<char>(function), high(start), low(start), high(quantity), low(quantity)};
    request.pdu = std::move(buffer);
    fillPdu(request.pdu, head, 5);
    return request;
}

PduRequest writeCoilsRequest(int start, int coils, QByteArray packed)
{
    if (coils > kMaxWriteCoils || !fitsTable(start, coils))
        return PduRequest();
    PduRequest request = multipleWrite(WriteMultipleCoils, start, coils, (coils + 7) / 8, std::move(packed));
    // The bits behind the last coil go out as 0, whatever the host's last element held.
    if (coils % 8 != 0)
        request.pdu.data()[request.pdu.size() - 1] &= static_cast<char>((1 << (coils % 8)) - 1);
    return request;
}

PduRequest writeRegistersRequest(int start, int byteLength, QByteArray data, bool singleAsMultiple)
{
    const int registers = byteLength / 2;
    if (registers > kMaxWriteRegisters || !fitsTable(start, registers))
        return PduRequest();
    if (byteLength != 2 || singleAsMultiple)
        return multipleWrite(WriteMultipleRegisters, start, registers, byteLength, std::move(data));
    PduRequest request;
    request.function = WriteSingleRegister;
    request.start = start;
    request.quantity = 1;
    const char head[3] = {static_cast<char>(WriteSingleRegister), high(start), low(start)};
    request.pdu = pduAround(head, 3, std::move(data), 2);
    return request;
}

PduAnswer parseAnswer(const PduRequest& request, const char* pdu, int size)
{
    PduAnswer answer;
    const int function = size > 0 ? static_cast<unsigned char>(pdu[0]) : 0;
    const bool write = !request.isRead();
    const bool takenAsWrite = function == WriteSingleRegister || function == WriteMultipleCoils
        || function == WriteMultipleRegisters;
    if (write ? !takenAsWrite : function != request.function)
        return answer; // WrongFunction, exception answers (function code with its top bit set) too
    if (size != request.answerSize()) {
        answer.check = Verdict::WrongLength;
        return answer;
    }
    if (write) {
        const bool sameStart = wordAt(pdu, 1) == request.start;
        const bool sameQuantity = function == WriteSingleRegister || wordAt(pdu, 3) == request.quantity;
        answer.check = sameStart && sameQuantity ? Verdict::Ok : Verdict::NotConfirmed;
        return answer;
    }
    answer.check = Verdict::Ok;
    answer.dataOffset = 2;
    return answer;
}

char* envelop(QByteArray& pdu, int front, int back)
{
    const int size = pdu.size();
    pdu.resize(front + size + back);
    char* frame = pdu.data();
    std::memmove(frame + front, frame, static_cast<size_t>(size));
    return frame;
}

void appendAnswerData(QByteArray* out, QByteArray& answer, int offset, int length)
{
    if (!out->isEmpty()) {
        out->append(answer.constData() + offset, length);
        return;
    }
    // The data moved to the front of the answer's buffer, the rest cut off; `out` shares it.
    const int kept = std::max(0, std::min(length, answer.size() - offset));
    if (kept > 0) {
        char* bytes = answer.data();
        std::memmove(bytes, bytes + offset, static_cast<size_t>(kept));
    }
    answer.resize(kept);
    *out = answer;
}

PduAnswer parseFramedAnswer(const PduRequest& request, const QByteArray& frame, int headerSize, int trailerSize)
{
    const int size = frame.size() > headerSize ? std::max(frame.size() - headerSize - trailerSize, 1) : 0;
    return parseAnswer(request, frame.constData() + headerSize, size);
}

} // namespace vane::modbus
