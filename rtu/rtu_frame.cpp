#include "rtu_frame.h"

namespace vane::rtu {

unsigned short crc16Modbus(const QByteArray& bytes, int length)
{
    unsigned int crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        const unsigned int byte = i < bytes.size() ? static_cast<unsigned char>(bytes.at(i)) : 0u;
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1u) != 0;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001u;
        }
    }
    return static_cast<unsigned short>(crc);
}

namespace {
constexpr int kShortestAnswer = 5; // address, function, one byte, CRC
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
