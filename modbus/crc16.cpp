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

// shift[k][v]: what a byte v in the CRC's low byte becomes after its own eight shifts and those
// of k bytes of 0 behind it. shift[0] is the rule itself, applied bit by bit.
struct ShiftTables {
    unsigned short shift[8][256] = {};
    constexpr ShiftTables()
    {
        for (unsigned int low = 0; low < 256; ++low) {
            unsigned int crc = low;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
            shift[0][low] = static_cast<unsigned short>(crc);
        }
        for (int k = 1; k < 8; ++k)
            for (unsigned int low = 0; low < 256; ++low)
                shift[k][low] = static_cast<unsigned short>((shift[k - 1][low] >> 8) ^ shift[0][shift[k - 1][low] & 0xFFu]);
    }
};

constexpr ShiftTables kTables;

} // namespace

unsigned short crc16Modbus(const char* bytes, int length, unsigned short start)
{
    const auto* at = reinterpret_cast<const unsigned char*>(bytes);
    const auto& t = kTables.shift;
    unsigned int crc = start;
    // Eight bytes at a time: the CRC is the XOR of what each byte does over the bytes behind it.
    for (; length >= 8; length -= 8, at += 8)
        crc = t[7][(crc ^ at[0]) & 0xFFu] ^ t[6][(crc >> 8) ^ at[1]] ^ t[5][at[2]] ^ t[4][at[3]] ^ t[3][at[4]]
            ^ t[2][at[5]] ^ t[1][at[6]] ^ t[0][at[7]];
    for (; length > 0; --length, ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ *at) & 0xFFu];
    return static_cast<unsigned short>(crc);
}

} // namespace vane::modbus
