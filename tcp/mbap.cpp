#include "mbap.h"

#include "modbus/protocol/log_texts.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vane::tcp {

namespace {
// Bytes up to and including the length field; the length counts what follows.
constexpr int kLengthEnd = 6;
} // namespace

QByteArray mbapFrame(int unitId, QByteArray pdu)
{
    const int length = pdu.size() + 1;
    const char high = static_cast<char>(std::rand() & 0xFF);
    const char low = static_cast<char>(std::rand() & 0xFF);
    const char header[kMbapHeaderSize] = {high, low, 0, 0, static_cast<char>((length >> 8) & 0xFF),
                                          static_cast<char>(length & 0xFF), static_cast<char>(unitId & 0xFF)};
    std::memcpy(modbus::envelop(pdu, kMbapHeaderSize, 0), header, kMbapHeaderSize);
    return pdu;
}

int mbapAnswerSize(const QByteArray& received, int, int expectedSize)
{
    int size = std::max(expectedSize, 0);
    if (received.size() >= kLengthEnd) {
        const int length = (static_cast<unsigned char>(received.at(4)) << 8) | static_cast<unsigned char>(received.at(5));
        const int framed = kLengthEnd + length;
        size = size > 0 ? std::min(size, framed) : framed;
    }
    return size;
}

int otherTransactionFrame(const QByteArray& received, const QByteArray& request)
{
    if (received.size() < kLengthEnd || sameTransaction(received, request))
        return 0;
    const int length = (static_cast<unsigned char>(received.at(4)) << 8) | static_cast<unsigned char>(received.at(5));
    // A length no Modbus frame has is no frame to step over: the checks judge it.
    const int framed = kLengthEnd + length;
    return length >= 2 && length <= 254 && received.size() >= framed ? framed : 0;
}

bool sameTransaction(const QByteArray& answer, const QByteArray& request)
{
    return answer.size() >= 2 && request.size() >= 2 && answer.at(0) == request.at(0) && answer.at(1) == request.at(1);
}

namespace {

// Protocol identifier 0 is Modbus; a frame with another one is no Modbus answer.
bool answerOfThisRequest(const QByteArray& answer, const QByteArray& request)
{
    return sameTransaction(answer, request) && answer.size() >= 4 && answer.at(2) == 0 && answer.at(3) == 0;
}

} // namespace

modbus::Verdict judgeReadAnswer(const QByteArray& request, const QByteArray& answer, int, int dataLength,
                                int* dataOffset)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    modbus::PduRequest asked;
    asked.function = request.size() > kMbapHeaderSize ? static_cast<unsigned char>(request.at(kMbapHeaderSize)) : 0;
    asked.answerDataBytes = dataLength;
    const modbus::PduAnswer pdu = modbus::parseFramedAnswer(asked, answer, kMbapHeaderSize, 0);
    if (pdu.check != Verdict::Ok)
        return pdu.check;
    if (!answerOfThisRequest(answer, request))
        return Verdict::WrongTransaction;
    *dataOffset = kMbapHeaderSize + pdu.dataOffset;
    return Verdict::Ok;
}

modbus::Verdict judgeWriteAnswer(const modbus::PduRequest& request, const QByteArray& frame, const QByteArray& answer,
                                 int)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    if (answer.size() != kMbapHeaderSize + request.answerSize())
        return Verdict::WrongLength;
    if (!answerOfThisRequest(answer, frame))
        return Verdict::WrongTransaction;
    // Only its own echo confirms a write: a stale echo of an earlier one does not.
    const Verdict pdu = modbus::parseFramedAnswer(request, answer, kMbapHeaderSize, 0).check;
    return pdu == Verdict::Ok ? Verdict::Ok : Verdict::NotConfirmed;
}

namespace {

// A socket answer gets one wait of 1500 ms, and a second one when the first brought nothing.
constexpr int kSocketAnswerWaitMs = 1500;

modbus::AnswerShape answerShape(const QByteArray& frame, int expectedSize)
{
    // A late answer to an earlier request, still on its way when this one went out, is stepped over.
    return {&mbapAnswerSize, 0, expectedSize, &otherTransactionFrame, &frame};
}

} // namespace

const modbus::Framing kFraming = {
    kMbapHeaderSize, 0, &mbapFrame, &answerShape, &judgeReadAnswer, &judgeWriteAnswer,
    // How answers are waited for, per transport. Each is an upper bound: a wait ends as soon as
    // what it waits for has happened. On a serial line the answer is given its wire time at the
    // port's rate on top of what is given here.
    {/* socket */ {/* write */ 200, /* first byte */ 2 * kSocketAnswerWaitMs, /* collect */ kSocketAnswerWaitMs,
                   /* quiet end */ 0, /* whole answer */ 2 * kSocketAnswerWaitMs},
     /* serial */ {/* write */ 100, /* first byte */ 1500, /* collect slack */ 200,
                   /* quiet end: the frame gap */ 0, /* whole answer */ 0}},
    /* transaction answer wait */ 0,
    /* refuses without transport */ false,
    /* broadcasts */ false,
    // The coil, holding-register and input-register reads.
    /* station recorded by */ (1u << modbus::ReadCoils) | (1u << modbus::ReadHoldingRegisters)
        | (1u << modbus::ReadInputRegisters),
    /* settings after opening */ true,
    /* closed port disconnect */ -1,
    {logtext::kTcpPrefix, logtext::kTransactionTail, logtext::kTcpPrefix, logtext::kWriteAnswer,
     logtext::kTransactionTail, /* write dumped after answer */ false, logtext::kTcpDisconnect,
     /* disconnect without error */ false, /* bad address warned */ true, /* open failure logged */ true,
     /* wrong length shown from the unit identifier */ 6},
};

} // namespace vane::tcp
