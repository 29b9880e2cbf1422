#include "mbap.h"

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


modbus::Verdict judgeReadAnswer(const QByteArray& request, const QByteArray& answer, int dataLength, int* dataOffset)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    modbus::PduRequest asked;
    asked.function = request.size() > kMbapHeaderSize ? static_cast<unsigned char>(request.at(kMbapHeaderSize)) : 0;
    asked.answerDataBytes = dataLength;
    const modbus::PduAnswer pdu = modbus::parseFramedAnswer(asked, answer, kMbapHeaderSize, 0);
    if (pdu.check == modbus::AnswerCheck::WrongFunction || pdu.check == modbus::AnswerCheck::Exception)
        return Verdict::WrongFunction;
    if (pdu.check != modbus::AnswerCheck::Ok)
        return Verdict::WrongLength;
    if (!sameTransaction(answer, request))
        return Verdict::WrongTransaction;
    *dataOffset = kMbapHeaderSize + pdu.dataOffset;
    return Verdict::Ok;
}

modbus::Verdict judgeWriteAnswer(const modbus::PduRequest& request, const QByteArray& frame, const QByteArray& answer)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    if (answer.size() != kMbapHeaderSize + request.answerSize())
        return Verdict::WrongLength;
    if (!sameTransaction(answer, frame))
        return Verdict::WrongTransaction;
    // Only its own echo confirms a write: a stale echo of an earlier one does not.
    return modbus::parseFramedAnswer(request, answer, kMbapHeaderSize, 0).check == modbus::AnswerCheck::Ok ? Verdict::Ok : Verdict::NotConfirmed;
}

} // namespace vane::tcp
