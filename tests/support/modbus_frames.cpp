#include "tests/support/modbus_frames.h"

namespace vanetest {

namespace {

// Out-of-range positions read as 0, so builders given a truncated request still return a frame.
uint8_t byteAt(const QByteArray &bytes, int i)
{
    return i >= 0 && i < bytes.size() ? uint8_t(bytes.at(i)) : 0;
}

int word(const QByteArray &bytes, int offset)
{
    if (bytes.size() < offset + 2)
        return -1;
    return (byteAt(bytes, offset) << 8) | byteAt(bytes, offset + 1);
}

void appendWord(QByteArray &bytes, int value)
{
    bytes.append(char((value >> 8) & 0xFF));
    bytes.append(char(value & 0xFF));
}

} // namespace

uint16_t crc16Modbus(const QByteArray &bytes)
{
    uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

QByteArray appendCrc(QByteArray frame)
{
    const uint16_t crc = crc16Modbus(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool hasValidCrc(const QByteArray &frame)
{
    if (frame.size() < 3)
        return false;
    return appendCrc(frame.left(frame.size() - 2)) == frame;
}

QByteArray registerBytes(const std::vector<uint16_t> &registers)
{
    QByteArray bytes;
    for (uint16_t r : registers)
        appendWord(bytes, r);
    return bytes;
}

std::vector<uint16_t> registersFromBytes(const QByteArray &bytes)
{
    std::vector<uint16_t> registers;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        registers.push_back(uint16_t(word(bytes, i)));
    return registers;
}

QByteArray packBits(const std::vector<bool> &bits)
{
    QByteArray bytes(int((bits.size() + 7) / 8), '\0');
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            bytes[int(i / 8)] = char(byteAt(bytes, int(i / 8)) | (1 << (i % 8)));
    return bytes;
}

std::vector<bool> unpackBits(const QByteArray &bytes, int count)
{
    std::vector<bool> bits;
    for (int i = 0; i < count && i / 8 < bytes.size(); ++i)
        bits.push_back((byteAt(bytes, i / 8) >> (i % 8)) & 1);
    return bits;
}

QByteArray mbapPdu(const QByteArray &frame)
{
    return frame.size() > 7 ? frame.mid(7) : QByteArray();
}

QByteArray rtuPdu(const QByteArray &frame)
{
    return frame.size() > 3 ? frame.mid(1, frame.size() - 3) : QByteArray();
}

int pduFunction(const QByteArray &pdu)
{
    return pdu.isEmpty() ? -1 : byteAt(pdu, 0);
}

int pduStart(const QByteArray &pdu)
{
    return word(pdu, 1);
}

int pduQuantity(const QByteArray &pdu)
{
    return word(pdu, 3);
}

QByteArray pduWriteData(const QByteArray &pdu)
{
    const int function = pduFunction(pdu);
    if ((function != 15 && function != 16) || pdu.size() < 6)
        return QByteArray();
    return pdu.mid(6, byteAt(pdu, 5));
}

QByteArray readAnswerPdu(int function, const QByteArray &data)
{
    QByteArray pdu;
    pdu.append(char(function));
    pdu.append(char(data.size() & 0xFF));
    pdu.append(data);
    return pdu;
}

QByteArray writeAnswerPdu(const QByteArray &requestPdu)
{
    return requestPdu.left(5);
}

QByteArray exceptionPdu(int function, int code)
{
    QByteArray pdu;
    pdu.append(char((function | 0x80) & 0xFF));
    pdu.append(char(code));
    return pdu;
}

QByteArray mbapFrame(const QByteArray &request, const QByteArray &pdu)
{
    QByteArray frame = request.left(2).leftJustified(2, '\0');
    appendWord(frame, 0);
    appendWord(frame, pdu.size() + 1);
    frame.append(request.size() > 6 ? request.at(6) : '\0');
    frame.append(pdu);
    return frame;
}

QByteArray rtuFrame(int address, const QByteArray &pdu)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(pdu);
    return appendCrc(frame);
}

QByteArray mbapReadAnswer(const QByteArray &request, const QByteArray &data)
{
    return mbapFrame(request, readAnswerPdu(pduFunction(mbapPdu(request)), data));
}

QByteArray mbapWriteAnswer(const QByteArray &request)
{
    return mbapFrame(request, writeAnswerPdu(mbapPdu(request)));
}

QByteArray mbapExceptionAnswer(const QByteArray &request, int code)
{
    return mbapFrame(request, exceptionPdu(pduFunction(mbapPdu(request)), code));
}

QByteArray rtuReadAnswer(const QByteArray &request, const QByteArray &data)
{
    return rtuFrame(byteAt(request, 0), readAnswerPdu(pduFunction(rtuPdu(request)), data));
}

QByteArray rtuWriteAnswer(const QByteArray &request)
{
    return rtuFrame(byteAt(request, 0), writeAnswerPdu(rtuPdu(request)));
}

QByteArray rtuExceptionAnswer(const QByteArray &request, int code)
{
    return rtuFrame(byteAt(request, 0), exceptionPdu(pduFunction(rtuPdu(request)), code));
}

QByteArray mbapRequest(uint16_t transactionId, int unit, const QByteArray &pdu)
{
    QByteArray frame;
    appendWord(frame, transactionId);
    appendWord(frame, 0);
    appendWord(frame, pdu.size() + 1);
    frame.append(char(unit));
    frame.append(pdu);
    return frame;
}

QByteArray rtuRequest(int address, const QByteArray &pdu)
{
    return rtuFrame(address, pdu);
}

QByteArray readRequestPdu(int function, int start, int quantity)
{
    QByteArray pdu;
    pdu.append(char(function));
    appendWord(pdu, start);
    appendWord(pdu, quantity);
    return pdu;
}

} // namespace vanetest
