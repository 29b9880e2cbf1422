#include "rtu_frame.h"

#include "modbus/protocol/crc16.h"
#include "modbus/protocol/log_texts.h"

#include <algorithm>

namespace vane::rtu {

namespace {
constexpr int kShortestAnswer = 5; // address, function, one byte, CRC
constexpr int kLongestFrame = 256;
}

QByteArray rtuFrame(int address, QByteArray pdu)
{
    const int sealedSize = 1 + pdu.size();
    char* frame = modbus::envelop(pdu, 1, 2);
    frame[0] = static_cast<char>(address & 0xFF);
    const unsigned short crc = modbus::crc16Modbus(frame, sealedSize);
    frame[sealedSize] = static_cast<char>(crc & 0xFF);
    frame[sealedSize + 1] = static_cast<char>(crc >> 8);
    return pdu;
}

bool crcMatches(const QByteArray& frame)
{
    const int covered = frame.size() - 2;
    if (covered < 0)
        return false;
    const unsigned short crc = modbus::crc16Modbus(frame.constData(), covered);
    return static_cast<unsigned char>(frame.at(covered)) == (crc & 0xFF)
        && static_cast<unsigned char>(frame.at(covered + 1)) == (crc >> 8);
}

namespace {

bool fromStation(const QByteArray& answer, int stationId)
{
    return !answer.isEmpty() && static_cast<unsigned char>(answer.at(0)) == (stationId & 0xFF);
}

} // namespace

modbus::Verdict judgeReadAnswer(const QByteArray& request, const QByteArray& answer, int stationId, int dataLength,
                                int* dataOffset)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    modbus::PduRequest asked;
    asked.function = request.size() > 1 ? static_cast<unsigned char>(request.at(1)) : 0;
    asked.answerDataBytes = dataLength;
    const modbus::PduAnswer pdu = modbus::parseFramedAnswer(asked, answer, 1, 2);
    // Exception answers (function code with its top bit set) end here.
    if (pdu.check != Verdict::Ok)
        return pdu.check;
    if (!crcMatches(answer))
        return Verdict::BadCrc;
    // On a multi-drop bus a late answer of another station must not pass for this one's.
    if (!fromStation(answer, stationId))
        return Verdict::WrongStation;
    *dataOffset = 1 + pdu.dataOffset;
    return Verdict::Ok;
}

modbus::Verdict judgeWriteAnswer(const modbus::PduRequest& request, const QByteArray&, const QByteArray& answer,
                                 int stationId)
{
    using modbus::Verdict;
    if (answer.isEmpty())
        return Verdict::NoAnswer;
    if (!fromStation(answer, stationId))
        return Verdict::WrongStation;
    if (!crcMatches(answer))
        return Verdict::BadCrc;
    // Only its own echo confirms a write: a stale echo of an earlier one does not.
    return modbus::parseFramedAnswer(request, answer, 1, 2).check == Verdict::Ok ? Verdict::Ok : Verdict::NotConfirmed;
}

int answerSize(const QByteArray& received, int requestFunction, int expectedSize)
{
    if (received.size() < 2)
        return kShortestAnswer;
    const int function = static_cast<unsigned char>(received.at(1));
    if (function & 0x80)
        return kShortestAnswer; // address, function, exception code, CRC
    if (function == requestFunction && expectedSize > 0)
        return expectedSize;
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
        if (received.size() < 3)
            return kShortestAnswer;
        // No RTU frame is longer than 256 bytes, whatever a damaged byte count says.
        return std::min(5 + static_cast<unsigned char>(received.at(2)), kLongestFrame);
    case 5:
    case 6:
    case 15:
    case 16:
        return 8; // address, function, two 16-bit fields, CRC
    default:
        return 0;
    }
}

namespace {

// The answer must begin within this after the request left, plus the transaction's own allowance.
constexpr int kAnswerStartMs = 500;

modbus::AnswerShape answerShape(const QByteArray& frame, int expectedSize)
{
    return {&answerSize, frame.size() > 1 ? static_cast<unsigned char>(frame.at(1)) : -1, expectedSize};
}

} // namespace

const modbus::Framing kFraming = {
    1, 2, &rtuFrame, &answerShape, &judgeReadAnswer, &judgeWriteAnswer,
    // How answers are waited for, per transport; each an upper bound. On a serial line the
    // request's and the answer's wire times at the port's rate come on top of what is given here.
    {// TCP delivers an answer of any size well within its collection time; an answer whose size
     // cannot be told from its first bytes ends after 50 ms of silence.
     /* socket */ {/* write */ 200, /* first byte */ kAnswerStartMs, /* collect */ 500,
                   /* quiet end */ 50000, /* whole answer */ kAnswerStartMs},
     // Slack for scheduling and USB adapters, which hand long answers over in pieces with pauses.
     /* serial */ {/* write */ 400, /* first byte */ kAnswerStartMs, /* collect slack */ 200,
                   /* quiet end: the frame gap */ 0, /* whole answer */ 0}},
    /* transaction answer wait */ 50,
    /* refuses without transport */ true,
    /* broadcasts */ true,
    /* station recorded by every request */ ~0u,
    /* settings after opening */ false,
    /* closed port disconnect */ 0,
    {logtext::kRtuPrefix, logtext::kRtuReadDumpTail, "", logtext::kRtuWriteAnswer, logtext::kRtuWriteDumpTail,
     /* write dumped after answer */ true, logtext::kRtuDisconnect, /* disconnect without error */ true,
     /* bad address warned */ false, /* open failure logged */ false, /* wrong length shown from */ 0},
};

} // namespace vane::rtu
