#include "rtu_frame.h"

#include "modbus/crc16.h"

namespace vane::rtu {

namespace {
constexpr int kShortestAnswer = 5; // address, function, one byte, CRC
}

QByteArray rtuFrame(int address, QByteArray pdu)
{
    pdu.prepend(static_cast<char>(address & 0xFF));
    const unsigned short crc = modbus::crc16Modbus(pdu.constData(), pdu.size());
    const char sealed[2] = {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
    pdu.append(sealed, 2);
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
        return 5 + static_cast<unsigned char>(received.at(2));
    case 5:
    case 6:
    case 15:
    case 16:
        return 8; // address, function, two 16-bit fields, CRC
    default:
        return 0;
    }
}

} // namespace vane::rtu
