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

unsigned short crc16Modbus(const char* bytes, int length, unsigned short start)
{
    // The eight shifts of a byte done at once: what they XOR in depends only on the byte's bits
    // against the low byte of the CRC, through their parity and two shifted copies. No table.
    unsigned int crc = start;
    for (int i = 0; i < length; ++i) {
        unsigned int w = (crc ^ static_cast<unsigned char>(bytes[i])) & 0xFFu;
        unsigned int parity = w ^ (w >> 4);
        parity ^= parity >> 2;
        parity ^= parity >> 1;
        crc = ((crc >> 8) ^ (w << 6) ^ (w << 7) ^ (0xC001u & (0u - (parity & 1u)))) & 0xFFFFu;
    }
    return static_cast<unsigned short>(crc);
}

} // namespace vane::modbus
