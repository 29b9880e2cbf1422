// Answer checking of every transaction of both protocols: any bytes, as the answer to a request
// chosen from the input, through the checks the links run. What the checks let through must be
// what the request asked for: a read of exactly the quantity asked, from the station (RTU) and the
// transaction (TCP) asked; a write only by its own echo.
#include "fuzz_input.h"
#include "modbus/protocol/crc16.h"
#include "modbus/protocol/modbus_limits.h"
#include "modbus/protocol/pdu.h"
#include "rtu/rtu_frame.h"
#include "tcp/mbap.h"

#include <cstdio>
#include <cstdlib>

using namespace vane::modbus;

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& request, const QByteArray& answer)
{
    std::fprintf(stderr, "%s\nrequest %s\nanswer  %s\n", what, request.toHex().constData(), answer.toHex().constData());
    std::abort();
}

void check(bool holds, const char* what, const QByteArray& request, const QByteArray& answer)
{
    if (!holds)
        fail(what, request, answer);
}

int word(const QByteArray& bytes, int at)
{
    return (static_cast<unsigned char>(bytes.at(at)) << 8) | static_cast<unsigned char>(bytes.at(at + 1));
}

// The answer to judge: the fuzzer's bytes as they are, or the answer a sound device would give
// with the fuzzer's edits laid over it, so that near misses are tried as often as wild bytes.
QByteArray answerFrom(FuzzInput& in, const QByteArray& sound)
{
    if (in.byte() % 2 == 0)
        return in.rest();
    QByteArray answer = sound;
    const int edits = in.byte() % 4;
    for (int i = 0; i < edits && !answer.isEmpty(); ++i) {
        const int at = in.byte() % answer.size();
        answer[at] = static_cast<char>(in.byte());
    }
    const int cut = in.byte() % 8;
    if (cut > 0 && cut <= answer.size())
        answer.chop(cut);
    return answer + in.bytes(4);
}

QByteArray soundPdu(const PduRequest& request)
{
    QByteArray pdu;
    pdu.append(static_cast<char>(request.function));
    if (request.isRead()) {
        pdu.append(static_cast<char>(request.answerDataBytes));
        pdu.append(QByteArray(request.answerDataBytes, '\x5a'));
    } else {
        pdu.append(request.pdu.mid(1, 4));
    }
    return pdu;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const bool tcp = in.byte() % 2 == 0;
    static const int functions[] = {ReadCoils, ReadDiscreteInputs, ReadHoldingRegisters, ReadInputRegisters,
                                    WriteSingleRegister, WriteMultipleCoils, WriteMultipleRegisters};
    const int function = functions[in.byte() % 7];
    const int start = in.number<uint16_t>();
    const int station = in.byte();
    const bool bits = function <= ReadDiscreteInputs || function == WriteMultipleCoils;
    const int limit = function <= ReadDiscreteInputs ? kMaxReadBits
        : function <= ReadInputRegisters             ? kMaxReadRegisters
        : function == WriteMultipleCoils             ? kMaxWriteCoils
                                                     : kMaxWriteRegisters;
    const int quantity = function == WriteSingleRegister ? 1 : 1 + in.number<uint16_t>() % limit;
    const int dataBytes = bits ? (quantity + 7) / 8 : quantity * 2;

    PduRequest request;
    if (function <= ReadInputRegisters)
        request = readRequest(function, start, quantity, dataBytes);
    else if (function == WriteMultipleCoils)
        request = writeCoilsRequest(start, quantity, QByteArray(dataBytes, '\x01'));
    else
        request = writeRegistersRequest(start, dataBytes, QByteArray(dataBytes, '\x02'));
    if (!request.valid()) {
        // Refused only for running past the end of the table.
        if (start + quantity - 1 <= kLastTableOffset)
            fail("a request within the limits was refused", QByteArray(), QByteArray());
        return 0;
    }
    const QByteArray pdu = request.pdu;
    const QByteArray frame = tcp ? vane::tcp::mbapFrame(station, pdu) : vane::rtu::rtuFrame(station, pdu);
    const QByteArray sound =
        tcp ? frame.left(4) + vane::tcp::mbapFrame(station, soundPdu(request)).mid(4) : vane::rtu::rtuFrame(station, soundPdu(request));
    const QByteArray answer = answerFrom(in, sound);

    const vane::modbus::Framing& framing = tcp ? vane::tcp::kFraming : vane::rtu::kFraming;
    int dataOffset = -1;
    const Verdict verdict = request.isRead() ? framing.judgeRead(frame, answer, station, dataBytes, &dataOffset)
                                             : framing.judgeWrite(request, frame, answer, station);
    const int result = static_cast<int>(resultOf(verdict));
    check(result == 0 || result == -1 || result == -2, "result outside 0, -1, -2", frame, answer);
    check((result == -2) == answer.isEmpty(), "no answer and -2 go together", frame, answer);
    if (result != 0)
        return 0;

    // Accepted: the answer is what this request asked for.
    const int pduAt = tcp ? vane::tcp::kMbapHeaderSize : 1;
    const int envelope = tcp ? vane::tcp::kMbapHeaderSize : 3;
    if (tcp)
        check(answer.left(2) == frame.left(2), "accepted from another transaction", frame, answer);
    else {
        check(static_cast<unsigned char>(answer.at(0)) == station, "accepted from another station", frame, answer);
        check(vane::rtu::crcMatches(answer), "accepted with a bad CRC", frame, answer);
    }
    const int answerFunction = static_cast<unsigned char>(answer.at(pduAt));
    if (request.isRead()) {
        check(answerFunction == function, "read accepted with another function", frame, answer);
        check(answer.size() == envelope + 2 + dataBytes, "read accepted with another quantity", frame, answer);
        check(dataOffset == pduAt + 2, "read data taken from elsewhere", frame, answer);
    } else {
        check(answerFunction == WriteSingleRegister || answerFunction == WriteMultipleCoils
                  || answerFunction == WriteMultipleRegisters,
              "write accepted with a function that is no write", frame, answer);
        check(answer.size() >= pduAt + 5 && word(answer, pduAt + 1) == start, "write accepted without its start",
              frame, answer);
        if (answerFunction != WriteSingleRegister)
            check(word(answer, pduAt + 3) == quantity, "write accepted without its quantity", frame, answer);
    }
    return 0;
}
