#include "crc16.h"

#include <algorithm>

namespace vane::modbus {

unsigned short crc16Modbus(const QByteArray& bytes, int length)
{
    const int present = std::min(std::max(length, 0), bytes.size());
    unsigned int crc = crc16Modbus(bytes.constData(), present);
    // Positions beyond the array count as 0 bytes.
    static const char zero = 0;
    for (int i = present; i < length; ++i)
        crc = crc16Modbus(&zero, 1, crc);
    return static_cast<unsigned short>(crc);
}

namespace {

// What the eight shifts of a byte XOR into the CRC, for each value of its low byte after the
// byte was XORed in.
struct ShiftTable {
    unsigned short of[256] = {};
    constexpr ShiftTable()
    {
        for (unsigned int low = 0; low < 256; ++low) {
            unsigned int crc = low;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
            of[low] = static_cast<unsigned short>(crc);
        }
    }
};

constexpr ShiftTable kShifts;

} // namespace

unsigned short crc16Modbus(const char* bytes, int length, unsigned short start)
{
    unsigned int crc = start;
    for (int i = 0; i < length; ++i)
        crc = (crc >> 8) ^ kShifts.of[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFFu];
    return static_cast<unsigned short>(crc);
}

} // namespace vane::modbus
