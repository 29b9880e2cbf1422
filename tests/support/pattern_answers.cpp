#include "tests/support/pattern_answers.h"

#include "tests/support/modbus_frames.h"

#include <vector>

namespace vanetest {

namespace {

enum class AnswerKind { Read, Write, Unsupported };

AnswerKind kindOf(int function)
{
    switch (function) {
    case 1: case 2: case 3: case 4:
        return AnswerKind::Read;
    case 5: case 6: case 15: case 16:
        return AnswerKind::Write;
    default:
        return AnswerKind::Unsupported;
    }
}

} // namespace

uint16_t patternRegister(int address)
{
    return uint16_t(0x1000 + address);
}

bool patternBit(int address)
{
    return address % 3 == 0;
}

QByteArray patternReadData(const QByteArray &requestPdu)
{
    const int function = pduFunction(requestPdu);
    const int start = pduStart(requestPdu);
    const int quantity = pduQuantity(requestPdu);
    if (start < 0 || quantity < 0)
        return QByteArray();
    if (function == 1 || function == 2) {
        std::vector<bool> bits;
        for (int i = 0; i < quantity; ++i)
            bits.push_back(patternBit(start + i));
        return packBits(bits);
    }
    if (function == 3 || function == 4) {
        std::vector<uint16_t> registers;
        for (int i = 0; i < quantity; ++i)
            registers.push_back(patternRegister(start + i));
        return registerBytes(registers);
    }
    return QByteArray();
}

QByteArray mbapPatternAnswer(const QByteArray &request)
{
    const QByteArray pdu = mbapPdu(request);
    switch (kindOf(pduFunction(pdu))) {
    case AnswerKind::Read:
        return mbapReadAnswer(request, patternReadData(pdu));
    case AnswerKind::Write:
        return mbapWriteAnswer(request);
    case AnswerKind::Unsupported:
        break;
    }
    return mbapExceptionAnswer(request, IllegalFunction);
}

QByteArray rtuPatternAnswer(const QByteArray &request)
{
    const QByteArray pdu = rtuPdu(request);
    switch (kindOf(pduFunction(pdu))) {
    case AnswerKind::Read:
        return rtuReadAnswer(request, patternReadData(pdu));
    case AnswerKind::Write:
        return rtuWriteAnswer(request);
    case AnswerKind::Unsupported:
        break;
    }
    return rtuExceptionAnswer(request, IllegalFunction);
}

} // namespace vanetest
